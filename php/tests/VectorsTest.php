<?php

declare(strict_types=1);

namespace Idstamp\Tests;

use Idstamp\Codec;
use Idstamp\Idstamp;
use Idstamp\Verdict;
use PHPUnit\Framework\TestCase;

/** The shared test vectors of docs/token-vectors.json. */
final class VectorsTest extends TestCase
{
    /** @return array{digit_map: string, issue: list<array<string, mixed>>, check: list<array<string, mixed>>} */
    private static function vectors(): array
    {
        $v = json_decode((string) file_get_contents(__DIR__ . '/../../docs/token-vectors.json'), true, 8, JSON_THROW_ON_ERROR);
        self::assertSame(Codec::DEFAULT_DIGIT_MAP, $v['digit_map']);
        self::assertNotEmpty($v['issue']);
        self::assertNotEmpty($v['check']);
        return $v;
    }

    public function testIssue(): void
    {
        foreach (self::vectors()['issue'] as $k => $c) {
            $id = (string) hex2bin($c['id_hex']);
            $token = Idstamp::cryptId($id, $c['stamp']);
            self::assertSame($c['token_hex'], bin2hex($token), "issue $k");
            self::assertSame($id, Idstamp::decryptId($token, 30, $c['stamp']), "issue $k checked back");
        }
    }

    public function testCheck(): void
    {
        foreach (self::vectors()['check'] as $k => $c) {
            $token = (string) hex2bin($c['token_hex']);
            $r = Idstamp::inspect($token, $c['lifetime'], $c['now']);
            $what = "check $k: " . json_encode($c);
            self::assertSame($c['verdict'], $r->verdict->value, $what);
            if ($r->verdict === Verdict::Malformed) {
                self::assertSame($c['reason'], $r->reason, $what);
                self::assertSame([null, 0, 0, 0], [$r->id, $r->stamp, $r->now, $r->ageMs], $what);
            } else {
                self::assertSame([null, $c['id_hex'], $c['now']], [$r->reason, bin2hex((string) $r->id), $r->now], $what);
            }
            $id = Idstamp::decryptId($token, $c['lifetime'], $c['now']);
            self::assertSame($c['verdict'] === 'fresh' ? hex2bin($c['id_hex']) : null, $id, $what);
        }
    }
}
