<?php

declare(strict_types=1);

namespace Idstamp\Tests;

use Idstamp\Codec;
use Idstamp\Idstamp;
use Idstamp\Verdict;
use PHPUnit\Framework\TestCase;

/**
 * The conformance corpus that tools/corpus.py writes from idstamp-inspect:
 * every token row judged by inspect() and decryptId() with now given, every
 * year-stamp row by yearStamp(). Skipped unless IDSTAMP_CORPUS names the
 * corpus directory:
 *
 *     python3 ../tools/corpus.py PATH/TO/idstamp-inspect /tmp/corpus
 *     IDSTAMP_CORPUS=/tmp/corpus phpunit tests/CorpusTest.php
 */
final class CorpusTest extends TestCase
{
    /**
     * Calls $each with the fields of every row of the corpus file $name,
     * after checking its header, and gives the number of rows. $each gives
     * what is wrong with a row, or null.
     *
     * @param callable(list<string>): ?string $each
     */
    private static function rows(string $name, string $header, callable $each): int
    {
        $dir = getenv('IDSTAMP_CORPUS');
        if ($dir === false || $dir === '') {
            self::markTestSkipped('IDSTAMP_CORPUS names no corpus directory');
        }
        $file = fopen("$dir/$name", 'rb');
        self::assertNotFalse($file, "cannot open $dir/$name");
        self::assertSame($header, rtrim((string) fgets($file), "\n"), "$name: header");
        $width = substr_count($header, "\t") + 1;
        $rows = 0;
        while (($line = fgets($file)) !== false) {
            $rows++;
            $fields = explode("\t", rtrim($line, "\n"));
            self::assertCount($width, $fields, "$name row $rows: $line");
            $why = $each($fields);
            if ($why !== null) {
                self::fail("$name row $rows: $why\n  $line");
            }
        }
        fclose($file);
        self::assertGreaterThan(0, $rows, "$name holds no rows");
        return $rows;
    }

    public function testTokens(): void
    {
        $seen = [];
        // Idstamp checks the common tokens of the default map itself, and a
        // codec checks them its own way: both must judge every row alike.
        $codec = new Codec();
        self::rows(
            'tokens.tsv',
            "token_hex\tlifetime\tnow\tverdict\treason\tid_hex\tstamp\tage_ms",
            static function (array $f) use (&$seen, $codec): ?string {
                $token = (string) hex2bin($f[0]);
                $lifetime = (int) $f[1];
                $now = (int) $f[2];
                $r = Idstamp::inspect($token, $lifetime, $now);
                if ($r->verdict === Verdict::Malformed) {
                    if ($r->id !== null || $r->stamp !== 0 || $r->now !== 0 || $r->ageMs !== 0) {
                        return 'a malformed report with values';
                    }
                    $got = [$r->verdict->value, $r->reason, '', '', ''];
                } else {
                    if ($r->now !== $now) {
                        return "judged at $r->now";
                    }
                    $got = [$r->verdict->value, (string) $r->reason, bin2hex((string) $r->id), (string) $r->stamp, (string) $r->ageMs];
                }
                if ($got !== array_slice($f, 3)) {
                    return 'verdict, reason, id, stamp, age: ' . implode(' | ', $got);
                }
                // decryptId gives the id exactly when the token is fresh.
                $id = Idstamp::decryptId($token, $lifetime, $now);
                if ($id !== ($r->verdict === Verdict::Fresh ? $r->id : null)) {
                    return 'decryptId gives ' . var_export($id === null ? null : bin2hex($id), true);
                }
                if ($codec->inspect($token, $lifetime, $now) != $r) {
                    return 'a codec judges otherwise: ' . var_export($codec->inspect($token, $lifetime, $now), true);
                }
                if ($codec->decryptId($token, $lifetime, $now) !== $id) {
                    return 'a codec\'s decryptId gives otherwise';
                }
                $seen["$f[3] $f[4]"] = true;
                return null;
            }
        );
        foreach (['fresh ', 'expired ', 'ahead ', 'malformed too short', 'malformed bad length field',
            'malformed no stamp', 'malformed zero byte in the id', 'malformed bad stamp'] as $kind) {
            self::assertArrayHasKey($kind, $seen, "the corpus holds no token that is $kind");
        }
    }

    public function testYearStamps(): void
    {
        self::rows('year_stamps.tsv', "zone\tinstant_ms\tstamp", static function (array $f): ?string {
            $ms = (int) $f[1];
            $seconds = intdiv($ms, 1000) - ($ms % 1000 < 0 ? 1 : 0);
            $at = \DateTimeImmutable::createFromFormat('U v', sprintf('%d %03d', $seconds, $ms - $seconds * 1000))
                ->setTimezone(new \DateTimeZone($f[0]));
            $got = (string) Idstamp::yearStamp($at);
            return $got === $f[2] ? null : "yearStamp gives $got at " . $at->format('Y-m-d H:i:s.v T');
        });
    }
}
