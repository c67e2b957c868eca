#!/usr/bin/env bash
# idstamp-inspect --batch on a million tokens: its time against that of
# `jq -c .` reading back the JSON lines it wrote, and its peak resident
# memory for a million lines against that for a thousand.
#
# usage: bench/batch.sh BUILD_DIR [LINES]
# Exits 1 when the batch takes more than a quarter of jq's time, or its peak
# memory for LINES (default 1,000,000) lines is above 1.5 times that for 1,000.
set -euo pipefail
build=$1
lines=${2:-1000000}
idstamp=$build/idstamp
inspect=$build/idstamp-inspect
for tool in jq /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "bench/batch.sh needs $tool"; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A thousand distinct lines, issued by the tool itself under zones that set
# the local clock behind UTC's or ahead of it, and judged at UTC's reading:
# 840 expired (issued 31 minutes to 14 hours before), 60 fresh (up to 29
# minutes before), 40 ahead (1 to 8 hours after), 60 malformed (cut short,
# empty, an id of digits only, a stray word).
export TZ=UTC
at=$(date '+%Y-%m-%d %H:%M:%S')
{
  for i in $(seq 0 839); do
    minutes=$((31 + i))
    TZ=$(printf 'XYZ+%d:%02d' $((minutes / 60)) $((minutes % 60))) \
      "$idstamp" -i "user-$((i * 7919 % 100000))@example.com" -c
  done
  for i in $(seq 0 59); do
    TZ="XYZ+0:$(printf '%02d' $((i % 30)))" "$idstamp" -i "session-$i-$RANDOM$RANDOM" -c
  done
  for i in $(seq 0 39); do
    TZ="XYZ-$((1 + i % 8))" "$idstamp" -i "$((i * 104729))" -c
  done
  for i in $(seq 0 59); do
    case $((i % 4)) in
      0) token=$("$idstamp" -i "user-$i@example.com" -c) && echo "${token:0:$((i % 9 + 1))}" ;;
      1) echo ;;
      2) echo "$((i * 99991))" ;;
      3) echo "refused-link-$i" ;;
    esac
  done
} >"$work/distinct"
# Repeated to the length wanted, in a mixed order.
awk -v n="$lines" '{ l[NR] = $0 } END { for (i = 0; i < n; i++) print l[(i * 7) % NR + 1] }' \
  "$work/distinct" >"$work/lines"
head -n 1000 "$work/lines" >"$work/lines_1000"

# seconds IN OUT COMMAND...: runs it reading IN and writing OUT, and prints
# its wall-clock time in seconds; its peak memory goes to $work/rss.
seconds() {
  local in=$1 out=$2 start end
  shift 2
  start=$EPOCHREALTIME
  /usr/bin/time -f '%M' -o "$work/rss" "$@" <"$in" >"$out"
  end=$EPOCHREALTIME
  awk -v s="$start" -v e="$end" 'BEGIN { printf "%.3f", e - s }'
}

batch=$(seconds "$work/lines" "$work/results" "$inspect" --batch --json --at "$at")
rss_many=$(cat "$work/rss")
jq=$(seconds "$work/results" /dev/null jq -c .)
seconds "$work/lines_1000" /dev/null "$inspect" --batch --json --at "$at" >/dev/null
rss_few=$(cat "$work/rss")

[ "$(wc -l <"$work/results")" -eq "$lines" ] || { echo "not one result a line"; exit 1; }
echo "$lines lines ($(wc -c <"$work/lines") bytes, results $(wc -c <"$work/results") bytes), judged at $at UTC:"
awk -F'"' '{ n[$6]++ } END { for (v in n) printf "%8d %s\n", n[v], v }' "$work/results" | sort -k2
time_ratio=$(awk -v b="$batch" -v j="$jq" 'BEGIN { printf "%.3f", b / j }')
rss_ratio=$(awk -v m="$rss_many" -v f="$rss_few" 'BEGIN { printf "%.3f", m / f }')
echo "time: idstamp-inspect --batch --json ${batch} s, jq -c . ${jq} s, ratio ${time_ratio} (goal <= 0.25)"
echo "peak RSS: ${rss_many} KiB for $lines lines, ${rss_few} KiB for 1000, ratio ${rss_ratio} (goal <= 1.5)"
status=0
awk -v r="$time_ratio" 'BEGIN { exit !(r > 0.25) }' && { echo "time goal MISSED"; status=1; }
awk -v r="$rss_ratio" 'BEGIN { exit !(r > 1.5) }' && { echo "memory goal MISSED"; status=1; }
exit $status
