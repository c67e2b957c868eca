#!/usr/bin/env bash
# How long idstamp-inspect --batch takes over a file of tokens, as a multiple
# of the time `cat` takes to copy the same file: in text and in JSON. It
# reports and does not judge: wall times on a shared machine move with its
# load, which it prints beside them.
#
# usage: bench/batch_speed.sh BUILD_DIR [LINES] [callgrind]
# LINES defaults to 2,000,000. With "callgrind", it also counts the
# instructions a line of each form takes (on the first 100,000 lines, less a
# run over an empty input), which do not move with the load.
set -euo pipefail
build=$1
lines=${2:-2000000}
mode=${3:-}
idstamp=$build/idstamp
inspect=$build/idstamp-inspect
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# 500 distinct lines, issued under zones that put the local clock behind
# UTC's or ahead of it, judged at UTC's reading: most expired, some fresh or
# ahead; ids of ASCII, of UTF-8 and of other bytes; and malformed lines.
export TZ=UTC
at=$(date '+%Y-%m-%d %H:%M:%S')
{
  for i in $(seq 0 399); do
    minutes=$((i % 120))
    case $((i % 20)) in
      0) id="café-$i-ünïcode" ;;
      1) id=$(printf 'bin\001\177-%d\\"q' "$i") ;;
      *) id="user-$((i * 7919 % 100000))@example.com" ;;
    esac
    TZ=$(printf 'XYZ+%d:%02d' $((minutes / 60)) $((minutes % 60))) "$idstamp" -i "$id" -c
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
awk -v n="$lines" '{ l[NR] = $0 } END { for (i = 0; i < n; i++) print l[(i * 7) % NR + 1] }' \
  "$work/distinct" >"$work/lines"

# best COMMAND...: the shortest wall time of five runs over the lines, in
# seconds, the output thrown away.
best() {
  local start end t min=
  for _ in 1 2 3 4 5; do
    start=$EPOCHREALTIME
    "$@" <"$work/lines" >/dev/null
    end=$EPOCHREALTIME
    t=$(awk -v s="$start" -v e="$end" 'BEGIN { printf "%.4f", e - s }')
    if [ -z "$min" ] || awk -v t="$t" -v m="$min" 'BEGIN { exit !(t < m) }'; then min=$t; fi
  done
  echo "$min"
}

echo "$lines lines, $(wc -c <"$work/lines") bytes, judged at $at UTC;" \
  "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
cat_s=$(best cat)
text_s=$(best "$inspect" --batch --at "$at")
json_s=$(best "$inspect" --batch --json --at "$at")
printf '%-40s %8s s\n' "cat" "$cat_s"
for form in text json; do
  if [ $form = text ]; then s=$text_s; else s=$json_s; fi
  printf '%-40s %8s s  %5.1f x cat\n' "idstamp-inspect --batch ($form)" "$s" \
    "$(awk -v s="$s" -v c="$cat_s" 'BEGIN { print s / c }')"
done
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"

[ "$mode" = callgrind ] || exit 0
if ! command -v valgrind >/dev/null; then
  echo "instructions a line: skipped: valgrind is not installed"
  exit 0
fi
sample=100000
head -n $sample "$work/lines" >"$work/sample"
# count INPUT ARGS...: the instructions of one run over INPUT.
count() {
  local input=$1
  shift
  valgrind --tool=callgrind --callgrind-out-file=/dev/null "$inspect" "$@" \
    <"$input" 2>&1 >/dev/null | sed -n 's/.*Collected : *\([0-9]*\).*/\1/p'
}
: >"$work/empty"
for form in text json; do
  args=(--batch --at "$at")
  [ $form = json ] && args+=(--json)
  n=$(($(count "$work/sample" "${args[@]}") - $(count "$work/empty" "${args[@]}")))
  printf 'instructions a line (%s): %d\n' $form $((n / sample))
done
