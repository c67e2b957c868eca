#!/bin/sh
# The shared library exports only the public API, and the program needs no
# shared library but glibc's (libc and its loader).
#   exports.sh LIBRARY|- PROGRAM
set -u
library=$1
program=$2
failures=0

if [ "$library" != - ]; then
  public_c='idstamp_(crypt_id|decrypt_id|crypt_id_at|decrypt_id_at|year_stamp|free|version)'
  public_cxx='idstamp::(is_leap_year|days_in_month|day_number|ticks_from_parts|year_of_ticks'
  public_cxx="$public_cxx|ms_since_year_start|year_stamp_of|local_now_ticks|year_stamp"
  public_cxx="$public_cxx|crypt_id|decrypt_id|inspect_token)(\\[abi:cxx11\\])?\\("
  symbols=$(nm -D --defined-only -C "$library" | cut -d' ' -f3-)
  [ -n "$symbols" ] || { echo "FAIL: no symbols read from $library"; exit 1; }
  extra=$(printf '%s\n' "$symbols" | grep -v -E "^($public_c\$|$public_cxx)")
  if [ -n "$extra" ]; then
    echo "FAIL: exported but not public:"
    printf '%s\n' "$extra"
    failures=1
  fi
  echo "$(printf '%s\n' "$symbols" | wc -l) exported symbols, all public"
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
