#!/bin/sh
# The real binary under a frozen clock: exact stdout bytes, empty stderr and
# the exit status, for tokens issued at one moment and checked at another.
#
# usage: IDSTAMP_DIGIT_MAP=MAP end_to_end.sh IDSTAMP LIBFAKETIME
# where MAP is the build's digit map, for forging tokens no issuer writes.
# shellcheck source=tests/cli/e2e_lib.sh
. "$(dirname "$0")/e2e_lib.sh"
[ -n "${IDSTAMP_DIGIT_MAP:-}" ] || fatal "IDSTAMP_DIGIT_MAP: the build's digit map is not given"

t0=1635640200250  # 2021-10-31 00:30:00.250 UTC, 02:30:00.250 summer time in Berlin

# Usage and silence.
expect "no arguments" 2 "$usage" UTC $t0
expect "no mode" 2 "$usage" UTC $t0 -i X
expect "no id" 2 "$usage" UTC $t0 -c
expect "lifetime 0" 2 "$usage" UTC $t0 -i X -c -t 0
expect "lifetime 0 in decrypt mode" 2 "$usage" UTC $t0 -i X -d -t 0
expect "version" 0 "idstamp $version$nl" UTC $t0 --version
expect "empty id" 0 "" UTC $t0 -i "" -c
expect "not a token" 0 "" UTC $t0 -i X -c -d

# Exact tokens.
expect "token in UTC" 0 "5109B8788C4A757$nl" UTC $t0 -i ABC -c
expect "token in Berlin" 0 "5109B0786C4A757$nl" Europe/Berlin $t0 -i ABC -c
expect "id -c" 0 "5129c88874-757$nl" UTC $t0 -i -c

# The acceptance window of tests/token/window.tsv, whose stamp is that of
# t0 in UTC, through both programs. Lifetimes of 0 or less are usage errors
# here (above).
inspect=$(dirname "$bin")/idstamp-inspect
tool=$bin
issue "window" UTC $t0 ABC
grep -v '^#' "$(dirname "$0")/../token/window.tsv" >"$work/window"
while read -r age lifetime verdict; do
  [ "$lifetime" -gt 0 ] || continue
  bin=$tool
  if [ "$verdict" = fresh ]; then
    accepted "window: $age ms, -t $lifetime" UTC $((t0 + age)) -t "$lifetime"
  else
    rejected "window: $age ms, -t $lifetime" UTC $((t0 + age)) -t "$lifetime"
  fi
  bin=$inspect
  at UTC $((t0 + age)) --json -t "$lifetime" "$token"
  grep -q "^{\"verdict\": \"$verdict\", .*\"age_ms\": $age, " "$work/out" ||
    fail "inspect window: $age ms, -t $lifetime: $(cat "$work/out")"
  [ "$status" -eq "$([ "$verdict" = fresh ] && echo 0 || echo 1)" ] ||
    fail "inspect window: $age ms, -t $lifetime: status $status"
done <"$work/window"
bin=$tool

# The largest single argument Linux passes (128 KiB with its zero byte).
big=$(head -c 131071 /dev/zero | tr '\0' 7)
expect "128 KiB id" 0 "" UTC $t0 -i "$big" -c
expect "128 KiB token" 0 "" UTC $t0 -i "$big" -d

# Output that cannot be written is a failure, still silent on stderr.
TZ=UTC $wrap "$bin" -i ABC -c >/dev/full 2>"$work/err"
[ $? -eq 1 ] || fail "token to a full disk: want status 1"
[ -s "$work/err" ] && fail "token to a full disk: stderr"
$wrap "$bin" >/dev/full 2>"$work/err"
[ $? -eq 1 ] || fail "usage to a full disk: want status 1"
# A file-size limit is a failed write too, not a death by SIGXFSZ (not
# under a wrapper, which needs files of its own).
if [ -z "$wrap" ]; then
  (ulimit -f 0; TZ=UTC "$bin" -i ABC -c >"$work/limited" 2>"$work/err")
  [ $? -eq 1 ] || fail "token past a file-size limit: want status 1"
fi
$wrap "$bin" -i X -c >&- 2>"$work/err"
[ $? -eq 1 ] || fail "token to a closed stdout: want status 1"
[ -s "$work/err" ] && fail "closed stdout: stderr"
$wrap "$bin" -i X -d >/dev/full 2>"$work/err"
[ $? -eq 0 ] || fail "nothing to a full disk: want status 0"

# idstamp-inspect on the same clock: the verdict, and its exit status.
issue "inspect" UTC $((t0 - 5 * minute)) ABC
bin=$inspect
expect "inspect fresh" 0 "id        ABC
stamp     410896474, 2021-10-31 00:25:00.250 local time
now       411196474, 2021-10-31 00:30:00.250 local time
age       5 min 0.000 s
lifetime  30 min
verdict   fresh
" UTC $t0 "$token"
expect "inspect expired, JSON" 1 "{\"verdict\": \"expired\", \"id_hex\": \"414243\", \"id\": \"ABC\", \"stamp\": 410896474, \"now\": 411196474, \"age_ms\": 300000, \"lifetime\": 5, \"reason\": null}
" UTC $t0 -t 5 --json "$token"
expect "inspect malformed" 1 "lifetime  30 min
verdict   malformed: too short
" UTC $t0 -- -c
# Longer than any issued token, so read in pieces, with a stamp that does not
# read: under memcheck, no uninitialised value may decide the verdict.
long=$(perl -e 'my ($map, $plain) = @ARGV;   # the scramble, as the token format tells
                my @t = reverse split //, $plain;
                for (my $i = 0; $i < @t >> 1; $i += 2) { @t[$i, $#t - $i] = @t[$#t - $i, $i] }
                $_ = join "", @t; eval "tr/0-9/$map/"; print' \
  "$IDSTAMP_DIGIT_MAP" "003ABC$(head -c 1100 /dev/zero | tr '\0' 0)x")
expect "inspect long, bad stamp" 1 "lifetime  30 min
verdict   malformed: bad stamp
" UTC $t0 -- "$long"

# The C interface's inspection gives the same fields as the program.
c_inspect=${IDSTAMP_C_INSPECT:-}
if [ -n "$c_inspect" ]; then
  bin=$tool
  issue "C inspection" UTC $((t0 + 5 * minute)) ABC
  future=$token
  issue "C inspection" UTC $((t0 - 5 * minute)) ABC
  bin=$inspect
  # fresh, expired, ahead, and two malformed
  for case in "30 $token" "5 $token" "30 $future" "30 5109B8788C4A75X" "30 ab"; do
    set -- $case
    at UTC $t0 --json -t "$1" "$2"
    now=$(sed -n 's/.*"now": \([0-9]*\).*/\1/p' "$work/out")
    "$c_inspect" "$2" "$1" "${now:-0}" >"$work/c"
    sed 's/, "id": "[^"]*"//' "$work/out" | cmp -s - "$work/c" ||
      fail "C inspection of $2: $(cat "$work/c") against $(cat "$work/out")"
  done
fi

finish "end to end"
