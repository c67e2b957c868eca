#!/bin/sh
# The shared library's ABI only grows: built with debug information, it is
# compared with the 1.1.0 library's (an abidw dump of commit 13d669a, in
# tests/install/abi/) by abidiff, which fails on anything but additions.
#   tests/install/abi_check.sh [BUILD_DIR]
set -eu
cd "$(dirname "$0")/../.."
build=${1:-build/abi}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=g++ \
  -DBUILD_SHARED_LIBS=ON -DIDSTAMP_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target idstamp -j2 >/dev/null
library=$(ls "$build"/src/libidstamp.so.1.*.*)
soname=$(readelf -d "$library" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
[ "$soname" = libidstamp.so.1 ] || { echo "FAIL: soname $soname"; exit 1; }
abidiff --no-added-syms --drop-private-types --hd2 include/idstamp --hd2 "$build/include/idstamp" \
  tests/install/abi/libidstamp-1.1.0.abi "$library"
echo "$library ($soname): no change to the 1.1.0 ABI but additions"
