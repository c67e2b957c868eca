#!/usr/bin/env bash
# The bash completion, sourced as bash-completion would: what it offers for
# the word under the cursor in a few command lines.
#
# usage: completion_test.sh COMPLETION_FILE
set -u
# shellcheck source=/dev/null
. "$1" || exit 1
failures=0

# check WANT CWORD WORDS...: completes WORDS[CWORD] and expects the offers WANT.
check() {
  local want=$1 cword=$2 func
  shift 2
  func=$(complete -p "$1" 2>/dev/null) || {
    echo "FAIL: no completion for $1"
    failures=$((failures + 1))
    return
  }
  func=${func#*-F }
  func=${func%% *}
  COMP_WORDS=("$@")
  COMP_CWORD=$cword
  COMPREPLY=(stale)
  "$func" "$1" "${COMP_WORDS[cword]}" "${COMP_WORDS[cword - 1]}"
  if [[ "${COMPREPLY[*]}" != "$want" ]]; then
    echo "FAIL: '$*' at word $cword: got '${COMPREPLY[*]}', want '$want'"
    failures=$((failures + 1))
  fi
}

# idstamp: --help and --version only as the first and only argument.
check '-i -c -d -t --help --version' 1 idstamp ''
check '--help --version' 1 idstamp --
check '--version' 1 idstamp --v
check '-i -c -d -t' 1 idstamp '' -c
check '-i -c -d -t' 2 idstamp -c ''
check '' 3 idstamp -i ABC --
check '' 2 idstamp --help ''
check '' 2 idstamp --version -
check '-i -c -d -t' 3 idstamp -i ABC -
# After -i or -t comes a value, even one that looks like an option.
check '' 2 idstamp -i ''
check '' 2 idstamp -i -
check '' 5 idstamp -c -i X -t ''
check '' 3 idstamp -i -t ''
check '-i -c -d -t' 4 idstamp -i -t 10 ''

# idstamp-inspect [-t MINUTES] [--json] [--at MOMENT] [--] TOKEN, or
# --batch [-z] and the same options but no token.
check '-t --json --at --batch --' 1 idstamp-inspect ''
check '--json --at --batch --' 1 idstamp-inspect --
check '' 1 idstamp-inspect --h
check '' 2 idstamp-inspect -t ''
check '' 2 idstamp-inspect -t -
check '' 2 idstamp-inspect --at ''
check '-t --json --at --batch --' 3 idstamp-inspect -t 5 ''
check '-t --json --at --batch --' 3 idstamp-inspect --at 2026-12-08 -
check '-t --json --at --batch --' 2 idstamp-inspect --json -
check '' 2 idstamp-inspect -- ''
check '' 3 idstamp-inspect --json -- -
check '' 2 idstamp-inspect 5109B8788C4A757 ''
check '' 4 idstamp-inspect -t 5 5109B8788C4A757 -
check '-z -t --json --at' 2 idstamp-inspect --batch -
check '-z' 4 idstamp-inspect -t 5 --batch -z
check '' 3 idstamp-inspect --batch --at ''

if ((failures)); then
  echo "completion: $failures failed"
  exit 1
fi
echo "completion: all passed"
