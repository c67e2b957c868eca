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

    private static ?Codec $default = null;

    private function __construct()
    {
    }

    /** @see Codec::cryptId() */
    public static function cryptId(string $id, ?int $stamp = null): string
    {
        return (self::$default ??= new Codec())->cryptId($id, $stamp);
    }

    /** @see Codec::decryptId() */
    public static function decryptId(string $token, int $lifetime = self::DEFAULT_LIFETIME, ?int $now = null): ?string
    {
        return (self::$default ??= new Codec())->decryptId($token, $lifetime, $now);
    }

    /** @see Codec::inspect() */
    public static function inspect(string $token, int $lifetime = self::DEFAULT_LIFETIME, ?int $now = null): Report
    {
        return (self::$default ??= new Codec())->inspect($token, $lifetime, $now);
    }

    /** @see Codec::yearStamp() */
    public static function yearStamp(?\DateTimeInterface $at = null): int
    {
        return (self::$default ??= new Codec())->yearStamp($at);
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
}
