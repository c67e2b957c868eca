#!/usr/bin/env bash
# .ci/lib.sh against a mirror that fails: apt-get, dpkg and dpkg-query are
# stand-ins first on PATH, so nothing on the machine changes. The mirror's
# update always fails (as a bad index does), and it refuses the i386
# packages and the one named "broken", as a lagging or missing package is
# refused. Run from anywhere: tests/ci/lib_check.sh
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
stubs=$(mktemp -d)
trap 'rm -rf "$stubs"' EXIT
export IDSTAMP_STUBS=$stubs IDSTAMP_APT_PAUSE=0 PATH="$stubs/bin:$PATH"
mkdir "$stubs/bin"
: >"$stubs/calls"
: >"$stubs/foreign"
printf 'present\n' >"$stubs/installed"

cat >"$stubs/bin/apt-get" <<'STUB'
#!/bin/sh
echo "apt-get $*" >>"$IDSTAMP_STUBS/calls"
case $1 in update) echo "E: File has unexpected size. Mirror sync in progress?" >&2; exit 100 ;; esac
for p; do
  case $p in
    *:i386|broken) echo "E: Unable to correct problems, you have held broken packages." >&2; exit 100 ;;
  esac
done
for p; do case $p in -*) ;; *) echo "$p" >>"$IDSTAMP_STUBS/installed" ;; esac; done
STUB
cat >"$stubs/bin/dpkg-query" <<'STUB'
#!/bin/sh
case $3 in
  '') echo amd64 ;;  # -W -f='${Architecture}\n': every package's
  *) grep -qx "$3" "$IDSTAMP_STUBS/installed" && printf 'install ok installed' ;;
esac
STUB
cat >"$stubs/bin/dpkg" <<'STUB'
#!/bin/sh
echo "dpkg $*" >>"$IDSTAMP_STUBS/calls"
case $1 in
  --print-foreign-architectures) cat "$IDSTAMP_STUBS/foreign" ;;
  --add-architecture) echo "$2" >>"$IDSTAMP_STUBS/foreign" ;;
  --remove-architecture) grep -vx "$2" "$IDSTAMP_STUBS/foreign" >"$IDSTAMP_STUBS/f"; mv "$IDSTAMP_STUBS/f" "$IDSTAMP_STUBS/foreign" ;;
esac
STUB
chmod +x "$stubs"/bin/*

failures=0
check() {  # check WHAT CONDITION...
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAIL: $what" >&2; failures=$((failures + 1)); fi
}
# shellcheck source=.ci/lib.sh
. "$here/../../.ci/lib.sh"

: >"$stubs/calls"
check "installed packages ask nothing of apt" need_packages present
check "... and dpkg is not called" test ! -s "$stubs/calls"

(need_packages fresh) >"$stubs/out" 2>&1
check "a failing update does not stop an install that works" grep -qx fresh "$stubs/installed"
check "... after three tries" test "$(grep -c 'apt-get update' "$stubs/calls")" -eq 3

status=0
(need_packages present broken) >"$stubs/out" 2>&1 || status=$?
check "a failed install stops the run" test "$status" -ne 0
check "... naming the package and apt's first error" \
  grep -q '^could not install broken: E: Unable to correct problems' "$stubs/out"

for before in "" i386; do
  echo "$before" | grep . >"$stubs/foreign" || :
  apt_failure=
  try_foreign_packages i386 wine32:i386 >/dev/null 2>&1 && status=0 || status=$?
  check "wine32:i386 refused (i386 before: '${before}')" test "$status" -eq 1
  check "... with apt's first error line" \
    test "$apt_failure" = "E: Unable to correct problems, you have held broken packages."
  check "... and the architectures as they were" test "$(cat "$stubs/foreign")" = "$before"
done

if [ "$failures" -ne 0 ]; then echo "$failures failed" >&2; exit 1; fi
echo ".ci/lib.sh: every check passed"
