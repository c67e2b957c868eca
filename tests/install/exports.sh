#!/bin/sh
# The shared library exports exactly the functions the public headers mark
# IDSTAMP_EXPORT, and the program needs no shared library but glibc's (libc
# and its loader).
#   exports.sh INCLUDE_DIR LIBRARY|- PROGRAM
set -u
include=$1
library=$2
program=$3
failures=0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if [ "$library" != - ]; then
  # The name before the first "(" of each exported declaration, which may
  # run over several lines.
  cat "$include"/idstamp/*.h | tr '\n' ' ' | grep -o 'IDSTAMP_EXPORT[^;{]*(' |
    sed 's/($//; s/.*[ *&:]//' | sort -u >"$work/declared"
  # The unqualified name of each exported function, C or C++.
  nm -D --defined-only -C "$library" | cut -d' ' -f3- | sed 's/(.*//; s/\[abi:[^]]*\]$//' |
    sed 's/^idstamp:://' | sort -u >"$work/exported"
  [ -s "$work/declared" ] && [ -s "$work/exported" ] || { echo "FAIL: no names read"; exit 1; }
  if ! cmp -s "$work/declared" "$work/exported"; then
    echo "FAIL: the exported names are not the declared ones (< declared, > exported):"
    diff "$work/declared" "$work/exported"
    failures=1
  fi
  nm -D --defined-only -C "$library" | cut -d' ' -f3- | grep -v -e '^idstamp_' -e '^idstamp::' &&
    { echo "FAIL: exported outside the C names and namespace idstamp"; failures=1; }
  echo "$(wc -l <"$work/exported") exported names, each declared IDSTAMP_EXPORT"
fi

needed=$(readelf -d "$program" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
echo "$program needs: $(echo $needed)"
for lib in $needed; do
  case $lib in
    libc.so.*|ld-linux*.so.*) ;;
    *) echo "FAIL: the program needs $lib"; failures=1 ;;
  esac
done
exit $failures
