#!/usr/bin/env bash
# idstamp-inspect --log clf --param t --summary --json on a million log
# lines: its peak resident memory against that for a thousand lines, and its
# time against --batch --at on the same tokens, one a line.
#
# usage: bench/log_summary.sh BUILD_DIR [LINES]
# Exits 1 when the peak memory for LINES (default 1,000,000) lines is above
# 1.1 times that for 1,000, or the summary does not count every line. The
# time ratio is reported (goal <= 1.5), not judged.
set -euo pipefail
build=$1
lines=${2:-1000000}
idstamp=$build/idstamp
inspect=$build/idstamp-inspect
[ -x /usr/bin/time ] || { echo "bench/log_summary.sh needs /usr/bin/time"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# 200 tokens issued by the tool under zones 0 to 199 minutes behind UTC;
# then log lines, 12 a second (a million a day) from 00:00:00 +0000, in a
# mixed order of tokens, every tenth line without the parameter and every
# 97th one with a bad escape.
export TZ=UTC
for i in $(seq 0 199); do
  TZ=$(printf 'XYZ+%d:%02d' $((i / 60)) $((i % 60))) "$idstamp" -i "user$((i * 7919))" -c
done >"$work/tokens"
awk -v n="$lines" -v day="$(date +%d/%b/%Y)" '
  { t[NR] = $0 }
  END {
    for (i = 0; i < n; i++) {
      s = int(i / 12) % 86400
      tok = t[(i * 7) % NR + 1]
      q = i % 10 == 0 ? "x=1" : i % 97 == 0 ? "t=%4" : "x=1&t=" tok
      printf "203.0.113.%d - - [%s:%02d:%02d:%02d +0000] \"GET /a?%s HTTP/1.1\" 200 512 \"-\" \"curl/8\"\n",
        i % 250, day, s / 3600, s / 60 % 60, s % 60, q
      print tok > tokens
    }
  }' tokens="$work/tokens_$lines" "$work/tokens" >"$work/log"
head -n 1000 "$work/log" >"$work/log_1000"
at="$(date +%F) 12:00:00"

# seconds IN OUT COMMAND...: runs it three times reading IN and writing OUT
# (status 3, some records unjudged, is expected), and prints the least
# wall-clock time in seconds; the least peak memory (KiB) and CPU time
# (user + system, s) go to $work/rss and $work/cpu. The least of three
# keeps out most of what other processes add.
seconds() {
  local in=$1 out=$2 start end run
  shift 2
  for run in 1 2 3; do
    start=$EPOCHREALTIME
    /usr/bin/time -f '%M %U %S' -o "$work/time" "$@" <"$in" >"$out" 2>/dev/null || [ $? -eq 3 ]
    end=$EPOCHREALTIME
    echo "$run $(tail -n 1 "$work/time") $start $end"
  done | awk -v r="$work/rss" -v c="$work/cpu" '
    { w = $6 - $5; c0 = $3 + $4
      if (NR == 1 || $2 < rss) rss = $2
      if (NR == 1 || c0 < cpu) cpu = c0
      if (NR == 1 || w < wall) wall = w }
    END { print rss >r; print cpu >c; printf "%.3f", wall }'
}

summary=$(seconds "$work/log" "$work/summary" "$inspect" --batch --log clf --param t --summary --json)
rss_many=$(cat "$work/rss")
summary_cpu=$(cat "$work/cpu")
seconds "$work/log_1000" /dev/null "$inspect" --batch --log clf --param t --summary --json >/dev/null
rss_few=$(cat "$work/rss")
at_time=$(seconds "$work/tokens_$lines" /dev/null "$inspect" --batch --at "$at")
at_cpu=$(cat "$work/cpu")

cat "$work/summary"
grep -q "^{\"records\": $lines, " "$work/summary" || { echo "not every line counted"; exit 1; }
time_ratio=$(awk -v a="$summary" -v b="$at_time" 'BEGIN { printf "%.3f", a / b }')
rss_ratio=$(awk -v m="$rss_many" -v f="$rss_few" 'BEGIN { printf "%.3f", m / f }')
cpu_ratio=$(awk -v a="$summary_cpu" -v b="$at_cpu" 'BEGIN { printf "%.3f", (b > 0 ? a / b : 0) }')
echo "time: --log clf --param t --summary --json ${summary} s (CPU ${summary_cpu} s) on $lines lines" \
  "($(wc -c <"$work/log") bytes), --batch --at ${at_time} s (CPU ${at_cpu} s) on their tokens" \
  "($(wc -c <"$work/tokens_$lines") bytes): ratio ${time_ratio}, CPU ${cpu_ratio} (goal <= 1.5, not judged)"
echo "peak RSS: ${rss_many} KiB for $lines lines, ${rss_few} KiB for 1000, ratio ${rss_ratio} (goal <= 1.1)"
awk -v r="$rss_ratio" 'BEGIN { exit !(r > 1.1) }' && { echo "memory goal MISSED"; exit 1; }
exit 0
