<?php

declare(strict_types=1);

namespace Idstamp;

/**
 * Issues and checks tokens with one digit map: ten characters, a permutation
 * of the digits, entry d replacing the digit d. Tokens pass only between
 * issuers and checkers with the same map. A Codec never changes.
 *
 * Tokens are scrambled, not signed: anyone who knows the map can read and
 * forge them.
 */
final class Codec
{
    /** The map of the idstamp library and tools, unless built otherwise. */
    public const DEFAULT_DIGIT_MAP = '5820739164';

    private const DIGITS = '0123456789';
    private const MS_PER_MINUTE = 60000;
    private const STAMP_MAX = 0xFFFFFFFF;

    private readonly string $encode;
    private readonly string $decode;

    /** @var array<int, string> by length: which bytes trade places with their mirrors */
    private static array $moves = [];
    /** @var array<string, int> each length field as issuers write it, "001" to "999", to its length */
    private static array $fields = [];
    /** @var array<string, int> self::$fields, at hand as a property: fetched on every check */
    private readonly array $lengths;
    /** @var array<string, Report> one report for each reason, shared: reports never change */
    private static array $malformed = [];

    /**
     * @throws \InvalidArgumentException unless $map holds each of the ten digits once
     */
    public function __construct(string $map = self::DEFAULT_DIGIT_MAP)
    {
        if (strlen($map) !== 10 || count_chars($map, 3) !== self::DIGITS) {
            throw new \InvalidArgumentException(sprintf(
                'map must hold each of the ten digits once, not "%s"',
                addcslashes($map, "\0..\37\177..\377\"\\")
            ));
        }
        $decode = [];
        for ($d = 0; $d < 10; $d++) {
            $decode[(int) $map[$d]] = (string) $d;
        }
        ksort($decode);
        $this->encode = $map;
        $this->decode = implode('', $decode);
        $this->lengths = self::$fields ?: self::$fields = Layout::lengthFields();
    }

    /** The map this codec substitutes digits with. */
    public function digitMap(): string
    {
        return $this->encode;
    }

    /** A codec for another digit map. */
    public function withDigitMap(string $map): self
    {
        return new self($map);
    }

    /**
     * The token for $id at year stamp $stamp, or at the local clock's when
     * $stamp is null.
     *
     * @throws \InvalidArgumentException for an id that is empty, longer than
     *         999 bytes or holds a zero byte, or a stamp outside 0 to 2^32 - 1
     * @throws \RuntimeException naming TZ where the clock's zone cannot be applied
     */
    public function cryptId(string $id, ?int $stamp = null): string
    {
        $length = strlen($id);
        if ($length === 0 || $length > Idstamp::MAX_ID_LENGTH) {
            throw new \InvalidArgumentException(sprintf(
                'id must be 1 to %d bytes, not %d',
                Idstamp::MAX_ID_LENGTH,
                $length
            ));
        }
        if (str_contains($id, "\0")) {
            throw new \InvalidArgumentException('id must not hold a zero byte');
        }
        if ($stamp === null) {
            $stamp = LocalClock::yearStamp();
        } elseif ($stamp < 0 || $stamp > self::STAMP_MAX) {
            self::badStamp($stamp, 'stamp');
        }
        $plain = sprintf('%03d', $length) . $id . $stamp;
        return strtr(self::shuffle($plain), self::DIGITS, $this->encode);
    }

    /**
     * The id of a token that is fresh at year stamp $now (the local clock's
     * when null), or null for any other token. A lifetime of 0 or less
     * leaves no token fresh.
     *
     * @throws \InvalidArgumentException for a now outside 0 to 2^32 - 1
     * @throws \RuntimeException naming TZ where the clock's zone cannot be applied
     */
    public function decryptId(string $token, int $lifetime = Idstamp::DEFAULT_LIFETIME, ?int $now = null): ?string
    {
        // The checks below are written out, with their functions named from
        // the root and their constants as literals: a check costs little more
        // than its calls, so each saved call shows.
        if ($now !== null && $now >> 32 !== 0) {
            self::badStamp($now, 'now');
        }
        $n = \strlen($token);
        if ($n < 3) {
            return null;
        }
        $plain = \strtr($token ^ (($token ^ \strrev($token)) & (self::$moves[$n] ?? self::move($n))), '0123456789', $this->decode);
        // A length field and a stamp as issuers write them: three digits, and
        // digits with no leading zero that read back the same. Anything else
        // is read the long way.
        $length = $this->lengths[\substr($plain, 0, 3)] ?? 0;
        if ($length !== 0 && $length < $n - 3) {
            $text = \substr($plain, 3 + $length);
            $stamp = (int) $text;
            if ((string) $stamp !== $text || $stamp < 0) {
                $read = $this->read($token);
                if (\is_string($read)) {
                    return null;
                }
                $stamp = $read[1];
            }
            $id = \substr($plain, 3, $length);
            if (\str_contains($id, "\0")) {
                return null;
            }
        } else {
            $read = $this->read($token);
            if (\is_string($read)) {
                return null;
            }
            [$id, $stamp] = $read;
        }
        if ($now === null) {
            if ($lifetime <= 0) {
                return null; // refused without the clock
            }
            $now = LocalClock::yearStamp();
        }
        $age = $stamp < $now - PHP_INT_MAX ? self::wrappedAge($now, $stamp) : $now - $stamp;
        // Whole minutes toward zero, without a call: $age % 60000 has the
        // sign of $age, and what is left divides exactly, giving an int.
        $minutes = ($age - $age % 60000) / 60000;
        return $minutes >= 0 && $minutes < $lifetime ? $id : null;
    }

    /**
     * What a token holds and its verdict at year stamp $now (the local
     * clock's when null). A malformed token needs no clock.
     *
     * @throws \InvalidArgumentException for a now outside 0 to 2^32 - 1
     * @throws \RuntimeException naming TZ where the clock's zone cannot be applied
     */
    public function inspect(string $token, int $lifetime = Idstamp::DEFAULT_LIFETIME, ?int $now = null): Report
    {
        // Written out as decryptId() is, for the same reason.
        if ($now !== null && $now >> 32 !== 0) {
            self::badStamp($now, 'now');
        }
        $n = \strlen($token);
        if ($n >= 3) {
            $plain = \strtr($token ^ (($token ^ \strrev($token)) & (self::$moves[$n] ?? self::move($n))), '0123456789', $this->decode);
            $length = $this->lengths[\substr($plain, 0, 3)] ?? 0;
            if ($length !== 0 && $length < $n - 3) {
                $text = \substr($plain, 3 + $length);
                $stamp = (int) $text;
                if ((string) $stamp === $text && $stamp >= 0) {
                    $id = \substr($plain, 3, $length);
                    if (!\str_contains($id, "\0")) {
                        $now ??= LocalClock::yearStamp();
                        $age = $now - $stamp; // with 0 <= stamp < 2^63, within range
                        $minutes = ($age - $age % 60000) / 60000;
                        return new Report(
                            $minutes < 0 ? Verdict::Ahead : ($minutes >= $lifetime ? Verdict::Expired : Verdict::Fresh),
                            null,
                            $id,
                            $stamp,
                            $now,
                            $age,
                        );
                    }
                }
            }
        }
        // Every other token, the long way.
        $read = $this->read($token);
        if (\is_string($read)) {
            return self::$malformed[$read] ??= new Report(Verdict::Malformed, $read, null, 0, 0, 0);
        }
        $now ??= LocalClock::yearStamp();
        [$id, $stamp] = $read;
        $age = $stamp < $now - PHP_INT_MAX ? self::wrappedAge($now, $stamp) : $now - $stamp;
        $minutes = \intdiv($age, self::MS_PER_MINUTE);
        $verdict = $minutes < 0 ? Verdict::Ahead : ($minutes >= $lifetime ? Verdict::Expired : Verdict::Fresh);
        return new Report($verdict, null, $id, $stamp, $now, $age);
    }

    /**
     * The year stamp of $at from its own wall-clock fields, or of the local
     * clock when null: ((day of year - 1) * 86400 + hour * 3600 + minute * 60
     * + second) * 1000 + millisecond, modulo 2^32. Across a daylight-saving
     * change this is not the time elapsed since 1 January: the fields move
     * with the clock. Finer parts than the millisecond are dropped.
     *
     * @throws \RuntimeException naming TZ where the clock's zone cannot be applied
     */
    public function yearStamp(?\DateTimeInterface $at = null): int
    {
        if ($at === null) {
            return LocalClock::yearStamp();
        }
        [$day, $hour, $minute, $second, $ms] = explode(' ', $at->format('z G i s v'));
        $seconds = (int) $day * 86400 + (int) $hour * 3600 + (int) $minute * 60 + min((int) $second, 59);
        return ($seconds * 1000 + (int) $ms) & self::STAMP_MAX;
    }

    private static function badStamp(int $value, string $name): never
    {
        throw new \InvalidArgumentException(sprintf('%s must be 0 to %d, not %d', $name, self::STAMP_MAX, $value));
    }

    /**
     * The id and stamp of a token, or why it is malformed: the first of the
     * checks, in the library's order and words, that it fails.
     *
     * @return array{string, int}|string
     */
    private function read(string $token): array|string
    {
        $n = strlen($token);
        if ($n < 3) {
            return 'too short';
        }
        $plain = strtr(self::shuffle($token), self::DIGITS, $this->decode);
        // Three digits as every issuer writes them, or what decimal reading
        // still takes: " 12", "+12", "\t\r3".
        $field = substr($plain, 0, 3);
        $length = strspn($field, self::DIGITS) === 3 ? (int) $field : self::readDecimal($field);
        if ($length === null || $length <= 0) {
            return 'bad length field';
        }
        if (3 + $length >= $n) {
            return 'no stamp';
        }
        $id = substr($plain, 3, $length);
        if (str_contains($id, "\0")) {
            return 'zero byte in the id';
        }
        $text = substr($plain, 3 + $length);
        $digits = strlen($text);
        // Up to 18 digits cannot leave 64 bits; anything else reads the long way.
        $stamp = $digits <= 18 && strspn($text, self::DIGITS) === $digits ? (int) $text : self::readDecimal($text);
        if ($stamp === null || $stamp === -1) {
            return 'bad stamp';
        }
        return [$id, $stamp];
    }

    /**
     * $now - $stamp, modulo 2^64 read as signed, for a stamp below
     * $now - PHP_INT_MAX, where it overflows: with 0 <= $now < 2^32 no other
     * does, and only upward. Each step of (now + MIN) - (stamp - MIN), which
     * is now - stamp - 2^64, stays in range, so no float is ever made.
     */
    private static function wrappedAge(int $now, int $stamp): int
    {
        return ($now + PHP_INT_MIN) - ($stamp - PHP_INT_MIN);
    }

    /**
     * $text as a signed 64-bit decimal, or null: leading bytes 9 to 13 and
     * 32, one optional + or -, then at least one digit and only digits to
     * the end. A value beyond the range takes the nearest limit.
     */
    private static function readDecimal(string $text): ?int
    {
        $n = strlen($text);
        $i = strspn($text, " \t\n\v\f\r");
        $negative = false;
        if ($i < $n && ($text[$i] === '+' || $text[$i] === '-')) {
            $negative = $text[$i] === '-';
            $i++;
        }
        if ($i === $n || strspn($text, self::DIGITS, $i) !== $n - $i) {
            return null;
        }
        // Counted below zero, where the range reaches one further.
        $value = 0;
        $beyond = false;
        for (; $i < $n && !$beyond; $i++) {
            $d = ord($text[$i]) - 48;
            if ($value < intdiv(PHP_INT_MIN + $d, 10)) {
                $beyond = true;
            } else {
                $value = $value * 10 - $d;
            }
        }
        if ($negative) {
            return $beyond ? PHP_INT_MIN : $value;
        }
        return $beyond || $value === PHP_INT_MIN ? PHP_INT_MAX : -$value;
    }

    /**
     * Trades each odd position i below n/2 with its mirror n-1-i, which is
     * both the issuer's reversal and re-exchange and the checker's undoing
     * of them: the text, with the bytes that move taken from its reversal.
     */
    private static function shuffle(string $text): string
    {
        $n = strlen($text);
        $move = self::$moves[$n] ?? self::move($n);
        return $text ^ (($text ^ strrev($text)) & $move);
    }

    /** Which bytes of a text of $n bytes trade places with their mirrors, kept for the lengths issuers write. */
    private static function move(int $n): string
    {
        $move = Layout::mask($n);
        if ($n <= Layout::MASKS_KEPT) {
            self::$moves[$n] = $move;
        }
        return $move;
    }
}
