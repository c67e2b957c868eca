#!/usr/bin/env bash
# .ci/manylinux2014_check refuses shared objects that break its rules, each
# for its rule: small libraries built here break one rule each.
set -euo pipefail
cd "$(dirname "$0")/../.."
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
quiet() { "$@" >"$work/log" 2>&1 || { tail -40 "$work/log"; fail "$*"; }; }

policy=$work/policy
mkdir "$policy"
printf '#include <string>\nextern "C" int f(const char* s) { return int(std::string(s).size()); }\n' \
  >"$policy/string.cc"
printf '#include <stdlib.h>\nunsigned f(void) { return arc4random(); }\n' >"$policy/random.c"
printf 'int g(void) { return 1; }\n' >"$policy/other.c"
printf 'int g(void);\nint f(void) { return g(); }\n' >"$policy/uses_other.c"
quiet g++ -shared -fPIC -O2 "$policy/string.cc" -o "$policy/libstdcxx.so"
quiet g++ -shared -fPIC -O2 -static-libstdc++ -static-libgcc -Wl,--as-needed "$policy/string.cc" \
  -o "$policy/static_libstdcxx.so"
quiet gcc -shared -fPIC -O2 -x c++ "$policy/string.cc" -o "$policy/unlinked_runtime.so"
quiet gcc -shared -fPIC -O2 "$policy/random.c" -o "$policy/glibc_2_36.so"
quiet gcc -shared -fPIC -O2 "$policy/other.c" -o "$policy/libother.so"
quiet gcc -shared -fPIC -O2 "$policy/uses_other.c" -L"$policy" -lother -o "$policy/needs_other.so"
# refuses RULE FILE: the check fails on FILE and names RULE.
refuses() {
  if .ci/manylinux2014_check "$2" >"$work/log" 2>&1; then fail "the policy check passes $2"; fi
  grep -q ": breaks $1" "$work/log" || { cat "$work/log"; fail "the policy check misses '$1' in $2"; }
}
refuses "c++ runtime: needs libstdc++.so.6" "$policy/libstdcxx.so"
refuses "c++ runtime: needs GLIBCXX_" "$policy/libstdcxx.so"
refuses "c++ runtime: __gxx_personality_v0 is linked in" "$policy/static_libstdcxx.so"
refuses "c++ runtime: _Z.* is undefined and not glibc's or Python's" "$policy/unlinked_runtime.so"
refuses "glibc: needs GLIBC_2.36" "$policy/glibc_2_36.so"
refuses "needed: libother.so is not on the policy's list" "$policy/needs_other.so"
cp "$policy/glibc_2_36.so" "$policy/aarch64.so"  # e_machine, at byte 18, made EM_AARCH64
printf '\267\0' | dd of="$policy/aarch64.so" bs=1 seek=18 conv=notrunc status=none
refuses "machine: AArch64" "$policy/aarch64.so"
echo "refused, each for its rule"
