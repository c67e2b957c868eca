#!/usr/bin/env bash
# .ci/manylinux2014_check refuses shared objects that need the C++ runtime,
# each way one can (small libraries built here), and passes one in C.
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
printf '#include <stdlib.h>\nvoid *f(size_t n) { return malloc(n); }\n' >"$policy/plain.c"
quiet g++ -shared -fPIC -O2 "$policy/string.cc" -o "$policy/libstdcxx.so"
quiet g++ -shared -fPIC -O2 -static-libstdc++ -static-libgcc -Wl,--as-needed "$policy/string.cc" \
  -o "$policy/static_libstdcxx.so"
quiet gcc -shared -fPIC -O2 -x c++ "$policy/string.cc" -o "$policy/unlinked_runtime.so"
quiet gcc -shared -fPIC -O2 "$policy/plain.c" -o "$policy/plain.so"
# refuses RULE FILE: the check fails on FILE and names RULE.
refuses() {
  if .ci/manylinux2014_check "$2" >"$work/log" 2>&1; then fail "the policy check passes $2"; fi
  grep -q ": breaks $1" "$work/log" || { cat "$work/log"; fail "the policy check misses '$1' in $2"; }
}
refuses "c++ runtime: needs libstdc++.so.6" "$policy/libstdcxx.so"
refuses "c++ runtime: needs GLIBCXX_" "$policy/libstdcxx.so"
refuses "c++ runtime: __gxx_personality_v0 is linked in" "$policy/static_libstdcxx.so"
refuses "c++ runtime: _Z.* is undefined and not glibc's or Python's" "$policy/unlinked_runtime.so"
refuses "c++ runtime: not an ELF file" "$policy/plain.c"
.ci/manylinux2014_check "$policy/plain.so" >"$work/log" 2>&1 || { cat "$work/log"; fail "refuses C"; }
echo "refused, each for its rule; C passed"
