<?php

declare(strict_types=1);

namespace Idstamp\Tests;

use Idstamp\Codec;
use Idstamp\Idstamp;
use Idstamp\Verdict;
use PHPUnit\Framework\TestCase;

final class CodecTest extends TestCase
{
    protected function tearDown(): void
    {
        putenv('TZ');
    }

    /**
     * The token of a plain token, step by step as the format describes it:
     * reversal, even re-exchange, then the digits through $map.
     */
    private static function scramble(string $plain, string $map = Codec::DEFAULT_DIGIT_MAP): string
    {
        $n = strlen($plain);
        $swap = static function (int $i, int $j) use (&$plain): void {
            [$plain[$i], $plain[$j]] = [$plain[$j], $plain[$i]];
        };
        for ($i = 0; $i < intdiv($n, 2); $i++) {
            $swap($i, $n - 1 - $i);
        }
        for ($i = 0; $i < intdiv($n, 2); $i += 2) {
            $swap($i, $n - 1 - $i);
        }
        return strtr($plain, '0123456789', $map);
    }

    public function testOtherMapsAgainstTheSteps(): void
    {
        $ids = ['A', '7', 'ABC', "0123456789", "\x01 \xff\n", str_repeat('x9', 499) . 'z'];
        foreach (['5820739164', '0123456789', '9876543210', '1032547698'] as $map) {
            $codec = Idstamp::withDigitMap($map);
            foreach ($ids as $id) {
                foreach ([0, 9, 10, 59999, 4294967295] as $stamp) {
                    $token = $codec->cryptId($id, $stamp);
                    self::assertSame(self::scramble(sprintf('%03d', strlen($id)) . $id . $stamp, $map), $token, "$map $id $stamp");
                    self::assertSame($id, $codec->decryptId($token, 1, $stamp));
                    $now = min($stamp + 59999, 4294967295);
                    $r = $codec->inspect($token, 1, $now);
                    self::assertSame([Verdict::Fresh, $id, $stamp, $now - $stamp], [$r->verdict, $r->id, $r->stamp, $r->ageMs]);
                }
            }
        }
    }

    /** Misuse is refused, naming the argument, and never gives a token. */
    public function testMisuse(): void
    {
        $refused = [
            'id' => [
                fn () => Idstamp::cryptId(''),
                fn () => Idstamp::cryptId(str_repeat('a', 1000), 0),
                fn () => Idstamp::cryptId("a\0b", 0),
            ],
            'stamp' => [fn () => Idstamp::cryptId('a', -1), fn () => Idstamp::cryptId('a', 1 << 32)],
            'now' => [
                fn () => Idstamp::inspect('ab', 30, -1),
                fn () => Idstamp::decryptId('5A8355', 30, 1 << 32),
                // well-formed tokens, which Idstamp checks without a codec
                fn () => Idstamp::inspect(Idstamp::cryptId('id', 0), 30, -1),
                fn () => Idstamp::decryptId(Idstamp::cryptId('id', 0), 30, 1 << 32),
                fn () => Idstamp::withDigitMap('0123456789')->inspect('5A8355', 30, PHP_INT_MIN),
            ],
            'map' => [
                fn () => Idstamp::withDigitMap('0123456788'),
                fn () => Idstamp::withDigitMap('012345678'),
                fn () => new Codec('01234567890'),
                fn () => new Codec('012345678a'),
            ],
        ];
        foreach ($refused as $name => $calls) {
            foreach ($calls as $k => $call) {
                try {
                    $call();
                    self::fail("$name $k: no error");
                } catch (\InvalidArgumentException $e) {
                    self::assertStringStartsWith("$name must", $e->getMessage());
                }
            }
        }
        $null = null;
        $this->expectException(\TypeError::class);
        $this->expectExceptionMessage('$token');
        Idstamp::inspect($null);
    }

    /**
     * The stamp as written, clamped to 64 bits, and the age modulo 2^64
     * read as signed, where PHP's integers would otherwise turn to floats.
     */
    public function testSixtyFourBitEdges(): void
    {
        $max = PHP_INT_MAX;
        $min = PHP_INT_MIN;
        $rows = [ // stamp text, lifetime, now, verdict, stamp, age
            ['-9223372036854775808', 30, 4294967295, Verdict::Ahead, $min, -9223372032559808513],
            ['-99999999999999999999', 30, 0, Verdict::Ahead, $min, $min],
            // now - PHP_INT_MAX: the last stamp whose age does not wrap, and the one below it
            ['-9223372032559808512', 30, 4294967295, Verdict::Expired, -9223372032559808512, $max],
            ['-9223372032559808513', 30, 4294967295, Verdict::Ahead, -9223372032559808513, $min],
            ['18446744073709551615', 30, 0, Verdict::Ahead, $max, -$max],
            ['0009223372036854775807', 1, 4294967295, Verdict::Ahead, $max, -9223372032559808512],
            // 2^32 whole minutes are 2^32 minutes, not 0
            ['-257698037760000', 30, 0, Verdict::Expired, -257698037760000, 257698037760000],
            ['-257698037760000', $max, 0, Verdict::Fresh, -257698037760000, 257698037760000],
            ['0', 0, 0, Verdict::Expired, 0, 0],
            ['60000', -1, 0, Verdict::Ahead, 60000, -60000],
            ['0', $min, 0, Verdict::Expired, 0, 0],
        ];
        foreach ($rows as [$text, $lifetime, $now, $verdict, $stamp, $age]) {
            $token = self::scramble("002id$text");
            $r = Idstamp::inspect($token, $lifetime, $now);
            self::assertSame([$verdict, 'id', $stamp, $age], [$r->verdict, $r->id, $r->stamp, $r->ageMs], "$text $lifetime $now");
            self::assertSame($verdict === Verdict::Fresh ? 'id' : null, Idstamp::decryptId($token, $lifetime, $now));
        }
    }

    /** With a lifetime of 0 or less the clock is not read for decryptId, as nothing can be fresh. */
    public function testNoClockWithoutHope(): void
    {
        putenv('TZ=EST5EDT,M3.2.0,M11.1.0');
        $token = Idstamp::cryptId('id', 0);
        self::assertNull(Idstamp::decryptId($token, 0));
        self::assertNull(Idstamp::decryptId('5A83', 30));
        self::assertSame('too short', Idstamp::inspect('55')->reason);
        $this->expectException(\RuntimeException::class);
        $this->expectExceptionMessage('TZ="EST5EDT,M3.2.0,M11.1.0"');
        Idstamp::inspect($token, 0);
    }
}
