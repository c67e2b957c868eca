#!/bin/sh
# The Windows executable under an emulator (wine): exact stdout bytes, with
# CRLF line ends, and a token issued there that checks back.
#   windows_end_to_end.sh EMULATOR IDSTAMP_EXE
set -u
emulator=$1
exe=$2
failures=0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export WINEDEBUG=-all
cr=$(printf '\r')

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# run ARGS...: stdout in $work/out, status in $status.
run() {
  "$emulator" "$exe" "$@" >"$work/out" 2>"$work/err"
  status=$?
}

run
printf 'Usage:\r\n-i id -c crypt -d decrypt -t encrypted id lifetime in minutes (default 30)\r\n' >"$work/want"
cmp -s "$work/out" "$work/want" || fail "usage text: $(od -c "$work/out" | head -3)"
[ "$status" -eq 2 ] || fail "usage: status $status"

run -i ABC -c
[ "$status" -eq 0 ] || fail "crypt: status $status"
token=$(tr -d '\r\n' <"$work/out")
printf '%s\r\n' "$token" >"$work/want"
[ -n "$token" ] && cmp -s "$work/out" "$work/want" || fail "token line: $(od -c "$work/out" | head -3)"

run -i "$token" -d -t 5
printf 'ABC\r\n' >"$work/want"
cmp -s "$work/out" "$work/want" || fail "check back: $(od -c "$work/out" | head -3)"

run -i "$token$cr" -d
[ -s "$work/out" ] && fail "a token with a stray CR was accepted"

run -i X -c -t 0
printf 'Usage:\r\n-i id -c crypt -d decrypt -t encrypted id lifetime in minutes (default 30)\r\n' >"$work/want"
cmp -s "$work/out" "$work/want" || fail "usage for -t 0"

if [ "$failures" -eq 0 ]; then
  echo "windows end to end: all passed"
  exit 0
fi
echo "windows end to end: $failures failed"
exit 1
