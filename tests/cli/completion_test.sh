#!/usr/bin/env bash
# The bash completion, sourced alone and then with bash-completion loaded
# (where it is installed): what it offers for the word under the cursor in a
# few command lines.
#
# usage: completion_test.sh COMPLETION_FILE [BASH_COMPLETION]
set -u
# shellcheck source=/dev/null
. "$1" || exit 1
bash_completion=${2:-/usr/share/bash-completion/bash_completion}
failures=0

# complete_line WANT LINE POINT CWORD WORDS...: completes WORDS[CWORD], the
# words bash made of LINE with the cursor at POINT, and expects WANT.
complete_line() {
  local want=$1 func
  COMP_LINE=$2 COMP_POINT=$3 COMP_CWORD=$4
  shift 4
  func=$(complete -p "$1" 2>/dev/null) || {
    echo "FAIL: no completion for $1"
    failures=$((failures + 1))
    return
  }
  func=${func#*-F }
  func=${func%% *}
  COMP_WORDS=("$@")
  COMPREPLY=(stale)
  "$func" "$1" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
  if [[ "${COMPREPLY[*]}" != "$want" ]]; then
    echo "FAIL${pass:+ ($pass)}: '$COMP_LINE' at word $COMP_CWORD: got '${COMPREPLY[*]}', want '$want'"
    failures=$((failures + 1))
  fi
}

# check WANT CWORD WORDS...: the words typed with one blank between them,
# WORDS[CWORD] completed at its end.
check() {
  local want=$1 cword=$2
  shift 2
  local before=("${@:1:cword+1}")
  local typed="${before[*]}"
  complete_line "$want" "$*" "${#typed}" "$cword" "$@"
}

# check_split WANT LINE WORDS...: LINE as typed, which bash splits into WORDS
# at blanks and at every ':', completed at its end.
check_split() {
  local want=$1 line=$2
  shift 2
  complete_line "$want" "$line" "${#line}" $(($# - 1)) "$@"
}

tests() {

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
check '-z -t --json --at --summary --moments --log --param' 2 idstamp-inspect --batch -
check '--summary' 3 idstamp-inspect --batch --json --s
check 'clf' 3 idstamp-inspect --batch --log ''
check '' 3 idstamp-inspect --batch --param ''
check '--batch' 4 idstamp-inspect --log clf --json --b
check '-z' 4 idstamp-inspect -t 5 --batch -z
check '' 3 idstamp-inspect --batch --at ''
# A --at moment, which bash splits at each ':', is one value.
check_split '-t --json --at --batch --' "idstamp-inspect --at 2021-10-31T00:30:00 -" \
  idstamp-inspect --at 2021-10-31T00 : 30 : 00 -
check_split '-z -t --json --at --summary --moments --log --param' "idstamp-inspect --batch --at 2021-10-31T00:30:00.250 " \
  idstamp-inspect --batch --at 2021-10-31T00 : 30 : 00.250 ''
check_split '-t --json --at --batch --' "idstamp-inspect --at '2021-10-31 00:30:00' " \
  idstamp-inspect --at "'2021-10-31 00:30:00'" ''
check_split '' "idstamp-inspect --at 2021-10-31T00:30:" idstamp-inspect --at 2021-10-31T00 : 30 :
# A blank after a ':' ends the value, and options may follow.
check_split '-t --json --at --batch --' "idstamp-inspect --at 2021-10-31T00: -" \
  idstamp-inspect --at 2021-10-31T00 : -
check_split '-i -c -d -t' "idstamp -i a:b -" idstamp -i a : b -
}

pass="alone"
tests
if [[ -r $bash_completion ]]; then
  # shellcheck source=/dev/null
  . "$bash_completion"
  declare -F _get_comp_words_by_ref >/dev/null || {
    echo "FAIL: $bash_completion has no _get_comp_words_by_ref"
    failures=$((failures + 1))
  }
  pass="with bash-completion"
  tests
else
  echo "completion: $bash_completion not installed, tested alone"
fi

if ((failures)); then
  echo "completion: $failures failed"
  exit 1
fi
echo "completion: all passed"
