<?php

declare(strict_types=1);

namespace Idstamp;

/**
 * The rule a zone file closes with, "std offset [dst [offset],start[/time],
 * end[/time]]", applied as the C library applies it: both changes are
 * found in the UTC year of the instant, and when the start falls after the
 * end (the southern hemisphere) daylight saving spans the new year.
 *
 * Only what zone files write is read: names of 3 or more letters, or
 * <quoted> of letters, digits, + and -; offsets [+-]hh[:mm[:ss]] up to 24
 * hours; times of change [+-]hh[:mm[:ss]] up to 167 hours; days Jn, n or
 * Mm.w.d. A daylight-saving name with no rules of change is refused, since
 * the C library takes those from elsewhere.
 *
 * @internal
 */
final class ZoneRule
{
    private const MONTH_STARTS = [
        [0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365],
        [0, 31, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335, 366],
    ];

    /**
     * @param int        $std    standard offset from UTC in seconds, east positive
     * @param int        $dst    daylight-saving offset
     * @param list<int>  $start  the change into daylight saving: [kind, day, week, month, second of day]
     * @param list<int>  $end    the change out of it
     */
    private function __construct(
        private readonly int $std,
        private readonly int $dst,
        private readonly ?array $start,
        private readonly ?array $end,
    ) {
    }

    /** @throws \UnexpectedValueException for a rule not read here */
    public static function parse(string $rule): self
    {
        $name = '(?:[A-Za-z]{3,}|<[A-Za-z0-9+-]{3,}>)';
        $offset = '([+-]?)(\d{1,2})(?::(\d{2})(?::(\d{2}))?)?';
        $change = ',(?:J(\d{1,3})|(\d{1,3})|M(\d{1,2})\.(\d)\.(\d))(?:/([+-]?)(\d{1,3})(?::(\d{2})(?::(\d{2}))?)?)?';
        if (!preg_match("~\\A$name$offset(?:($name)(?:$offset)?$change$change)?\\z~", $rule, $m)) {
            throw new \UnexpectedValueException("a closing rule not applied here: $rule");
        }
        $m = array_pad($m, 30, '');
        $std = -self::seconds($m[1], $m[2], $m[3], $m[4], 24);
        if ($m[5] === '') {
            return new self($std, $std, null, null);
        }
        $dst = $m[7] === '' ? $std + 3600 : -self::seconds($m[6], $m[7], $m[8], $m[9], 24);
        return new self($std, $dst, self::change(array_slice($m, 10, 9)), self::change(array_slice($m, 19, 9)));
    }

    /** @param list<string> $m J day, zero-based day, month, week, weekday, sign, hours, minutes, seconds */
    private static function change(array $m): array
    {
        [$julian, $zeroBased, $month, $week, $weekday, $sign, $hours, $minutes, $seconds] = $m;
        $at = $hours === '' ? 7200 : self::seconds($sign, $hours, $minutes, $seconds, 167);
        if ($julian !== '') {
            $day = (int) $julian;
            if ($day < 1 || $day > 365) {
                throw new \UnexpectedValueException("a day J$julian");
            }
            return [0, $day, 0, 0, $at];
        }
        if ($zeroBased !== '') {
            $day = (int) $zeroBased;
            if ($day > 365) {
                throw new \UnexpectedValueException("a day $zeroBased");
            }
            return [1, $day, 0, 0, $at];
        }
        [$month, $week, $weekday] = [(int) $month, (int) $week, (int) $weekday];
        if ($month < 1 || $month > 12 || $week < 1 || $week > 5 || $weekday > 6) {
            throw new \UnexpectedValueException("a day M$month.$week.$weekday");
        }
        return [2, $weekday, $week, $month, $at];
    }

    private static function seconds(string $sign, string $hours, string $minutes, string $seconds, int $maxHours): int
    {
        if ((int) $hours > $maxHours || (int) $minutes > 59 || (int) $seconds > 59) {
            throw new \UnexpectedValueException("a time $sign$hours:$minutes:$seconds");
        }
        $total = (int) $hours * 3600 + (int) $minutes * 60 + (int) $seconds;
        return $sign === '-' ? -$total : $total;
    }

    /** The offset from UTC, in seconds, of local time at instant $t. */
    public function offsetAt(int $t): int
    {
        if ($this->start === null || $this->end === null) {
            return $this->std;
        }
        $year = (int) gmdate('Y', $t);
        $start = self::changeAt($this->start, $year, $this->std);
        $end = self::changeAt($this->end, $year, $this->dst);
        $dst = $start > $end ? $t < $end || $t >= $start : $t >= $start && $t < $end;
        return $dst ? $this->dst : $this->std;
    }

    /** The instant of a change in $year, its time of day read in the offset $before it. */
    private static function changeAt(array $change, int $year, int $before): int
    {
        [$kind, $day, $week, $month, $at] = $change;
        $leap = ($year % 4 === 0 && $year % 100 !== 0) || $year % 400 === 0 ? 1 : 0;
        $t = self::daysBefore($year) * 86400;
        if ($kind === 0) { // Jn: 1 to 365, with no 29 February
            $t += ($day - 1 + ($day >= 60 && $leap === 1 ? 1 : 0)) * 86400;
        } elseif ($kind === 1) { // n: 0 to 365
            $t += $day * 86400;
        } else { // Mm.w.d: weekday d of week w (5: the last) of month m
            $starts = self::MONTH_STARTS[$leap];
            $t += $starts[$month - 1] * 86400;
            // the weekday of the month's first day, by Zeller's congruence
            $m1 = ($month + 9) % 12 + 1;
            $yy0 = $month <= 2 ? $year - 1 : $year;
            $yy1 = intdiv($yy0, 100);
            $yy2 = $yy0 % 100;
            $dow = (intdiv(26 * $m1 - 2, 10) + 1 + $yy2 + intdiv($yy2, 4) + intdiv($yy1, 4) - 2 * $yy1) % 7;
            if ($dow < 0) {
                $dow += 7;
            }
            $d = $day - $dow;
            if ($d < 0) {
                $d += 7;
            }
            for ($i = 1; $i < $week && $d + 7 < $starts[$month] - $starts[$month - 1]; $i++) {
                $d += 7;
            }
            $t += $d * 86400;
        }
        return $t + $at - $before;
    }

    /** Days from 1970-01-01 to 1 January of $year. */
    private static function daysBefore(int $year): int
    {
        $y = $year - 1;
        return 365 * ($y - 1969) + intdiv($y, 4) - intdiv($y, 100) + intdiv($y, 400) - 477;
    }
}
