# shellcheck shell=bash
# What the .ci scripts share: installing Debian packages, and the checks
# each would otherwise repeat. Sourced, never run.
export DEBIAN_FRONTEND=noninteractive

# installed PKG: whether dpkg has PKG (a name, or name:arch) installed.
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

# try_packages PKG...: installs those of PKG that are missing (in $missing).
# `apt-get update` is tried three times, and a mirror that keeps serving a
# bad index for some suite does not stop it: the install decides. On
# failure returns 1 with apt's first error line in $apt_failure.
try_packages() {
  local p try log
  apt_failure='' missing=()
  for p in "$@"; do installed "$p" || missing+=("$p"); done
  [ ${#missing[@]} -gt 0 ] || return 0
  echo "== installing ${missing[*]}"
  for try in 1 2 3; do
    apt-get update -qq && break
    if [ "$try" -lt 3 ]; then sleep "${IDSTAMP_APT_PAUSE:-10}"
    else echo "apt-get update failed three times; going on with the lists there are" >&2; fi
  done
  log=$(mktemp)
  if ! apt-get install -y -qq "${missing[@]}" >"$log" 2>&1; then
    apt_failure=$(grep -m1 '^E: ' "$log" || tail -n1 "$log")
    apt_failure=${apt_failure:-apt-get install failed}
  fi
  rm -f "$log"
  [ -z "$apt_failure" ]
}

# need_packages PKG...: try_packages, or stop the run naming the packages
# and apt's first error line.
need_packages() {
  try_packages "$@" || { echo "could not install ${missing[*]}: $apt_failure" >&2; exit 1; }
}

# try_foreign_packages ARCH PKG...: try_packages for packages of the foreign
# architecture ARCH (named PKG:ARCH), added first if need be. Where that
# fails and nothing of ARCH is installed, an ARCH added here goes again, so
# that a mirror's broken index for it does not fail every later update.
try_foreign_packages() {
  local arch=$1 added=
  shift
  dpkg --print-foreign-architectures | grep -qx "$arch" || { dpkg --add-architecture "$arch"; added=1; }
  try_packages "$@" && return 0
  if [ -n "$added" ] && ! dpkg-query -W -f='${Architecture}\n' | grep -qx "$arch"; then
    dpkg --remove-architecture "$arch"
  fi
  return 1
}

# need_node MAJOR WHAT: Debian's Node.js where there is none; then stops
# unless the node on PATH is at least MAJOR.
need_node() {
  local major
  command -v node >/dev/null || need_packages nodejs npm
  major=$(node -p 'process.versions.node.split(".")[0]' 2>/dev/null || echo 0)
  [ "$major" -ge "$1" ] || { echo "$2 needs Node.js $1 or later; found: $(node --version 2>&1)" >&2; exit 1; }
}

# same_version INSPECT VERSION: stops unless a package's VERSION is the
# project's, as INSPECT reports it.
same_version() {
  local project
  project=$("$1" --version | awk '{print $2}')
  echo "idstamp-inspect $project, package $2"
  [ "$project" = "$2" ] || exit 1
}

# unpack_node18 DIR: Debian 12's own Node.js 18 (nodejs and libnode108),
# unpacked into DIR rather than installed over the machine's nodejs, with
# the libraries libnode108 depends on installed (node-acorn among them: it
# reads some built-in modules from fixed paths under /usr/share/nodejs).
unpack_node18() {
  local version debs deb
  version=$(apt-cache madison libnode108 | awk '$3 ~ /^18\./ {print $3; exit}')
  debs=$(mktemp -d)
  (cd "$debs" && apt-get download -qq "nodejs=$version" "libnode108=$version" 2>/dev/null)
  # shellcheck disable=SC2046 # one word a package
  need_packages $(dpkg-deb -f "$debs"/libnode108_*.deb Depends | tr ',' '\n' | sed 's/[(|].*//; s/ //g')
  for deb in "$debs"/*.deb; do dpkg -x "$deb" "$1"; done
  rm -rf "$debs"
}

# need_corpus INSPECT: exports IDSTAMP_CORPUS, the conformance corpus every
# implementation is held to, written from INSPECT by tools/corpus.py unless
# IDSTAMP_CORPUS already names one (.ci/run writes it once for all).
need_corpus() {
  if [ -z "${IDSTAMP_CORPUS:-}" ] || [ ! -f "$IDSTAMP_CORPUS/tokens.tsv" ]; then
    IDSTAMP_CORPUS=${IDSTAMP_CORPUS:-$(mktemp -d)}
    python3 tools/corpus.py "$1" "$IDSTAMP_CORPUS"
  fi
  export IDSTAMP_CORPUS
}
