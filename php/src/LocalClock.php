<?php

declare(strict_types=1);

namespace Idstamp;

/**
 * The local clock's year stamp, in the zone the C library applies.
 *
 * PHP's own zone (date.timezone, else UTC) ignores TZ, so the zone is found
 * here, on every reading, as the C library finds it:
 *
 *  - TZ empty, or just ':', is UTC.
 *  - TZ unset names /etc/localtime; with no such file it is UTC.
 *  - Otherwise, less one leading ':', TZ names a zone file: itself when it
 *    starts with '/', else under $TZDIR (or /usr/share/zoneinfo).
 *
 * Where the C library would read TZ as a rule (EST5EDT,M3.2.0,M11.1.0), or
 * quietly fall back to UTC (JST, a name with no file), or count leap
 * seconds (the right/ zones), this refuses with a \RuntimeException that
 * names TZ.
 *
 * @internal
 */
final class LocalClock
{
    /** @var array<string, array{string, ZoneFile}> by path: the file's identity when read, and its zone */
    private static array $zones = [];

    private function __construct()
    {
    }

    public static function yearStamp(): int
    {
        $zone = self::zone();
        $clock = gettimeofday();
        $seconds = $clock['sec'];
        return self::stampOfLocal($seconds + ($zone?->offsetAt($seconds) ?? 0), intdiv($clock['usec'], 1000));
    }

    /** The year stamp at local time $local (seconds as if it were UTC) and millisecond $ms. */
    public static function stampOfLocal(int $local, int $ms): int
    {
        $secondOfDay = $local % 86400;
        if ($secondOfDay < 0) {
            $secondOfDay += 86400;
        }
        $day = (int) gmdate('z', $local);
        return (($day * 86400 + $secondOfDay) * 1000 + $ms) & 0xFFFFFFFF;
    }

    /**
     * The zone the C library applies under the environment as it is now, or
     * null for UTC.
     *
     * @throws \RuntimeException naming TZ where it cannot be applied exactly
     */
    public static function zone(): ?ZoneFile
    {
        $tz = getenv('TZ');
        if ($tz === '' || $tz === ':') {
            return null;
        }
        $name = $tz === false ? '' : (str_starts_with($tz, ':') ? substr($tz, 1) : $tz);
        if ($tz === false) {
            $path = '/etc/localtime';
        } elseif ($name[0] === '/') {
            $path = $name;
        } else {
            $dir = getenv('TZDIR');
            $path = ($dir === false || $dir === '' ? '/usr/share/zoneinfo' : $dir) . '/' . $name; // not cleaned: nor is it by the C library
        }
        clearstatcache(true, $path);
        $stat = @stat($path);
        if ($stat === false || ($stat['mode'] & 0170000) !== 0100000) {
            if ($name === '') {
                return null;
            }
            throw self::refusal($tz, "no zone file $path, and a rule or anything else is not applied here");
        }
        $identity = implode(' ', [$stat['dev'], $stat['ino'], $stat['size'], $stat['mtime'], $stat['ctime']]);
        $known = self::$zones[$path] ?? null;
        if ($known !== null && $known[0] === $identity) {
            return $known[1];
        }
        $data = @file_get_contents($path);
        if ($data === false) {
            throw self::refusal($tz, "cannot read $path");
        }
        try {
            $zone = ZoneFile::parse($data);
        } catch (\UnexpectedValueException $e) {
            throw self::refusal($tz, "$path: " . $e->getMessage());
        }
        self::$zones[$path] = [$identity, $zone];
        return $zone;
    }

    private static function refusal(string|false $tz, string $why): \RuntimeException
    {
        $setting = $tz === false ? 'TZ unset' : 'TZ=' . json_encode($tz, JSON_UNESCAPED_SLASHES | JSON_INVALID_UTF8_SUBSTITUTE);
        return new \RuntimeException("idstamp cannot read the local clock under $setting: $why; "
            . 'set TZ to a zone with a file in the zone folder, or give the stamp yourself');
    }
}
