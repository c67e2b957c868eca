<?php

declare(strict_types=1);

namespace Idstamp;

/**
 * Issues and checks short-lived scrambled tokens for ids, with the default
 * digit map. A token carries an id of 1 to 999 bytes (none of them zero) and
 * the year stamp of its issue: milliseconds since local midnight of
 * 1 January, modulo 2^32. It is fresh while 0 <= whole minutes since its
 * stamp < lifetime, minutes counted toward zero, so a stamp up to 59.999 s
 * ahead still counts as 0. The same tokens come from the idstamp C++ library
 * and command-line tool.
 *
 * Tokens are scrambled, not signed: anyone who knows the digit map can read
 * and forge them.
 *
 * Given a stamp or now, nothing reads the clock. Otherwise the local clock
 * is read in the zone the C library would apply under TZ, TZDIR and
 * /etc/localtime (PHP's own default zone plays no part), and a zone that
 * cannot be applied exactly so raises a \RuntimeException naming TZ.
 */
final class Idstamp
{
    public const MAX_ID_LENGTH = 999;
    public const DEFAULT_LIFETIME = 30;

    /** Codec::DEFAULT_DIGIT_MAP undone: entry d is the digit that d stands for. */
    private const DECODE = '3725908416';

    private static ?Codec $default = null;
    /** @var array<string, int> empty until the default codec is made, which sends every check to it */
    private static array $lengths = [];
    /** @var array<int, string> by length, as Codec keeps its own */
    private static array $masks = [];

    private function __construct()
    {
    }

    /** @see Codec::cryptId() */
    public static function cryptId(string $id, ?int $stamp = null): string
    {
        return (self::$default ?? self::start())->cryptId($id, $stamp);
    }

    /** @see Codec::decryptId() */
    public static function decryptId(string $token, int $lifetime = self::DEFAULT_LIFETIME, ?int $now = null): ?string
    {
        // The common case, a well-formed token with now given, is checked
        // here as Codec does it, sparing a call that costs a fair share of
        // the check; anything else goes to the default codec.
        $n = \strlen($token);
        if ($now !== null && $now >> 32 === 0 && $n >= 5) {
            $plain = \strtr($token ^ (($token ^ \strrev($token)) & (self::$masks[$n] ?? self::mask($n))), '0123456789', self::DECODE);
            $length = self::$lengths[\substr($plain, 0, 3)] ?? 0;
            if ($length !== 0 && $length < $n - 3) {
                $text = \substr($plain, 3 + $length);
                $stamp = (int) $text;
                if ((string) $stamp === $text && $stamp >= 0) {
                    $id = \substr($plain, 3, $length);
                    if (!\str_contains($id, "\0")) {
                        $age = $now - $stamp; // with 0 <= stamp < 2^63, within range
                        $minutes = ($age - $age % 60000) / 60000;
                        return $minutes >= 0 && $minutes < $lifetime ? $id : null;
                    }
                }
            }
        }
        return (self::$default ?? self::start())->decryptId($token, $lifetime, $now);
    }

    /** @see Codec::inspect() */
    public static function inspect(string $token, int $lifetime = self::DEFAULT_LIFETIME, ?int $now = null): Report
    {
        // As decryptId() does.
        $n = \strlen($token);
        if ($now !== null && $now >> 32 === 0 && $n >= 5) {
            $plain = \strtr($token ^ (($token ^ \strrev($token)) & (self::$masks[$n] ?? self::mask($n))), '0123456789', self::DECODE);
            $length = self::$lengths[\substr($plain, 0, 3)] ?? 0;
            if ($length !== 0 && $length < $n - 3) {
                $text = \substr($plain, 3 + $length);
                $stamp = (int) $text;
                if ((string) $stamp === $text && $stamp >= 0) {
                    $id = \substr($plain, 3, $length);
                    if (!\str_contains($id, "\0")) {
                        $age = $now - $stamp;
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
        return (self::$default ?? self::start())->inspect($token, $lifetime, $now);
    }

    /** @see Codec::yearStamp() */
    public static function yearStamp(?\DateTimeInterface $at = null): int
    {
        return (self::$default ?? self::start())->yearStamp($at);
    }

    /**
     * A codec for another digit map.
     *
     * @throws \InvalidArgumentException unless $map holds each of the ten digits once
     */
    public static function withDigitMap(string $map): Codec
    {
        return new Codec($map);
    }

    /** The default codec, made once, and the fast checks' tables with it. */
    private static function start(): Codec
    {
        self::$lengths = Layout::lengthFields();
        return self::$default = new Codec();
    }

    /** Which bytes of a token of $n bytes trade places with their mirrors, kept as Codec keeps them. */
    private static function mask(int $n): string
    {
        $mask = Layout::mask($n);
        if ($n <= Layout::MASKS_KEPT) {
            self::$masks[$n] = $mask;
        }
        return $mask;
    }
}
