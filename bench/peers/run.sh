#!/usr/bin/env bash
# Times idstamp's check against the libraries a user would pick instead, one
# language after another, each peer on its own token and all on one core:
#   bench/peers/run.sh [LANGUAGE...]     (c go python js java rust csharp php)
# ROUNDS sets the rounds of each program (default 20); IDSTAMP_BUILD a
# CMake build of idstamp for C (default build/release, made when missing);
# IDSTAMP_PHP the PHP package's directory (default php/). Installs what it
# needs from Debian and the registries: benchmark dependencies only, never
# the packages'. A timing run, kept out of .ci/run.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
peers=$root/bench/peers
cd "$root"
# shellcheck source=.ci/lib.sh
. "$root/.ci/lib.sh"

rounds=${ROUNDS:-20}
build=${IDSTAMP_BUILD:-$root/build/release}
work=$root/build/peers
mkdir -p "$work"
languages=("$@")
[ ${#languages[@]} -gt 0 ] || languages=(c go python js java rust csharp php)

# One core, the same for every program, where the machine has more than one.
pin=()
if command -v taskset >/dev/null && [ "$(nproc)" -gt 1 ]; then pin=(taskset -c 1); fi

skip() { echo "$1: skipped: $2"; }

run_c() {
  need_packages make gcc g++ cmake libjwt-dev libssl-dev
  if [ ! -f "$build/src/libidstamp.a" ]; then
    cmake --preset release -DIDSTAMP_BUILD_TESTS=OFF -B "$build" >/dev/null
    cmake --build "$build" -j2 --target idstamp >/dev/null
  fi
  make -s -C "$peers/c" IDSTAMP_BUILD="$build" IDSTAMP_SOURCE="$root"
  "${pin[@]}" "$peers/c/peers" "$rounds"
}

run_go() {
  command -v go >/dev/null || { skip go "no go on PATH"; return; }
  (cd "$peers/go" && go build -o peers . && "${pin[@]}" ./peers -rounds "$rounds")
}

run_python() {
  python3 -c 'import ensurepip' 2>/dev/null || need_packages python3-venv
  local venv=$work/venv
  [ -x "$venv/bin/python" ] || python3 -m venv "$venv"
  "$venv/bin/pip" install -q -r "$peers/python/requirements.txt"
  "$venv/bin/pip" install -q --force-reinstall --no-deps "$root"
  (cd "$work" && "${pin[@]}" "$venv/bin/python" "$peers/python/peers.py" --rounds "$rounds")
}

run_js() {
  need_node 18 "the JavaScript peers"
  (cd "$peers/js" && npm install --no-audit --no-fund --silent && "${pin[@]}" node peers.js "$rounds")
}

run_java() {
  command -v mvn >/dev/null && command -v java >/dev/null || need_packages maven default-jdk-headless
  local version
  version=$(sed -n 's:^  <version>\(.*\)</version>$:\1:p' "$root/java/pom.xml" | head -n1)
  mvn -q -B -f "$root/java/pom.xml" install -DskipTests
  (cd "$peers/java" &&
    mvn -q -B "-Didstamp.version=$version" compile dependency:build-classpath -Dmdep.outputFile=target/classpath.txt &&
    "${pin[@]}" java -cp "target/classes:$(cat target/classpath.txt)" peers.Peers "$rounds")
}

run_rust() {
  command -v cargo >/dev/null || { skip rust "no cargo on PATH"; return; }
  (cd "$peers/rust" && cargo build -q --release -j2 && "${pin[@]}" ./target/release/idstamp-peers "$rounds")
}

run_csharp() {
  [ -f "$root/dotnet/Idstamp.cs" ] || { skip csharp "no dotnet/Idstamp.cs"; return; }
  need_packages make
  command -v mcs >/dev/null && command -v mono >/dev/null || need_packages mono-mcs mono-runtime
  make -s -C "$peers/csharp" IDSTAMP_SOURCE="$root"
  "${pin[@]}" mono "$peers/csharp/peers.exe" "$rounds"
}

run_php() {
  local package=${IDSTAMP_PHP:-$root/php}
  [ -f "$package/autoload.php" ] || { skip php "no PHP package at $package"; return; }
  command -v php >/dev/null || need_packages php-cli
  echo "with OPcache's JIT (tracing), as a service may run PHP:"
  IDSTAMP_PHP=$package "${pin[@]}" php -d opcache.enable_cli=1 -d opcache.jit=tracing \
    -d opcache.jit_buffer_size=64M "$peers/php/peers.php" "$rounds"
  echo "interpreted, without OPcache:"
  IDSTAMP_PHP=$package "${pin[@]}" php -d opcache.enable_cli=0 "$peers/php/peers.php" "$rounds"
}

echo "load average: $(cut -d' ' -f1-3 /proc/loadavg); $(nproc) cores; ${pin[*]:-not pinned}"
for language in "${languages[@]}"; do
  echo
  case $language in
    c | go | python | js | java | rust | csharp | php) "run_$language" ;;
    *) echo "unknown language: $language (c go python js java rust csharp php)" >&2; exit 2 ;;
  esac
done
echo
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
