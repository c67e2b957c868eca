#!/bin/sh
# Builds the Debian packages from a build tree, installs the tool's package
# with dpkg, checks it in place, and removes it again. Needs root.
#   tests/install/deb_check.sh BUILD_DIR
set -eu
build=$1
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/idstamp_*.deb)
echo "package: $deb"
dpkg-deb -c "$deb"

dpkg -i "$deb"
fail() { echo "FAIL: $*"; exit 1; }
[ "$(command -v idstamp)" = /usr/bin/idstamp ] || fail "no /usr/bin/idstamp"
[ -f /usr/share/man/man1/idstamp.1.gz ] || fail "no gzip-compressed man page"
tok=$(idstamp -i ABC -c)
[ "$(idstamp -i "$tok" -d)" = ABC ] || fail "the installed tool does not check its own token"
MANWIDTH=80 man idstamp 2>&1 | grep -q 'issue a short-lived scrambled token' || fail "man idstamp"

dpkg -r idstamp
[ ! -e /usr/bin/idstamp ] || fail "binary left after removal"
[ ! -e /usr/share/man/man1/idstamp.1.gz ] || fail "man page left after removal"
echo "Debian package: installed, checked and removed cleanly"
