<?php

declare(strict_types=1);

namespace Idstamp;

/**
 * A zone file (TZif, version 2 or later) as the C library applies it: the
 * 64-bit transitions, and its closing rule for the instants from the last
 * transition on. Before the first transition the first type that is not
 * daylight saving holds.
 *
 * @internal
 */
final class ZoneFile
{
    /**
     * @param list<int> $times     transition instants, ascending
     * @param list<int> $offsets   UTC offset in seconds from each transition on
     * @param int       $first     offset before the first transition
     */
    private function __construct(
        private readonly array $times,
        private readonly array $offsets,
        private readonly int $first,
        private readonly ?ZoneRule $rule,
    ) {
    }

    /**
     * @throws \UnexpectedValueException for a file that is not TZif 2 or
     *         later, counts leap seconds, or closes with a rule not applied here
     */
    public static function parse(string $data): self
    {
        $v1 = self::header($data, 0);
        if ($data[4] < '2') {
            throw new \UnexpectedValueException('a zone file of version 1, with no 64-bit data');
        }
        $at = 44 + $v1['time'] * 5 + $v1['type'] * 6 + $v1['char'] + $v1['leap'] * 8 + $v1['std'] + $v1['ut'];
        $h = self::header($data, $at);
        if ($h['leap'] !== 0) {
            throw new \UnexpectedValueException('the zone file counts leap seconds');
        }
        if ($h['type'] === 0) {
            throw new \UnexpectedValueException('a zone file with no local time types');
        }
        $at += 44;
        $size = $h['time'] * 9 + $h['type'] * 6 + $h['char'] + $h['std'] + $h['ut'];
        if (strlen($data) < $at + $size + 1 || $data[$at + $size] !== "\n") {
            throw new \UnexpectedValueException('a truncated zone file');
        }
        $times = $h['time'] > 0 ? array_values(unpack("J{$h['time']}", $data, $at)) : [];
        $indexes = $h['time'] > 0 ? array_values(unpack("C{$h['time']}", $data, $at + $h['time'] * 8)) : [];
        $types = [];
        for ($k = 0, $p = $at + $h['time'] * 9; $k < $h['type']; $k++, $p += 6) {
            $t = unpack('Noffset/Cdst', $data, $p);
            $types[] = [$t['offset'] >= 0x80000000 ? $t['offset'] - 0x100000000 : $t['offset'], $t['dst'] === 1];
        }
        $offsets = [];
        foreach ($indexes as $k => $index) {
            if ($index >= $h['type'] || ($k > 0 && $times[$k] <= $times[$k - 1])) {
                throw new \UnexpectedValueException('a zone file with bad transitions');
            }
            $offsets[] = $types[$index][0];
        }
        $first = $types[0][0];
        foreach ($types as [$offset, $dst]) {
            if (!$dst) {
                $first = $offset;
                break;
            }
        }
        $end = strpos($data, "\n", $at + $size + 1);
        if ($end === false) {
            throw new \UnexpectedValueException('a zone file with no closing rule line');
        }
        $footer = substr($data, $at + $size + 1, $end - $at - $size - 1);
        return new self($times, $offsets, $first, $footer === '' ? null : ZoneRule::parse($footer));
    }

    /** @return array{ut: int, std: int, leap: int, time: int, type: int, char: int} */
    private static function header(string $data, int $at): array
    {
        if (strlen($data) < $at + 44 || substr($data, $at, 4) !== 'TZif') {
            throw new \UnexpectedValueException('not a zone file');
        }
        return unpack('Nut/Nstd/Nleap/Ntime/Ntype/Nchar', $data, $at + 20);
    }

    /** The offset from UTC, in seconds, of local time at instant $t. */
    public function offsetAt(int $t): int
    {
        $last = count($this->times) - 1;
        if ($last < 0 || $t < $this->times[0]) {
            return $this->first;
        }
        if ($t >= $this->times[$last]) {
            return $this->rule?->offsetAt($t) ?? $this->offsets[$last];
        }
        $low = 0; // times[low] <= t < times[high]
        $high = $last;
        while ($high - $low > 1) {
            $mid = ($low + $high) >> 1;
            if ($this->times[$mid] <= $t) {
                $low = $mid;
            } else {
                $high = $mid;
            }
        }
        return $this->offsets[$low];
    }
}
