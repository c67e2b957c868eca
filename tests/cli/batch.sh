#!/bin/sh
# idstamp-inspect --batch, the real binary: with -z, every published token
# gives the JSON of a single-token run with "line" first; usage errors; and
# results written while the input waits.
#
# usage: batch.sh IDSTAMP LIBFAKETIME
# shellcheck source=tests/cli/e2e_lib.sh
. "$(dirname "$0")/e2e_lib.sh"

inspect=$(dirname "$bin")/idstamp-inspect
bin=$inspect
t0=1635640200250  # 2021-10-31 00:30:00.250 UTC
t0_text="2021-10-31 00:30:00.250"

# Every token of docs/token-vectors.json (ids with CR and LF among them) as a
# record of $work/input and in a file of its own, but the two that hold a
# zero byte, which no record can.
work=$work perl -ne 'next unless /"token_hex": "([0-9a-f]*)"/ && $1 !~ /^(..)*00/;
          my $t = pack("H*", $1); print $t, "\0";
          open my $f, ">", "$ENV{work}/token." . ++$n; print $f $t' \
  "$(dirname "$0")/../../docs/token-vectors.json" >"$work/input"
at UTC $t0 --batch -z --json --at "$t0_text" <"$work/input"
[ "$status" -eq 0 ] || fail "vectors: status $status"
mv "$work/out" "$work/batch"
n=0
batch_wrap=$wrap
wrap=  # memcheck for the batch alone
while [ -f "$work/token.$((n + 1))" ]; do
  n=$((n + 1))
  token=$(cat "$work/token.$n"; printf x)
  at UTC $t0 --json --at "$t0_text" -- "${token%x}"
  printf '{"line": %d, %s\n' $n "$(tail -c +2 "$work/out")" >"$work/want"
  sed -n "${n}p" "$work/batch" | cmp -s - "$work/want" ||
    fail "vector $n: '$(sed -n "${n}p" "$work/batch")', want '$(cat "$work/want")'"
done
wrap=$batch_wrap
[ $n -ge 80 ] && [ "$(wc -l <"$work/batch")" -eq $n ] || fail "$(wc -l <"$work/batch") results, $n tokens"

# Usage errors: a --at value that names no moment, a token beside --batch.
for args in "--batch --at 2021-02-29T10:00:00" "--batch X" "-z X"; do
  at UTC $t0 $args </dev/null
  [ "$status" -eq 2 ] && [ ! -s "$work/out" ] && [ -s "$work/err" ] || fail "$args: status $status"
done

# A failure that ends a run is named in one line on stderr: a read (standard
# input a folder), a write (a full device), in a batch and for one token.
failed() {
  status=$?
  [ "$status" -eq 1 ] && [ "$(cat "$work/err")" = "idstamp-inspect: $1 failed" ] ||
    fail "$1: status $status, stderr '$(cat "$work/err")'"
}
$wrap "$inspect" --batch <"$work" 2>"$work/err"
failed "reading standard input"
$wrap "$inspect" --batch <"$work/input" >/dev/full 2>"$work/err"
failed "writing standard output"
$wrap "$inspect" X >/dev/full 2>"$work/err"
failed "writing standard output"

# A standard input and output left non-blocking are waited for: the tokens
# come a moment after the program starts reading, and their results, more
# than a pipe holds, are read a moment after it starts writing.
{
  sleep 1
  perl -e 'print "$ARGV[0]\n" x 3000' "$(cat "$work/token.1")"
} | {
  perl -MFcntl -e 'for (\*STDIN, \*STDOUT) { fcntl($_, F_SETFL, fcntl($_, F_GETFL, 0) | O_NONBLOCK) or die }
                   exec @ARGV or die' $wrap "$inspect" --batch 2>"$work/err"
  echo $? >"$work/status"
} | {
  sleep 1
  cat
} >"$work/out"
[ "$(cat "$work/status")" -eq 0 ] && [ "$(grep -c . "$work/out")" -eq 3000 ] &&
  [ "$(tail -n 1 "$work/out" | cut -f 1)" = 3000 ] && [ ! -s "$work/err" ] ||
  fail "non-blocking input and output: status $(cat "$work/status"), $(grep -c . "$work/out") results, stderr '$(cat "$work/err")'"

# Results come as their lines do: the first is written while the input stays
# open (up to 20 s, for slow wrappers).
mkfifo "$work/fifo"
$wrap "$inspect" --batch --json <"$work/fifo" >"$work/out" &
pid=$!
exec 3>"$work/fifo"
printf '%s\n' "$(cat "$work/token.1")" >&3
i=0
while ! grep -q '^{"line": 1, ' "$work/out" && [ $i -lt 200 ]; do
  sleep 0.1
  i=$((i + 1))
done
grep -q '^{"line": 1, ' "$work/out" || fail "no result while the input waits"
exec 3>&-
wait $pid || fail "paused input: status $?"

# Records that name their own moments: every cause that leaves one unjudged,
# each counted on standard error with status 3; skipped log lines are not
# unjudged; a failed write still makes the status 1.
token=$(cat "$work/token.1")
tab=$(printf '\t')
unjudged() {  # WANT_STATUS WANT_ERR ARGS... < input
  want_status=$1 want_err=$2
  shift 2
  at UTC $t0 --batch "$@"
  [ "$status" -eq "$want_status" ] && [ "$(cat "$work/err")" = "$want_err" ] ||
    fail "$*: status $status, stderr '$(cat "$work/err")'"
}
printf '%s\n' "$t0_text$tab$token" "no tab" "2021-02-29 10:00:00$tab$token" \
  "2021-10-31T00:30:00.250-00:00$tab$token" >"$work/moments"
unjudged 3 "idstamp-inspect: 2 records could not be judged" --moments <"$work/moments"
cut -f 2 "$work/out" | sed -n 2,3p >"$work/got"
printf 'unjudged: no moment\nunjudged: bad moment\n' | cmp -s - "$work/got" || fail "moments: $(cat "$work/out")"
[ "$(sed -n 1p "$work/out")" = "$(sed -n 4p "$work/out" | sed 's/^4/1/')" ] || fail "Z and local: $(cat "$work/out")"
unjudged 3 "idstamp-inspect: 2 records could not be judged" --moments --json <"$work/moments"
[ "$(sed -n 3p "$work/out")" = '{"line": 3, "verdict": null, "error": "bad moment"}' ] ||
  fail "moments --json: $(cat "$work/out")"
{
  printf '1.2.3.4 - - [31/Oct/2021:00:30:00 +0000] "GET /?t=%s HTTP/1.1" 200 1\n' "$token"
  printf '1.2.3.4 - - [31/Oct/2021:00:30:00 +0000] "GET /?x=1 HTTP/1.1" 200 1\n'
  printf 'not a log line\n'
  printf '1.2.3.4 - - [31/Oct/2021:00:30:00 +0000] "GET /?t=%%4 HTTP/1.1" 200 1\n'
} >"$work/clf"
unjudged 3 "idstamp-inspect: 2 records could not be judged" --log clf --param t <"$work/clf"
printf '1\n3\tunjudged: not a log line\n4\tunjudged: bad escape\n' >"$work/want"
cut -f 1,2 "$work/out" | sed '1s/\t.*//' | cmp -s - "$work/want" || fail "clf: $(cat "$work/out")"
sed -n 1,2p "$work/clf" >"$work/clf2"
unjudged 0 "" --log clf --param t <"$work/clf2"
sed -n 3p "$work/clf" >"$work/clf1"
unjudged 3 "idstamp-inspect: 1 record could not be judged" --log clf --param t <"$work/clf1"
unjudged 3 "idstamp-inspect: 2 records could not be judged" --log clf --param t --summary --json <"$work/clf"
grep -q '^{"records": 4, "judged": 1, "skipped": 1, .*"unjudged": {"no moment": 0, "bad moment": 0, "not a log line": 1, "bad escape": 1}, .*"first": "2021-10-31 00:30:00.000", "last": "2021-10-31 00:30:00.000"}$' "$work/out" ||
  fail "clf --summary --json: $(cat "$work/out")"
$wrap "$inspect" --batch --moments <"$work/moments" >/dev/full 2>"$work/err"
failed "writing standard output"
for args in "--moments --at $t0_text" "--log clf" "--param t" "--summary X" "--moments X"; do
  # shellcheck disable=SC2086 # the words of each case
  at UTC $t0 --batch $args </dev/null
  [ "$status" -eq 2 ] && [ ! -s "$work/out" ] || fail "$args: status $status"
done

finish "batch"
