#!/bin/sh
# The Windows download, as a user gets it: runs `cpack -G ZIP` in a Windows
# build folder (as the README says), unzips what it makes and checks it. The
# zip holds one folder with exactly the two programs, the README, the licence,
# the two manuals and the token debugger page; the text files are plain text
# with CRLF line ends, the README short enough to read in one go; the
# programs are console programs of the given width that import only
# Windows' own DLLs. Given an emulator that runs them, the programs are also
# run from the unzipped folder (tests/cli/windows_end_to_end.sh).
#   windows_zip_check.sh BUILD_DIR 32|64 [EMULATOR]
if [ $# -lt 2 ] || [ $# -gt 3 ] || [ ! -f "$1/CMakeCache.txt" ]; then
  echo "usage: $0 BUILD_DIR 32|64 [EMULATOR] (a configured Windows build folder)" >&2
  exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=tests/support/check_lib.sh
. "$here/../support/check_lib.sh"
build=$(cd "$1" && pwd)
width=$2
emulator=${3:-}
# The toolchain's tools, and the PE optional header's magic: 010b for PE32,
# 020b for PE32+.
case $width in
  32) triplet=i686-w64-mingw32 magic=010b ;;
  64) triplet=x86_64-w64-mingw32 magic=020b ;;
  *) echo "$0: the width is 32 or 64, not $width" >&2; exit 2 ;;
esac

cache_value() {
  sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"
}
version=$(cache_value CMAKE_PROJECT_VERSION)
source_dir=$(cache_value idstamp_SOURCE_DIR)
if [ -z "$version" ] || [ -z "$source_dir" ]; then
  fatal "no project version or source folder in $build/CMakeCache.txt"
fi
name=idstamp-$version-win$width
zip=$build/$name.zip

# A zip left by an earlier run must not pass for this one.
rm -f "$zip"
if ! (cd "$build" && cpack -G ZIP) >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log"
  fatal "cpack -G ZIP"
fi
if [ ! -f "$zip" ]; then
  cat "$work/cpack.log"
  fatal "cpack made no $name.zip"
fi
unzip -tq "$zip" >/dev/null || fail "the zip does not test sound"

# Exactly these entries; the folder's own entry may be there or not.
LC_ALL=C
export LC_ALL
unzip -Z1 "$zip" | grep -vx "$name/" | sort >"$work/entries"
for file in idstamp.exe idstamp-inspect.exe README.txt LICENSE.txt idstamp.txt \
            idstamp-inspect.txt idstamp-debugger.html; do
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

size=$(wc -c <"$dir/README.txt")
[ "$size" -le 6000 ] || fail "README.txt is $size bytes, over 6000"
grep -q "Double-click idstamp-debugger.html" "$dir/README.txt" || fail "README.txt does not point to the debugger"

# The token debugger: the very page web/build.mjs makes, not a text file
# turned to CRLF.
if [ -f "$dir/idstamp-debugger.html" ]; then
  if node "$source_dir/web/build.mjs" "$work/built-page" >"$work/node.log" 2>&1; then
    cmp -s "$dir/idstamp-debugger.html" "$work/built-page/idstamp-debugger.html" \
      || fail "idstamp-debugger.html is not the page web/build.mjs makes"
  else
    cat "$work/node.log"
    fail "node web/build.mjs"
  fi
fi

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

# The programs: console programs of this width, importing only KERNEL32.dll
# and msvcrt.dll, so that the zip needs no C++ or GCC runtime nor a library of
# ours.
objdump=${OBJDUMP:-$triplet-objdump}
for exe in idstamp.exe idstamp-inspect.exe; do
  [ "$(head -c 2 "$dir/$exe" 2>/dev/null)" = MZ ] || { fail "$exe is not a Windows program"; continue; }
  "$objdump" -p "$dir/$exe" >"$work/headers" || { fail "$objdump on $exe"; continue; }
  grep -q "^Magic[[:space:]]*${magic}[[:space:]]" "$work/headers" \
    || fail "$exe is not a $width-bit program: $(grep '^Magic' "$work/headers")"
  grep -q '^Subsystem.*(Windows CUI)' "$work/headers" || fail "$exe is not a console program"
  dlls=$(sed -n 's/^[[:space:]]*DLL Name: //p' "$work/headers" | tr A-Z a-z | sort -u | tr '\n' ' ')
  [ "$dlls" = "kernel32.dll msvcrt.dll " ] || fail "$exe imports $dlls, not KERNEL32.dll and msvcrt.dll alone"
done

if [ -n "$emulator" ]; then
  sh "$here/../cli/windows_end_to_end.sh" "$emulator" "$dir/idstamp.exe" "$dir/idstamp-inspect.exe" \
    || fail "the programs from the zip"
else
  echo "windows zip: the programs were not run (no emulator that runs $width-bit programs)"
fi

finish "windows zip $name.zip"
