#!/bin/sh
# Instructions per call of the token core, the C check (with a report and
# for the verdict alone) and the C++ functions on a 16-byte id, against a
# string copy of the token, counted by callgrind (repeatable
# whatever else the machine is doing). The core goal: each at most 2 copies.
# Then the stamp of now, and the C check against the clock: these run in the
# environment's TZ, or in /etc/localtime without one.
#   bench/instructions.sh BUILD_DIR [LIMIT]
set -eu
calls=$1/bench/idstamp_calls
limit=${2:-2}
runs=20000

# count OPERATION N: the instructions of a whole run of N calls.
count() {
  out=$(mktemp)
  valgrind --tool=callgrind --callgrind-out-file=/dev/null "$calls" "$1" "$2" 2>"$out"
  sed -n 's/.*Collected : *\([0-9]*\).*/\1/p' "$out"
  rm -f "$out"
}

per_call() {
  echo $((($(count "$1" $((runs + 1))) - $(count "$1" 1)) / runs))
}

copy=$(per_call copy)
printf '%-16s %6s  %s\n' call instr "per copy"
printf '%-16s %6d\n' copy "$copy"
status=0
for op in crypt_core check_core check_c check_c_verdict crypt_id decrypt_id year_stamp check_c_now; do
  n=$(per_call $op)
  ratio=$(awk -v n="$n" -v c="$copy" 'BEGIN { printf "%.2f", n / c }')
  verdict=
  case $op in
    *_core) awk -v r="$ratio" -v l="$limit" 'BEGIN { exit !(r <= l) }' || { verdict=MISSED; status=1; } ;;
  esac
  printf '%-16s %6d  %s %s\n' "$op" "$n" "$ratio" "$verdict"
done
exit $status
