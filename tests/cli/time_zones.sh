#!/bin/sh
# Tokens across clock changes and stamp resets, in zones with daylight saving
# and with odd offsets, at exact epoch milliseconds.
#
# usage: time_zones.sh IDSTAMP LIBFAKETIME
# shellcheck source=tests/cli/e2e_lib.sh
. "$(dirname "$0")/e2e_lib.sh"

# Clock going back: issued in the hour before the change, a token is refused
# while the clock reads 60 s or more before its time of issue, accepted again
# from 59.999 s before it, and then until its lifetime is up by the clock.
# ZONE, then the epoch ms of issue, 10 minutes before the change.
for case in "Europe/Berlin 1635641400250" "America/New_York 1636264200000"; do
  set -- $case
  zone=$1 t=$2
  issue "$zone back" $zone $t ABC
  rejected "$zone back: clock reads 40 min before issue" $zone $((t + 20 * minute))
  rejected "$zone back: clock reads 60 s before issue" $zone $((t + 60 * minute - 60000))
  accepted "$zone back: clock reads 59.999 s before issue" $zone $((t + 60 * minute - 59999))
  accepted "$zone back: 29:59.999 by the clock" $zone $((t + 90 * minute - 1))
  rejected "$zone back: 30:00.000 by the clock" $zone $((t + 90 * minute))
done

# Clock going forward: 15 minutes before the change, tokens age an extra hour.
for case in "Europe/Berlin 1616892300000" "America/New_York 1615704300000"; do
  set -- $case
  zone=$1 t=$2
  issue "$zone forward" $zone $t ABC
  rejected "$zone forward: 15 min later is 75 by the clock" $zone $((t + 15 * minute))
  rejected "$zone forward: -t 75" $zone $((t + 15 * minute)) -t 75
  accepted "$zone forward: -t 76" $zone $((t + 15 * minute)) -t 76
  accepted "$zone forward: -t 76, 59.999 s later still" $zone $((t + 16 * minute - 1)) -t 76
done

# Zones with odd offsets: the stamp follows the local wall clock.
t0=1635640200250  # 2021-10-31 00:30:00.250 UTC
expect "Kolkata, +05:30" 0 "5109B4705C4A757$nl" Asia/Kolkata $t0 -i ABC -c
expect "Lord Howe, +11:00 in summer" 0 "5109B1735C4A757$nl" Australia/Lord_Howe $t0 -i ABC -c
expect "Kolkata, New Year in UTC" 0 "5305B684C5A255$nl" Asia/Kolkata 1640995200250 -i ABC -c
expect "Lord Howe, New Year in UTC" 0 "5305B904C5A255$nl" Australia/Lord_Howe 1640995200250 -i ABC -c

# New Year: issued at 23:59 on 31 December, the stamp falls back to 0.
t=1640995140000  # 2021-12-31 23:59:00 UTC
issue "new year" UTC $t ABC
accepted "new year: 59.999 s later" UTC $((t + 59999))
rejected "new year: past midnight" UTC $((t + 60000))
rejected "new year: 00:01" UTC 1640995260000

# The 2^32 ms reset, 2021-02-19 17:02:47.296 local time.
t=1613754120000  # 2021-02-19 17:02:00 UTC
issue "2^32 reset" UTC $t ABC
accepted "2^32 reset: 47.295 s later" UTC $((t + 47295))
rejected "2^32 reset: 47.296 s later" UTC $((t + 47296))

# ... and a token becomes valid again 2^32 ms after its issue.
t=1609459800000  # 2021-01-01 00:10:00 UTC
issue "stamp cycle" UTC $t ABC
rejected "stamp cycle: 2^32 ms - 1 min later" UTC $((t + 4294967296 - 60000))
accepted "stamp cycle: 2^32 ms later" UTC $((t + 4294967296))

# --at names a local moment: the report, plain and JSON, is that of a run
# whose clock reads it, with the clock frozen a day later. In UTC, and on
# both sides of Berlin's changes: back (issued 02:50 summer time; 02:55
# before, 02:05 and 02:55 in the repeated hour) and forward (issued 01:45;
# 01:50 before, 03:00 after).
tool=$bin
for case in "UTC 1635641400250 0 75" "Europe/Berlin 1635641400250 5 15 65" \
            "Europe/Berlin 1616892300000 5 15"; do
  set -- $case
  zone=$1 t=$2
  shift 2
  bin=$tool
  issue "$zone --at" "$zone" "$t" ABC
  bin=$(dirname "$tool")/idstamp-inspect
  for later in "$@"; do
    when=$((t + later * minute))  # not $ms, which at() sets
    moment=$(TZ=$zone date -d "@$((when / 1000))" '+%F %T').$(printf '%03d' $((when % 1000)))
    for format in --json --; do
      at "$zone" "$when" $format "$token"
      mv "$work/out" "$work/by_clock"
      at "$zone" $((when + 86400000)) --at "$moment" $format "$token"
      cmp -s "$work/out" "$work/by_clock" ||
        fail "$zone --at '$moment' $format: $(cat "$work/out"), by the clock $(cat "$work/by_clock")"
    done
  done
done
bin=$tool

finish "time zones"
