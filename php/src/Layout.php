<?php

declare(strict_types=1);

namespace Idstamp;

/**
 * The parts of a token's layout that checks look up rather than work out:
 * which bytes trade places with their mirrors, and the length fields as
 * issuers write them. Codec and the fast checks of Idstamp each keep what
 * these give at hand.
 *
 * @internal
 */
final class Layout
{
    /** Tokens up to this long keep their mask: every token an issuer writes. */
    public const MASKS_KEPT = 1012;

    private function __construct()
    {
    }

    /**
     * Which bytes of a text of $n bytes trade places with their mirrors:
     * 0xff at each odd position i below n/2 and at its mirror n-1-i, 0 elsewhere.
     */
    public static function mask(int $n): string
    {
        $half = intdiv($n, 2);
        $low = substr(str_repeat("\x00\xff", intdiv($half + 1, 2)), 0, $half);
        return $low . ($n % 2 === 1 ? "\x00" : '') . strrev($low);
    }

    /** @return array<string, int> each length field as issuers write it, "001" to "999", to its length */
    public static function lengthFields(): array
    {
        $fields = [];
        for ($length = 1; $length <= Idstamp::MAX_ID_LENGTH; $length++) {
            $fields[sprintf('%03d', $length)] = $length;
        }
        return $fields;
    }
}
