# shellcheck shell=bash
# What the .ci scripts share: installing Debian packages, and the checks
# each of them would otherwise repeat. Sourced, never run:
#   # shellcheck source=.ci/lib.sh
#   . "$(dirname "$0")/lib.sh"

export DEBIAN_FRONTEND=noninteractive

# installed PKG: whether dpkg has PKG (a name, or name:arch) installed.
installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

# apt_update: `apt-get update`, tried up to three times with a pause between.
# A mirror that keeps serving a bad index for some suite or architecture
# does not stop the run here: the install that follows decides.
apt_update() {
  local try
  for try in 1 2 3; do
    if apt-get update -qq; then return 0; fi
    [ "$try" -eq 3 ] || sleep "${IDSTAMP_APT_PAUSE:-10}"
  done
  echo "apt-get update failed three times; going on with the package lists there are" >&2
}

# apt_error: the first error line apt wrote to $1, or its last line.
apt_error() {
  grep -m1 '^E: ' "$1" || tail -n1 "$1"
}

# try_packages PKG...: installs those of PKG that are missing, named in
# $missing. On failure returns 1 with apt's first error line in
# $apt_failure, and stops nothing.
try_packages() {
  local p log status=0
  apt_failure=
  missing=()
  for p in "$@"; do installed "$p" || missing+=("$p"); done
  [ ${#missing[@]} -gt 0 ] || return 0
  echo "== installing ${missing[*]}"
  apt_update
  log=$(mktemp)
  apt-get install -y -qq "${missing[@]}" >"$log" 2>&1 || status=$?
  if [ "$status" -ne 0 ]; then
    apt_failure=$(apt_error "$log")
    rm -f "$log"
    return 1
  fi
  rm -f "$log"
}

# need_packages PKG...: installs those of PKG that are missing, or stops the
# run naming them and apt's first error line.
need_packages() {
  if ! try_packages "$@"; then
    echo "could not install ${missing[*]}: $apt_failure" >&2
    exit 1
  fi
}

# try_foreign_packages ARCH PKG...: try_packages for packages of the
# foreign architecture ARCH (named PKG:ARCH), which is added first if need
# be. Where that fails and nothing of ARCH is installed, an ARCH this added
# goes again, so that a mirror's broken index for it does not stay behind
# to fail every later update.
try_foreign_packages() {
  local arch=$1 added=
  shift
  if ! dpkg --print-foreign-architectures | grep -qx "$arch"; then
    dpkg --add-architecture "$arch"
    added=1
  fi
  try_packages "$@" && return 0
  if [ -n "$added" ] && ! dpkg-query -W -f='${Architecture}\n' | grep -qx "$arch"; then
    dpkg --remove-architecture "$arch"
  fi
  return 1
}

# need_node MAJOR WHAT: stops unless the node on PATH is at least MAJOR.
need_node() {
  local major
  major=$(node -p 'process.versions.node.split(".")[0]' 2>/dev/null || echo 0)
  if [ "$major" -lt "$1" ]; then
    echo "$2 needs Node.js $1 or later; found: $(node --version 2>/dev/null || echo none)" >&2
    exit 1
  fi
}

# project_version INSPECT: the version idstamp-inspect reports.
project_version() {
  "$1" --version | awk '{print $2}'
}

# unpack_node18 DIR: Debian 12's own Node.js 18 (nodejs and libnode108),
# unpacked into DIR rather than installed over the machine's nodejs, which
# may be a newer build.
unpack_node18() {
  local version debs deb
  version=$(apt-cache madison libnode108 | awk '$3 ~ /^18\./ {print $3; exit}')
  debs=$(mktemp -d)
  (cd "$debs" && apt-get download -qq "nodejs=$version" "libnode108=$version" 2>/dev/null)
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
