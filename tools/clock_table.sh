#!/usr/bin/env bash
# Holds a program's reading of the clock to idstamp-inspect's, environment by
# environment:
#
#   tools/clock_table.sh INSPECT -- CMD [ARGS...]
#
# CMD prints the year stamp of "now" as one decimal line and exits 0, or
# exits non-zero with a message on standard error that names TZ (a refusal).
# In each environment INSPECT reads its clock, then CMD runs, then INSPECT
# reads again: CMD agrees when its stamp lies between the two readings, or
# when it refuses naming TZ. Prints a line per environment and exits 1 if any
# disagrees. `tools/clock_table.sh --now INSPECT` prints INSPECT's reading.
set -euo pipefail

usage() {
  echo "usage: $0 INSPECT -- CMD [ARGS...]" >&2
  exit 2
}

# The year stamp INSPECT's clock gives now: the "now" it reports for a token
# that parses. With the digits unmapped, one of these two does, whatever the
# build's digit map.
inspect_now() {
  local digit report
  for digit in 1 2; do
    report=$("$inspect" --json -- " ${digit}${digit}${digit}${digit}${digit}${digit}${digit}${digit}${digit}${digit}${digit}${digit} $digit") || true
    if [[ $report =~ \"now\":\ ([0-9]+) ]]; then
      echo "${BASH_REMATCH[1]}"
      return
    fi
  done
  echo "$0: $inspect reports no clock reading: $report" >&2
  exit 2
}

# One environment, already in place: prints its line, fails on disagreement.
compare() {
  local label=$1 before after stamp status=0 err verdict=DISAGREE shown
  err=$(mktemp)
  before=$(inspect_now)
  stamp=$("${cmd[@]}" 2>"$err") || status=$?
  after=$(inspect_now)
  if [ "$status" -ne 0 ]; then
    shown="refused: $({ grep -m1 TZ "$err" || head -n1 "$err"; } | cut -c1-60)"
    grep -q TZ "$err" && verdict=agree
  else
    shown=$stamp
    if [[ $stamp =~ ^[0-9]+$ ]] && [ ${#stamp} -le 10 ]; then
      # A wrap of the stamp between the readings leaves after < before.
      if { [ "$before" -le "$after" ] && [ "$stamp" -ge "$before" ] && [ "$stamp" -le "$after" ]; } ||
         { [ "$before" -gt "$after" ] && { [ "$stamp" -ge "$before" ] || [ "$stamp" -le "$after" ]; }; }; then
        verdict=agree
      fi
    fi
  fi
  rm -f "$err"
  [ "$before" = "$after" ] || before="$before..$after"
  printf '%-46s %-24s %-40s %s\n' "$label" "$before" "$shown" "$verdict"
  [ "$verdict" = agree ]
}

# Inside a private mount namespace: a copy of /etc in which /etc/localtime
# names Asia/Tokyo (a link, or a copy of the zone file) and /etc/timezone
# says Etc/UTC (as in every such row), mounted over /etc. A bind mount over /etc/localtime alone
# would land on the file its link names.
with_etc() {
  local how=$1
  dir=$(mktemp -d)
  trap 'rm -rf "$dir"' EXIT
  mount --make-rprivate /
  cp -a /etc "$dir/etc"
  rm -f "$dir/etc/localtime"
  if [ "$how" != copy ]; then
    ln -s /usr/share/zoneinfo/Asia/Tokyo "$dir/etc/localtime"
  else
    cp /usr/share/zoneinfo/Asia/Tokyo "$dir/etc/localtime"
  fi
  echo Etc/UTC >"$dir/etc/timezone"
  mount --bind "$dir/etc" /etc
  if [ "$how" = colon ]; then
    # A lone colon names no file at all: UTC, not /etc/localtime.
    TZ=: compare "TZ=':', /etc/localtime: link to Asia/Tokyo"
  else
    compare "TZ unset, /etc/localtime: $how of Asia/Tokyo"
  fi
}

[ $# -ge 1 ] || usage
mode=table
if [ "$1" = --now ] && [ $# -eq 2 ]; then
  inspect=$2
  inspect_now
  exit
elif [ "$1" = --with-etc ]; then
  mode=$2
  shift 2
fi
[ $# -ge 3 ] && [ "$2" = -- ] || usage
inspect=$1
shift 2
cmd=("$@")
if [ "$mode" != table ]; then
  with_etc "$mode"
  exit
fi

unset TZDIR
disagree=0
rows=0
empty=$(mktemp -d)
trap 'rmdir "$empty"' EXIT
for tz in JST PST IST EST Europe/Berlin :Europe/Berlin Asia/Kolkata 'EST5EDT,M3.2.0,M11.1.0' \
          Mars/Olympus ''; do
  rows=$((rows + 1))
  TZ=$tz compare "TZ='$tz'" || disagree=$((disagree + 1))
done
rows=$((rows + 1))
TZ=Asia/Tokyo TZDIR=$empty compare "TZ=Asia/Tokyo, TZDIR an empty folder" || disagree=$((disagree + 1))
if why=$(unshare -m true 2>&1); then
  for how in link copy colon; do
    rows=$((rows + 1))
    env -u TZ -u TZDIR unshare -m "$0" --with-etc "$how" "$inspect" -- "${cmd[@]}" ||
      disagree=$((disagree + 1))
  done
else
  echo "skipped the two /etc/localtime rows: unshare -m cannot run here (${why:-no reason given})"
fi
echo "$disagree of $rows environments disagree"
[ "$disagree" -eq 0 ]
