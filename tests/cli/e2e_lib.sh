# Helpers for running the real binary under a frozen clock; sourced by the
# end-to-end scripts, which are called as: SCRIPT IDSTAMP LIBFAKETIME, the
# latter the path of libfaketime.so.1.
#
# Exits 77 (skipped) when libfaketime is not installed. IDSTAMP_WRAPPER, when
# set, is a command line that every run goes through (valgrind, say); it
# passes LD_PRELOAD on to the tool.
# shellcheck shell=sh source=tests/support/check_lib.sh
. "$(dirname "$0")/../support/check_lib.sh"
bin=$1
libfaketime=${2:-}
# shellcheck disable=SC2034 # version, usage, nl and minute serve the scripts that source this
version=${IDSTAMP_VERSION:-}
wrap=${IDSTAMP_WRAPPER:-}
[ -n "$libfaketime" ] && [ -f "$libfaketime" ] || { echo "libfaketime not found: skipped"; exit 77; }

# shellcheck disable=SC2034
usage='Usage:
-i id -c crypt -d decrypt -t encrypted id lifetime in minutes (default 30)
'
nl='
'
# shellcheck disable=SC2034
minute=60000

# at ZONE EPOCH_MS ARGS...: runs the tool with the clock frozen at EPOCH_MS
# (half a millisecond added, as libfaketime reads the fraction as a float),
# leaving stdout in $work/out, stderr in $work/err and the status in $status.
# Standard input is the caller's.
#
# libfaketime is preloaded rather than run through its faketime program, which
# fails when a killed run has left its semaphore for the same process id. The
# library itself keeps a semaphore and shared memory named by the process id,
# removed at exit but left behind when the process execs (as valgrind's
# launcher script does) or dies; the run's own id is cleared after it.
at() {
  zone=$1 ms=$2
  shift 2
  frac=$(printf '%03d5' $((ms % 1000)))
  # The run keeps the caller's standard input (through descriptor 9), which
  # sh would otherwise replace with /dev/null for a command run with &.
  {
    TZ=$zone LD_PRELOAD=$libfaketime FAKETIME_FMT=%s FAKETIME="$((ms / 1000)).$frac" \
      $wrap "$bin" "$@" <&9 9<&- >"$work/out" 2>"$work/err" &
  } 9<&0
  pid=$!
  wait "$pid"
  status=$?
  rm -f "/dev/shm/faketime_shm_$pid" "/dev/shm/sem.faketime_sem_$pid"
}

# expect NAME STATUS STDOUT ZONE EPOCH_MS ARGS...
expect() {
  name=$1 want_status=$2 want_out=$3
  shift 3
  at "$@"
  printf '%s' "$want_out" >"$work/want"
  cmp -s "$work/out" "$work/want" || fail "$name: stdout '$(cat "$work/out")', want '$want_out'"
  [ "$status" -eq "$want_status" ] || fail "$name: status $status, want $want_status"
  [ -s "$work/err" ] && fail "$name: stderr '$(cat "$work/err")'"
  return 0
}

# issue NAME ZONE EPOCH_MS ID: the token issued at that moment, in $token.
issue() {
  name=$1
  at "$2" "$3" -i "$4" -c
  token=$(cat "$work/out")
  [ "$status" -eq 0 ] && [ -n "$token" ] || fail "$name: no token issued"
}

# accepted NAME ZONE EPOCH_MS [ARGS...] / rejected ...: checks $token.
accepted() {
  name=$1 zone=$2 ms=$3
  shift 3
  expect "$name" 0 "ABC$nl" "$zone" "$ms" -i "$token" -d "$@"
}
rejected() {
  name=$1 zone=$2 ms=$3
  shift 3
  expect "$name" 0 "" "$zone" "$ms" -i "$token" -d "$@"
}
