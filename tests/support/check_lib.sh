# shellcheck shell=sh
# What the shell checks share; sourced, in POSIX sh (CTest runs them with
# sh). Gives a work folder $work removed on exit, fail() to count a failure
# and go on, fatal() to stop at one, and finish() to report the count and
# exit by it.
set -u
failures=0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

fatal() {
  echo "FAIL: $*"
  exit 1
}

# finish NAME: "NAME: all passed" and exit 0, or the count of failures and
# exit 1.
finish() {
  if [ "$failures" -eq 0 ]; then
    echo "$1: all passed"
    exit 0
  fi
  echo "$1: $failures failed"
  exit 1
}
