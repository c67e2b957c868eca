<?php

declare(strict_types=1);

// The cost of inspect() and decryptId() with now given, against
// hash_hmac('sha256', $token, $key) on the same token in the same run: the
// least a signed token costs to check in PHP. Each is timed in turns, by its
// fastest of the rounds, and the ratios are printed; the goal is at most 0.5.
//
//     php bench/speed.php [ROUNDS [CALLS]]

require dirname(__DIR__) . '/autoload.php';

use Idstamp\Idstamp;

$rounds = (int) ($argv[1] ?? 200);
$calls = (int) ($argv[2] ?? 1000);
$now = 1_234_567_890;
$key = random_bytes(32);
$tokens = [
    'a 10-byte id' => Idstamp::cryptId('user-48213', $now - 90_000),
    'a 36-byte id' => Idstamp::cryptId('0c5e8a4b-6f1d-4e2a-9b37-5d8c1f0a2e64', $now - 90_000),
];

foreach ($tokens as $what => $token) {
    if (Idstamp::decryptId($token, 30, $now) === null) {
        fwrite(STDERR, "the token of $what does not check back\n");
        exit(1);
    }
    $timers = [
        'inspect' => static function () use ($token, $now, $calls): void {
            for ($i = 0; $i < $calls; $i++) {
                Idstamp::inspect($token, 30, $now);
            }
        },
        'decryptId' => static function () use ($token, $now, $calls): void {
            for ($i = 0; $i < $calls; $i++) {
                Idstamp::decryptId($token, 30, $now);
            }
        },
        'hash_hmac' => static function () use ($token, $key, $calls): void {
            for ($i = 0; $i < $calls; $i++) {
                hash_hmac('sha256', $token, $key);
            }
        },
    ];
    $best = array_fill_keys(array_keys($timers), PHP_INT_MAX);
    for ($r = 0; $r < $rounds; $r++) {
        foreach ($timers as $name => $timer) {
            $start = hrtime(true);
            $timer();
            $best[$name] = min($best[$name], hrtime(true) - $start);
        }
    }
    $perCall = static fn (string $name): string => sprintf('%.0f ns', $best[$name] / $calls);
    printf(
        "%s (%d-byte token): inspect %s, decryptId %s, hash_hmac sha256 %s: ratios %.2f and %.2f (goal: at most 0.5)\n",
        $what,
        strlen($token),
        $perCall('inspect'),
        $perCall('decryptId'),
        $perCall('hash_hmac'),
        $best['inspect'] / $best['hash_hmac'],
        $best['decryptId'] / $best['hash_hmac'],
    );
}
