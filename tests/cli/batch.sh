#!/bin/sh
# idstamp-inspect --batch, the real binary: each record's JSON is the
# single-token run's for that token with "line" first; bad --at values, a
# token beside --batch and failed writes; results written while the input
# waits.
#
# usage: batch.sh IDSTAMP LIBFAKETIME
. "$(dirname "$0")/e2e_lib.sh"

inspect=$(dirname "$bin")/idstamp-inspect
vectors=$(dirname "$0")/../../docs/token-vectors.json
t0=1635640200250  # 2021-10-31 00:30:00.250 UTC
t0_text="2021-10-31 00:30:00.250"

# same_as_single NAME ZONE EPOCH_MS ARGS...: the batch's results, in
# $work/out, are each the JSON of a single-token run with the same ARGS, for
# the records of $work/records, which single_tokens has written.
same_as_single() {
  name=$1 zone=$2 when=$3
  shift 3
  cp "$work/out" "$work/batch"
  n=0
  # The single runs need no memcheck: they are checked by the other scripts.
  saved_wrap=$wrap
  wrap=
  while [ -f "$work/record.$((n + 1))" ]; do
    n=$((n + 1))
    record=$(cat "$work/record.$n"; printf x)
    at "$zone" "$when" --json "$@" -- "${record%x}"
    printf '{"line": %d, ' $n >"$work/want"
    tail -c +2 "$work/out" >>"$work/want"
    sed -n "${n}p" "$work/batch" | cmp -s - "$work/want" ||
      fail "$name, record $n: '$(sed -n "${n}p" "$work/batch")', want '$(cat "$work/want")'"
  done
  wrap=$saved_wrap
  [ "$(wc -l <"$work/batch")" -eq "$n" ] || fail "$name: $(wc -l <"$work/batch") results for $n records"
}

# records SEPARATOR: splits $work/input at SEPARATOR (a perl regex) into
# $work/record.N; a CR before a LF goes with the separator.
records() {
  rm -f "$work"/record.*
  perl -e 'local $/; my $in = <STDIN>; my $n = 0;
           for (split /$ARGV[0]/, $in, -1) { open my $f, ">", "$ARGV[1]/record." . ++$n; print $f $_ }' \
    "$1" "$work" <"$work/input"
  # A last separator ends the last record rather than begin an empty one.
  last=$(ls "$work"/record.* | wc -l)
  [ -s "$work/record.$last" ] || rm -f "$work/record.$last"
}

# A log of lines: fresh, expired, ahead, malformed, empty, CRLF, and a last
# line without its LF.
issue fresh UTC $((t0 - 5 * minute)) ABC
fresh=$token
issue expired UTC $((t0 - 40 * minute)) "user 42"
expired=$token
issue ahead UTC $((t0 + 5 * minute)) ABC
printf '%s\n%s\r\n\n%s\n5109B8788C4A75X\r\nab\n\r\n%s' "$fresh" "$expired" "$token" "$fresh" \
  >"$work/input"
records '\r?\n'
bin=$inspect
at UTC $t0 --batch --json <"$work/input"
[ "$status" -eq 0 ] || fail "log by the clock: status $status"
same_as_single "log by the clock" UTC $t0
at UTC $((t0 + 86400000)) --batch --json -t 10 --at "$t0_text" <"$work/input"
[ "$status" -eq 0 ] || fail "log at a moment: status $status"
same_as_single "log at a moment" UTC $t0 -t 10

# Every published token with -z (ids with CR and LF among them), but the two
# that hold a zero byte, which no record can.
perl -ne 'print pack("H*", $1), "\0" if /"token_hex": "([0-9a-f]*)"/ && $1 !~ /^(..)*00/' \
  "$vectors" >"$work/input"
records '\0'
[ "$(ls "$work"/record.* | wc -l)" -ge 80 ] || fail "vectors: only $(ls "$work"/record.* | wc -l)"
at UTC $t0 --batch -z --json --at "$t0_text" <"$work/input"
[ "$status" -eq 0 ] || fail "vectors: status $status"
same_as_single "vectors" UTC $t0

# The tab-separated lines, by the clock.
printf '%s\n\n' "$expired" | TZ=UTC LD_PRELOAD=$libfaketime FAKETIME_FMT=%s FAKETIME="$((t0 / 1000)).2505" \
  $wrap "$inspect" --batch >"$work/out"
printf '1\texpired\t2400000\tuser 42\n2\tmalformed: too short\t\t\n' | cmp -s - "$work/out" ||
  fail "tab-separated: '$(cat "$work/out")'"

# Usage errors: a --at value that names no moment is named on stderr.
for value in "2021-13-01 00:00:00" "2021-10-32 00:00:00" "2021-02-29 00:00:00" \
             "2021-10-31 24:00:00" "2021-10-31 00:30:00x" "0000-01-01 00:00:00" \
             "10000-01-01 00:00:00" "2021-10-31"; do
  for args in "$fresh" --batch; do
    at UTC $t0 --at "$value" $args </dev/null
    [ "$status" -eq 2 ] && [ ! -s "$work/out" ] || fail "--at '$value' $args: status $status"
    grep -qF "'$value'" "$work/err" || fail "--at '$value' $args: stderr '$(cat "$work/err")'"
  done
done
for args in "--batch $fresh" "-z $fresh" "--batch -- x"; do
  at UTC $t0 $args </dev/null
  [ "$status" -eq 2 ] && [ ! -s "$work/out" ] || fail "$args: status $status"
done

# Output that cannot be written fails the batch.
printf '%s\n' "$fresh" | $wrap "$inspect" --batch >/dev/full 2>"$work/err"
[ $? -eq 1 ] || fail "batch to a full disk: want status 1"
[ -s "$work/err" ] && fail "batch to a full disk: stderr"

# Results come as their lines do: the first is written while the input stays
# open (up to 20 s, for slow wrappers).
mkfifo "$work/fifo"
$wrap "$inspect" --batch --json <"$work/fifo" >"$work/out" &
pid=$!
exec 3>"$work/fifo"
printf '%s\n' "$fresh" >&3
i=0
while ! grep -q '^{"line": 1, ' "$work/out" && [ $i -lt 200 ]; do
  sleep 0.1
  i=$((i + 1))
done
grep -q '^{"line": 1, ' "$work/out" || fail "no result while the input waits"
exec 3>&-
wait $pid || fail "paused input: status $?"

finish "batch"
