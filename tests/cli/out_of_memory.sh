#!/bin/sh
# Both programs and the C interface with the Nth allocation failing, for N
# from 1 to 50, and with every allocation failing: a program exits 0 with
# its right output or 1 with nothing (2 with the usage text, for usage),
# never with a signal, and writes nothing to stderr; the C calls all return.
# A batch whose line outgrows the buffer exits 0 with every result, or 1 with
# the whole results written before its memory failed and one line on stderr
# that says so.
# TZ=UTC, since glibc reads a zone file into memory it allocates, and falls
# back to UTC without a word when it cannot.
#
# usage: out_of_memory.sh IDSTAMP C_PROGRAM FAILING_MALLOC
# shellcheck source=tests/support/check_lib.sh
. "$(dirname "$0")/../support/check_lib.sh"
bin=$1
inspect=$(dirname "$bin")/idstamp-inspect
c_program=$2
shim=$3
export TZ=UTC

# run SETTING PROGRAM ARGS...: status in $status, stdout in $work/out; stderr
# is empty, but for a batch that ran out of memory.
run() {
  setting=$1
  shift
  IDSTAMP_FAIL_MALLOC=$setting LD_PRELOAD=$shim "$@" >"$work/out" 2>"$work/err"
  status=$?
  if [ "$status" -eq 1 ] && [ "$1 $2" = "$inspect --batch" ]; then
    [ "$(cat "$work/err")" = "idstamp-inspect: out of memory" ] ||
      fail "$setting $*: stderr '$(cat "$work/err")'"
  elif [ -s "$work/err" ]; then
    fail "$setting $*: stderr $(cat "$work/err")"
  fi
  return 0
}

# expect SETTING WANT_STATUS WANT_OUT PROGRAM ARGS...: the right output with
# WANT_STATUS, or status 1 and nothing.
expect() {
  setting=$1 want_status=$2 want_out=$3
  shift 3
  run "$setting" "$@"
  printf '%s' "$want_out" >"$work/want"
  if [ "$status" -eq "$want_status" ] && cmp -s "$work/out" "$work/want"; then return 0; fi
  if [ "$status" -eq 1 ] && [ ! -s "$work/out" ]; then return 0; fi
  fail "$setting $*: status $status, stdout '$(cat "$work/out")'"
}

token=$("$bin" -i ABC -c)
usage=$("$bin"; printf x)
fresh=$("$inspect" --json "$token"; printf x)
{
  printf '%s\n\n' "$token"
  head -c 100000 /dev/zero | tr '\0' 7
  printf '\n%s\n' "$token"
} >"$work/lines"
at="2021-10-31 00:30:00.250"
"$inspect" --batch --json --at "$at" <"$work/lines" >"$work/results" ||
  fail "batch without a failing allocator"
settings="all"
n=1
while [ $n -le 50 ]; do
  settings="$settings $n"
  n=$((n + 1))
done
for setting in $settings; do
  # A token issued now checks back to the id, whatever clock second it took.
  run "$setting" "$bin" -i ABC -c
  if [ "$status" -eq 0 ]; then
    [ "$("$bin" -i "$(cat "$work/out")" -d)" = ABC ] || fail "$setting: token $(cat "$work/out")"
  elif [ "$status" -ne 1 ] || [ -s "$work/out" ]; then
    fail "$setting -c: status $status, stdout '$(cat "$work/out")'"
  fi
  expect "$setting" 0 "ABC
" "$bin" -i "$token" -d
  expect "$setting" 2 "${usage%x}" "$bin"
  run "$setting" "$inspect" --json "$token"
  if [ "$status" -eq 0 ]; then
    # The same verdict and id; the age may have moved on.
    grep -q '^{"verdict": "fresh", "id_hex": "414243", "id": "ABC", ' "$work/out" ||
      fail "$setting inspect: $(cat "$work/out")"
  elif [ "$status" -ne 1 ] || [ -s "$work/out" ]; then
    fail "$setting inspect: status $status, stdout '$(cat "$work/out")'"
  fi
  run "$setting" "$inspect" --batch --json --at "$at" <"$work/lines"
  size=$(wc -c <"$work/out")
  if [ "$status" -eq 0 ]; then
    cmp -s "$work/out" "$work/results" || fail "$setting batch: $(cat "$work/out")"
  elif [ "$status" -ne 1 ] || ! head -c "$size" "$work/results" | cmp -s - "$work/out" ||
       { [ "$size" -gt 0 ] && [ "$(tail -c 1 "$work/out" | od -An -c | tr -d ' ')" != '\n' ]; }; then
    fail "$setting batch: status $status, stdout '$(cat "$work/out")'"
  fi
  run "$setting" "$c_program"
  [ "$status" -eq 0 ] || fail "$setting C interface: status $status"
done
[ -n "${fresh%x}" ] || fail "no fresh report to compare with"

finish "out of memory"
