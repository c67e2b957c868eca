<?php

declare(strict_types=1);

// idstamp's check against HMAC-SHA256 in PHP, the floor under any signed
// token: hash_hmac of a message as long as the token, compared with
// hash_equals. Each is timed in turns, in rounds, and given by its fastest
// round: a busy machine only adds time.
//   php peers.php [ROUNDS]
// IDSTAMP_PHP names the package's directory (default: php/ of this repository).

require (getenv('IDSTAMP_PHP') ?: __DIR__ . '/../../../php') . '/autoload.php';

use Idstamp\Idstamp;

const ID = 'user-20489113';
const STAMP = 411196474;
const KEY = 'a key of thirty-two bytes, fixed';

$rounds = (int) ($argv[1] ?? 20);
$token = Idstamp::cryptId(ID, STAMP);
$tag = hash_hmac('sha256', $token, KEY, true);

$checks = [
    ['idstamp Idstamp::decryptId (now given)', 100000, static fn (): bool => Idstamp::decryptId($token, 30, STAMP) === ID],
    ['hash_hmac sha256 + hash_equals', 100000, static fn (): bool => hash_equals($tag, hash_hmac('sha256', $token, KEY, true))],
];
$best = array_fill(0, count($checks), INF);
for ($r = 0; $r < $rounds; $r++) {
    foreach ($checks as $c => [$name, $count, $call]) {
        $ok = true;
        $start = hrtime(true);
        for ($i = 0; $i < $count; $i++) {
            $ok = $call() && $ok;
        }
        $ns = (hrtime(true) - $start) / $count;
        if (!$ok) {
            fwrite(STDERR, "peers: $name refused its own token\n");
            exit(1);
        }
        $best[$c] = min($best[$c], $ns);
    }
}
printf("PHP %s, %d-byte idstamp token, fastest of %d rounds\n", PHP_VERSION, strlen($token), $rounds);
printf("%-40s %10s %8s\n", 'check', 'ns/call', 'ratio');
foreach ($checks as $c => [$name]) {
    printf("%-40s %10.1f %7.1fx\n", $name, $best[$c], $best[$c] / $best[0]);
}
