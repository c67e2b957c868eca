#!/bin/sh
# The real binary under a frozen clock: exact stdout bytes, empty stderr and
# the exit status, for tokens issued at one moment and checked at another.
#
# usage: end_to_end.sh IDSTAMP FAKETIME
# Exits 77 (skipped) when libfaketime is not installed.
set -u
bin=$1
faketime=${2:-}
[ -n "$faketime" ] && [ -x "$faketime" ] || { echo "faketime not found: skipped"; exit 77; }

usage='Usage:
-i id -c crypt -d decrypt -t encrypted id lifetime in minutes (default 30)
'
failures=0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# at ZONE EPOCH_MS ARGS...: runs the tool with the clock frozen at EPOCH_MS
# (half a millisecond added, as libfaketime reads the fraction as a float),
# leaving stdout in $work/out, stderr in $work/err and the status in $status.
at() {
  zone=$1 ms=$2
  shift 2
  frac=$(printf '%03d5' $((ms % 1000)))
  TZ=$zone FAKETIME_FMT=%s "$faketime" -f "$((ms / 1000)).$frac" "$bin" "$@" \
    >"$work/out" 2>"$work/err"
  status=$?
}

# expect NAME STATUS STDOUT ZONE EPOCH_MS ARGS...
expect() {
  name=$1 want_status=$2 want_out=$3
  shift 3
  at "$@"
  printf '%s' "$want_out" >"$work/want"
  cmp -s "$work/out" "$work/want" || fail "$name: stdout '$(cat "$work/out")', want '$want_out'"
  [ "$status" -eq "$want_status" ] || fail "$name: status $status, want $want_status"
  [ -s "$work/err" ] && fail "$name: stderr '$(cat "$work/err")'"
  return 0
}

# issue NAME ZONE EPOCH_MS ID: the token issued at that moment, in $token.
issue() {
  name=$1
  at "$2" "$3" -i "$4" -c
  token=$(cat "$work/out")
  [ "$status" -eq 0 ] && [ -n "$token" ] || fail "$name: no token issued"
}

nl='
'
t0=1635640200250  # 2021-10-31 00:30:00.250 UTC, 02:30:00.250 summer time in Berlin
minute=60000

# Usage and silence.
expect "no arguments" 0 "$usage" UTC $t0
expect "no mode" 0 "$usage" UTC $t0 -i X
expect "no id" 0 "$usage" UTC $t0 -c
expect "lifetime 0" 0 "$usage" UTC $t0 -i X -c -t 0
expect "empty id" 0 "" UTC $t0 -i "" -c
expect "not a token" 0 "" UTC $t0 -i X -c -d

# Exact tokens.
expect "token in UTC" 0 "5109B8788C4A757$nl" UTC $t0 -i ABC -c
expect "token in Berlin" 0 "5109B0786C4A757$nl" Europe/Berlin $t0 -i ABC -c
expect "id -c" 0 "5129c88874-757$nl" UTC $t0 -i -c

# Checked at another moment, in each zone, away from any clock change.
for zone in UTC Europe/Berlin; do
  t=$((t0 - 120 * minute))
  issue "$zone" $zone $t ABC
  expect "$zone at issue" 0 "ABC$nl" $zone $t -i "$token" -d
  expect "$zone 29:59.999 later" 0 "ABC$nl" $zone $((t + 30 * minute - 1)) -i "$token" -d
  expect "$zone 30:00.000 later" 0 "" $zone $((t + 30 * minute)) -i "$token" -d
  expect "$zone -t 10, 9:59.999 later" 0 "ABC$nl" $zone $((t + 10 * minute - 1)) -i "$token" -d -t 10
  expect "$zone -t 10, 10:00.000 later" 0 "" $zone $((t + 10 * minute)) -i "$token" -d -t 10
  expect "$zone clock 59.999 s behind" 0 "ABC$nl" $zone $((t - 59999)) -i "$token" -d
  expect "$zone clock 60 s behind" 0 "" $zone $((t - 60000)) -i "$token" -d
done

# Berlin's clock goes back at 03:00 summer time: issued at 02:50 summer
# time, a check 20 min later reads 02:10 winter time, 40 min before issue.
t1=$((t0 + 20 * minute))
issue "before the change" Europe/Berlin $t1 ABC
expect "Berlin, repeated hour, 40 min before" 0 "" Europe/Berlin $((t1 + 20 * minute)) -i "$token" -d
expect "Berlin, repeated hour, 59.999 s before" 0 "ABC$nl" Europe/Berlin $((t1 + 60 * minute - 59999)) -i "$token" -d

# Output that cannot be written is a failure, still silent on stderr.
TZ=UTC "$bin" -i ABC -c >/dev/full 2>"$work/err"
[ $? -eq 1 ] || fail "token to a full disk: want status 1"
[ -s "$work/err" ] && fail "token to a full disk: stderr"
"$bin" >/dev/full 2>"$work/err"
[ $? -eq 1 ] || fail "usage to a full disk: want status 1"
"$bin" -i X -c >&- 2>"$work/err"
[ $? -eq 1 ] || fail "token to a closed stdout: want status 1"
[ -s "$work/err" ] && fail "closed stdout: stderr"
"$bin" -i X -d >/dev/full 2>"$work/err"
[ $? -eq 0 ] || fail "nothing to a full disk: want status 0"

if [ "$failures" -eq 0 ]; then
  echo "end to end: all passed"
  exit 0
fi
echo "end to end: $failures failed"
exit 1
