<?php

declare(strict_types=1);

namespace Idstamp;

/**
 * What a token holds, and why it is accepted or refused.
 *
 * For a malformed token, $reason names the first check it fails ("too
 * short", "bad length field", "no stamp", "zero byte in the id", "bad
 * stamp"), $id is null and the numbers are 0. Otherwise $reason is null,
 * $id holds the id's bytes, $stamp is the stamp as written (a forged one may
 * lie anywhere in 64 bits), $now is the stamp it was judged against and
 * $ageMs is $now - $stamp, modulo 2^64 read as signed.
 */
final class Report
{
    public function __construct(
        public readonly Verdict $verdict,
        public readonly ?string $reason,
        public readonly ?string $id,
        public readonly int $stamp,
        public readonly int $now,
        public readonly int $ageMs,
    ) {
    }
}
