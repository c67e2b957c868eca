#!/bin/sh
# The Debian packages end to end: builds them from a copy of the tree (with
# the test suite), builds them again from another folder without it and
# checks the .deb files are byte-identical, runs lintian (any E: or W:
# fails), installs the four with apt-get, uses what they install (the tools,
# the man pages, the completion, the debugger page, a C program through
# pkg-config, a C++ program through find_package and the Python module),
# purges them and checks
# nothing is left. Needs root and the Build-Depends of debian/control. The
# builds see Debian's tools first on PATH, as a build daemon's would.
#   tests/install/debian_check.sh
set -e
src=$(cd "$(dirname "$0")/../.." && pwd)
# shellcheck source=tests/support/check_lib.sh
. "$src/tests/support/check_lib.sh"
packages="idstamp libidstamp1 libidstamp-dev python3-idstamp"

# build FOLDER [ENV...]: the packages of the tracked files, built in FOLDER.
build() {
  dir=$work/$1
  shift
  mkdir -p "$dir/idstamp"
  git -C "$src" ls-files -z | tar -C "$src" --null -T - -cf - | tar -C "$dir/idstamp" -xf -
  (cd "$dir/idstamp" && env PATH=/usr/sbin:/usr/bin:/sbin:/bin "$@" \
    dpkg-buildpackage -us -uc -b >"$dir/log" 2>&1) \
    || { tail -40 "$dir/log"; fatal "dpkg-buildpackage in $dir"; }
}
build first DEB_BUILD_OPTIONS=
grep -E 'tests passed|tests failed' "$work/first/log"
build second-folder DEB_BUILD_OPTIONS=nocheck DEB_BUILD_PROFILES=nocheck
for deb in "$work"/first/*.deb; do
  name=$(basename "$deb")
  cmp -s "$deb" "$work/second-folder/$name" || fatal "$name differs between two builds"
  echo "reproducible: $(sha256sum "$deb" | cut -c1-64) $name"
done

echo "lintian:"
lintian --fail-on error,warning --display-info "$work"/first/idstamp_*.changes \
  || fatal "lintian reports an error or a warning"

debs=""
for p in $packages; do debs="$debs $work/first/${p}_*.deb"; done
# shellcheck disable=SC2086 # the globs are meant to expand
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $debs >/dev/null
for p in $packages; do
  dpkg-query -W -f='${Status}\n' "$p" | grep -q 'install ok installed' || fatal "$p not installed"
done

[ "$(command -v idstamp)" = /usr/bin/idstamp ] || fatal "no /usr/bin/idstamp"
tok=$(idstamp -i ABC -c)
[ "$(idstamp -i "$tok" -d)" = ABC ] || fatal "the installed tool does not check its own token"
idstamp-inspect "$tok" >/dev/null || fatal "idstamp-inspect refuses a fresh token"
for page in idstamp idstamp-inspect; do
  warnings=$(MANWIDTH=80 man --warnings "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fatal "man $page: $warnings"
  MANWIDTH=80 man "$page" | grep -q "^NAME" || fatal "man $page does not render"
done
page=/usr/share/idstamp/idstamp-debugger.html
node "$src/web/build.mjs" "$work/page" || fatal "node web/build.mjs"
cmp -s "$page" "$work/page/idstamp-debugger.html" || fatal "$page is not the page web/build.mjs makes"
for name in idstamp idstamp-inspect; do
  bash -c ". /usr/share/bash-completion/completions/$name && complete -p $name" >/dev/null \
    || fatal "no completion for $name"
done

# shellcheck disable=SC2046 # pkg-config's flags are separate words
cc -std=c99 -Wall -Werror "$src/examples/c/main.c" -o "$work/c_consumer" \
  $(pkg-config --cflags --libs idstamp)
"$work/c_consumer" "id from C" || fatal "the C program against the packages"
# shellcheck disable=SC2046
cc -std=c99 -Wall -Werror "$src/examples/c/main.c" -o "$work/c_static" \
  $(pkg-config --cflags --libs idstamp-static)
"$work/c_static" "id from C" || fatal "the C program through idstamp-static.pc"
readelf -d "$work/c_static" | grep -q 'libidstamp\.so' && fatal "idstamp-static.pc gave a program that loads libidstamp.so"
cmake -S "$src/examples/consumer" -B "$work/consumer" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$work/consumer" >/dev/null
"$work/consumer/consumer" "id from C++" || fatal "the C++ program against the packages"
ldd "$work/consumer/consumer" | grep -q 'libidstamp.so.1 => /' \
  || fatal "the C++ program does not use the shared library"

(cd / && /usr/bin/python3 -c 'import idstamp') || fatal "python3-idstamp does not import"
(cd / && /usr/bin/python3 -c 'import idstamp, sys; sys.exit(idstamp.decrypt_id(sys.argv[1]) != b"ABC")' \
  "$tok") || fatal "the Python module does not check the tool's token"
so=$(dpkg -L python3-idstamp | grep '/_idstamp.*\.so$')
ldd "$so" | grep -q 'libidstamp.so.1 => /' || fatal "the Python module does not use the shared library"

# shellcheck disable=SC2086
dpkg -L $packages | sort -u >"$work/files"
# shellcheck disable=SC2086
DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq $packages >/dev/null
while read -r file; do
  [ -d "$file" ] && continue
  if [ -e "$file" ] || [ -L "$file" ]; then fatal "left after purge: $file"; fi
done <"$work/files"
for p in $packages; do
  dpkg-query -W -f='${db:Status-Abbrev}\n' "$p" 2>/dev/null | grep -q '^ii' && fatal "$p still installed"
done
echo "Debian packages: built twice alike, lintian clean, installed, used and purged"
