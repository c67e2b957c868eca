<?php

declare(strict_types=1);

namespace Idstamp\Tests;

use Idstamp\Idstamp;
use Idstamp\LocalClock;
use Idstamp\ZoneFile;
use PHPUnit\Framework\TestCase;

/**
 * The clock's zone, held to PHP's own reading of the same zone files (the
 * system's): offsets before, between and after the listed transitions,
 * where the file's closing rule takes over.
 */
final class ClockTest extends TestCase
{
    private const ZONES = ['Europe/Berlin', 'America/New_York', 'Australia/Lord_Howe', 'Pacific/Chatham',
        'America/Nuuk', 'Asia/Jerusalem', 'Europe/Dublin', 'America/Santiago', 'Asia/Kolkata', 'UTC'];

    protected function tearDown(): void
    {
        putenv('TZ');
        putenv('TZDIR');
    }

    public function testOffsetsAndStampsAsPhpReadsTheZones(): void
    {
        mt_srand(29);
        foreach (self::ZONES as $name) {
            $zone = ZoneFile::parse((string) file_get_contents("/usr/share/zoneinfo/$name"));
            $tz = new \DateTimeZone($name);
            // each change from 1900 to 2150, a second either side, and instants between
            $instants = [];
            foreach ($tz->getTransitions(-2208988800, 5680281600) as $change) {
                array_push($instants, $change['ts'] - 1, $change['ts'], $change['ts'] + 1);
            }
            for ($k = 0; $k < 300; $k++) {
                $instants[] = mt_rand(-2208988800, 5680281600);
            }
            foreach ($instants as $t) {
                $at = (new \DateTimeImmutable("@$t"))->setTimezone($tz);
                self::assertSame($at->getOffset(), $zone->offsetAt($t), "$name at " . $at->format('c'));
                $ms = abs($t) % 1000;
                self::assertSame(Idstamp::yearStamp($at->modify("+$ms msec")), LocalClock::stampOfLocal($t + $at->getOffset(), $ms));
            }
        }
    }

    /** What the C library applies, or a refusal naming TZ. */
    public function testTheSettings(): void
    {
        $empty = sys_get_temp_dir() . '/idstamp-empty-' . getmypid();
        @mkdir($empty);
        $berlin = new \DateTimeZone('Europe/Berlin');
        $utc = new \DateTimeZone('UTC');
        $zones = ['Europe/Berlin' => $berlin, ':Europe/Berlin' => $berlin, '/usr/share/zoneinfo/Europe/Berlin' => $berlin,
            '' => $utc, ':' => $utc, 'EST5EDT,M3.2.0,M11.1.0' => null, 'Mars/Olympus' => null, 'right/UTC' => null, 'JST' => null,
            'Europe' => null, "TZDIR=$empty" => null];
        foreach ($zones as $setting => $zone) {
            putenv(str_starts_with($setting, 'TZDIR=') ? 'TZ=Asia/Tokyo' : "TZ=$setting");
            putenv(str_starts_with($setting, 'TZDIR=') ? $setting : 'TZDIR');
            if ($zone === null) {
                try {
                    Idstamp::yearStamp();
                    self::fail("$setting: applied");
                } catch (\RuntimeException $e) {
                    self::assertStringContainsString('TZ=', $e->getMessage());
                }
                continue;
            }
            $before = Idstamp::yearStamp(new \DateTimeImmutable('now', $zone));
            $stamp = Idstamp::yearStamp();
            $after = Idstamp::yearStamp(new \DateTimeImmutable('now', $zone));
            self::assertTrue($before <= $after ? $stamp >= $before && $stamp <= $after : $stamp >= $before || $stamp <= $after, "$setting: $before $stamp $after");
        }
        rmdir($empty);
    }
}
