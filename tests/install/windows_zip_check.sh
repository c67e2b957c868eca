#!/bin/sh
# The Windows download, as a user gets it: runs `cpack -G ZIP` in a Windows
# build folder (as the README says), unzips what it makes and checks it. The
# zip holds one folder with exactly the two programs, the README, the licence
# and the two manuals; the text files are plain text with CRLF line ends; the
# programs work from the unzipped folder under wine (WINE names another
# emulator).
#   windows_zip_check.sh BUILD_DIR
set -u
if [ $# -ne 1 ] || [ ! -f "$1/CMakeCache.txt" ]; then
  echo "usage: $0 BUILD_DIR (a configured Windows build folder)" >&2
  exit 2
fi
build=$(cd "$1" && pwd)
emulator=${WINE:-wine}
export WINEDEBUG=-all
failures=0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

cache_value() {
  sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"
}
version=$(cache_value CMAKE_PROJECT_VERSION)
source_dir=$(cache_value idstamp_SOURCE_DIR)
if [ -z "$version" ] || [ -z "$source_dir" ]; then
  echo "FAIL: no project version or source folder in $build/CMakeCache.txt"
  exit 1
fi
name=idstamp-$version-win32
zip=$build/$name.zip

# A zip left by an earlier run must not pass for this one.
rm -f "$zip"
if ! (cd "$build" && cpack -G ZIP) >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log"
  echo "FAIL: cpack -G ZIP"
  exit 1
fi
if [ ! -f "$zip" ]; then
  cat "$work/cpack.log"
  echo "FAIL: cpack made no $name.zip"
  exit 1
fi
unzip -tq "$zip" >/dev/null || fail "the zip does not test sound"

# Exactly these entries; the folder's own entry may be there or not.
LC_ALL=C
export LC_ALL
unzip -Z1 "$zip" | grep -vx "$name/" | sort >"$work/entries"
for file in idstamp.exe idstamp-inspect.exe README.txt LICENSE.txt idstamp.txt \
            idstamp-inspect.txt; do
  echo "$name/$file"
done | sort >"$work/want"
if ! cmp -s "$work/entries" "$work/want"; then
  fail "the zip's entries (< found, > wanted):"
  diff "$work/entries" "$work/want"
fi

mkdir "$work/unzipped"
unzip -q "$zip" -d "$work/unzipped" || fail "unzip"
dir=$work/unzipped/$name

# Text files: every line ends in CRLF, the last one too, and no CR stands
# anywhere else.
for file in README.txt LICENSE.txt idstamp.txt idstamp-inspect.txt; do
  [ -s "$dir/$file" ] || { fail "$file missing or empty"; continue; }
  tr -d '\r' <"$dir/$file" | awk '{ printf "%s\r\n", $0 }' >"$work/crlf"
  cmp -s "$work/crlf" "$dir/$file" || fail "$file: not CRLF throughout"
done
for pair in README.txt=docs/README-windows.txt LICENSE.txt=LICENSE; do
  file=${pair%=*}
  [ -f "$dir/$file" ] || continue
  tr -d '\r' <"$dir/$file" | cmp -s - "$source_dir/${pair#*=}" \
    || fail "$file is not ${pair#*=}"
done

# The manuals: rendered (no roff left), plain ASCII (no overstrike, no escape
# sequences), each the page of its own program and version.
for page in idstamp idstamp-inspect; do
  file=$dir/$page.txt
  [ -s "$file" ] || continue
  title=$(echo "$page" | tr a-z A-Z)
  other=$(tr -d '\t\r\n -~' <"$file" | wc -c)
  [ "$other" -eq 0 ] || fail "$page.txt: $other bytes of other than printable ASCII, tab, CR, LF"
  tr -d '\r' <"$file" >"$work/page"
  grep -q "^$title(1) .* $title(1)\$" "$work/page" || fail "$page.txt: no $title(1) header"
  grep -q "^idstamp $version .* $title(1)\$" "$work/page" \
    || fail "$page.txt: no footer for idstamp $version"
  grep -qx 'NAME' "$work/page" && grep -qx 'SYNOPSIS' "$work/page" \
    || fail "$page.txt: no NAME and SYNOPSIS sections"
  grep -q "^ *$page  *- " "$work/page" || fail "$page.txt: the NAME line is not $page's"
  grep -q -e '^\.' -e '\\f' -e '\\-' "$work/page" && fail "$page.txt: roff left in it"
done

# The programs, run from the unzipped folder.
for exe in idstamp.exe idstamp-inspect.exe; do
  [ "$(head -c 2 "$dir/$exe" 2>/dev/null)" = MZ ] || fail "$exe is not a Windows program"
done

# Nothing but Windows' own DLLs: the zip carries no C++ or GCC runtime, nor
# a library of ours.
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}
if command -v "$objdump" >/dev/null; then
  for exe in idstamp.exe idstamp-inspect.exe; do
    "$objdump" -p "$dir/$exe" >"$work/headers" || { fail "$objdump on $exe"; continue; }
    dlls=$(sed -n 's/^[[:space:]]*DLL Name: //p' "$work/headers")
    [ -n "$dlls" ] || fail "$exe: no imported DLLs found"
    for dll in $dlls; do
      case $dll in
        lib*.dll | *idstamp*) fail "$exe imports $dll, which the zip does not hold" ;;
      esac
    done
  done
else
  echo "note: no $objdump, so the imported DLLs are not checked"
fi

# run EXE ARGS...: stdout in $work/out, status in $status.
run() {
  exe=$1
  shift
  "$emulator" "$dir/$exe" "$@" >"$work/out" 2>"$work/err"
  status=$?
}

run idstamp.exe
printf 'Usage:\r\n-i id -c crypt -d decrypt -t encrypted id lifetime in minutes (default 30)\r\n' \
  >"$work/want"
cmp -s "$work/out" "$work/want" || fail "usage text: $(od -c "$work/out" | head -3)"
[ "$status" -eq 2 ] || fail "usage: status $status"

run idstamp.exe -i ABC -c
[ "$status" -eq 0 ] || fail "crypt: status $status"
token=$(tr -d '\r\n' <"$work/out")
printf '%s\r\n' "$token" >"$work/want"
{ [ -n "$token" ] && cmp -s "$work/out" "$work/want"; } \
  || fail "token line: $(od -c "$work/out" | head -3)"

run idstamp.exe -i "$token" -d
printf 'ABC\r\n' >"$work/want"
cmp -s "$work/out" "$work/want" || fail "check back: $(od -c "$work/out" | head -3)"
[ "$status" -eq 0 ] || fail "check back: status $status"

run idstamp-inspect.exe "$token"
[ "$status" -eq 0 ] || fail "idstamp-inspect on a fresh token: status $status"
tr -d '\r' <"$work/out" | grep -q '^verdict *fresh$' \
  || fail "idstamp-inspect: no fresh verdict: $(head -c 300 "$work/out")"

if [ "$failures" -eq 0 ]; then
  echo "windows zip: $name.zip passed"
  exit 0
fi
echo "windows zip: $failures failed"
exit 1
