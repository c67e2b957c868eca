#!/bin/sh
# The Windows programs under an emulator (wine or wine64): exact stdout
# bytes, with CRLF line ends, a token issued there that checks back, and
# idstamp-inspect's verdict on it.
#   windows_end_to_end.sh EMULATOR IDSTAMP_EXE INSPECT_EXE
# shellcheck source=tests/support/check_lib.sh
. "$(dirname "$0")/../support/check_lib.sh"
emulator=$1
exe=$2
inspect=$3
export WINEDEBUG=-all
cr=$(printf '\r')

# run EXE ARGS...: stdout in $work/out, status in $status.
run() {
  "$emulator" "$@" >"$work/out" 2>"$work/err"
  status=$?
}

printf 'Usage:\r\n-i id -c crypt -d decrypt -t encrypted id lifetime in minutes (default 30)\r\n' >"$work/usage"
run "$exe"
cmp -s "$work/out" "$work/usage" || fail "usage text: $(od -c "$work/out" | head -3)"
[ "$status" -eq 2 ] || fail "usage: status $status"

run "$exe" -i ABC -c
[ "$status" -eq 0 ] || fail "crypt: status $status"
token=$(tr -d '\r\n' <"$work/out")
printf '%s\r\n' "$token" >"$work/want"
{ [ -n "$token" ] && cmp -s "$work/out" "$work/want"; } || fail "token line: $(od -c "$work/out" | head -3)"

run "$exe" -i "$token" -d -t 5
printf 'ABC\r\n' >"$work/want"
cmp -s "$work/out" "$work/want" || fail "check back: $(od -c "$work/out" | head -3)"
[ "$status" -eq 0 ] || fail "check back: status $status"

run "$exe" -i "$token$cr" -d
[ -s "$work/out" ] && fail "a token with a stray CR was accepted"

run "$exe" -i X -c -t 0
cmp -s "$work/out" "$work/usage" || fail "usage for -t 0"

run "$inspect" "$token"
[ "$status" -eq 0 ] || fail "idstamp-inspect on a fresh token: status $status"
grep -q "^verdict *fresh$cr\$" "$work/out" || fail "idstamp-inspect: no fresh verdict: $(head -c 300 "$work/out")"

finish "windows end to end"
