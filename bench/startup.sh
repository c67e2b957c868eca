#!/usr/bin/env bash
# Counts the instructions of one `idstamp -i ABC -c` run against /bin/true
# with callgrind, and prints both counts and their ratio.
#
# usage: bench/startup.sh IDSTAMP [MAX_RATIO]
# With MAX_RATIO, exits 1 when the ratio is above it.
set -euo pipefail
bin=$1
max=${2:-}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

count() {
  valgrind --tool=callgrind --callgrind-out-file="$out/cg" "$@" >/dev/null 2>"$out/log"
  sed -n 's/.*Collected : *\([0-9]*\).*/\1/p' "$out/log"
}

floor=$(count /bin/true)
tool=$(count "$bin" -i ABC -c)
ratio=$(awk -v a="$tool" -v b="$floor" 'BEGIN { printf "%.3f", a / b }')
echo "instructions: /bin/true $floor, idstamp -i ABC -c $tool, ratio $ratio"
if [ -n "$max" ] && awk -v r="$ratio" -v m="$max" 'BEGIN { exit !(r > m) }'; then
  echo "startup ratio $ratio is above $max"
  exit 1
fi
