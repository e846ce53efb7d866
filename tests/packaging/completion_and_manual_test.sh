#!/usr/bin/env bash
# corvanctl's bash completion and manual page against the program's own help: every
# command, option and setting name corvanctl knows is completed and documented, and the
# completion offers what each place on the command line takes.
# Usage: completion_and_manual_test.sh CORVANCTL PACKAGING_FOLDER
set -uo pipefail
ctl=$(realpath "$1")
packaging=$(realpath "$2")
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

scratch=$(mktemp -d /tmp/corvan-completion.XXXXXX)
trap 'rm -rf "$scratch"' EXIT

# shellcheck source=/dev/null
source /usr/share/bash-completion/bash_completion
# shellcheck source=../../packaging/bash-completion/corvanctl
source "$packaging/bash-completion/corvanctl"

# The candidates for the last word of LINE (a trailing blank starts a new word), sorted,
# on one line.
complete_line() {
  local line=$1
  COMP_LINE=$line
  COMP_POINT=${#line}
  read -ra COMP_WORDS <<<"$line"
  [[ $line == *' ' ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _corvanctl corvanctl "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
  printf '%s\n' "${COMPREPLY[@]}" | sed '/^$/d' | sort | paste -sd' '
}
expect() {
  local got
  got=$(complete_line "$1")
  [[ $got == "$2" ]] || fail "'$1' completes to '$got', expected '$2'"
}
words() { tr ' ' '\n' | sed '/^$/d' | sort -u | paste -sd' '; }

# What corvanctl itself says it has.
commands=$("$ctl" --help | sed -n '/^Commands:/,/^$/p' | grep -E '^  [a-z]' | awk '{print $1}' | words)
[[ -n $commands ]] || fail "no commands in corvanctl --help"
mkdir "$scratch/folder" "$scratch/files"
printf '<xml>\r\n  <MainUnit>STT</MainUnit>\r\n</xml>\r\n' >"$scratch/folder/CorvanSrvc-Settings.xml"
settable=$("$ctl" --folder "$scratch/folder" settings | sed -n 's/=.*//p' | grep -v -x -E 'WWWHostActive|GUID' | words)
[[ -n $settable ]] || fail "no settings from corvanctl settings"

# Commands, options and setting names: all of them, nothing else.
expect "corvanctl " "$commands"
expect "corvanctl --folder /tmp " "$commands"
expect "corvanctl -" "--folder --help"
for command in $commands; do
  options=$({ "$ctl" "$command" --help | grep -o -E -- '--[a-z][a-z-]*'; echo --help; } | words)
  expect "corvanctl $command -" "$options"
done
expect "corvanctl settings " "set"
expect "corvanctl settings set " "$settable"
expect "corvanctl settings set MainUnit STT " "$settable"
expect "corvanctl settings set Ma" "MainUnit"

# Values where they are few, files and folders where they are asked for.
for name in ProcessTarnexTCPFeed PrintTestPageAtStartup EnablePrinting PrintCFSTasks; do
  expect "corvanctl settings set $name " "False True"
done
expect "corvanctl settings set UDPListenPort " "0 15167"
expect "corvanctl settings set MainUnit " ""
touch "$scratch/files/VEKUnits.xml" "$scratch/files/suburbs.txt"
mkdir "$scratch/files/program"
cd "$scratch/files" || exit 1
expect "corvanctl parse --units V" "VEKUnits.xml"
expect "corvanctl --folder " "program"
expect "corvanctl units s" "suburbs.txt"
expect "corvanctl units a.xml " ""
expect "corvanctl units f" "fetch"
expect "corvanctl units fetch " ""
expect "corvanctl status " ""
expect "corvanctl metrics --output s" "suburbs.txt"
expect "corvanctl check --critical-age " ""
expect "corvanctl check --warning-age 300 -" "--critical-age --folder --help --warning-age"
expect "corvanctl diag --output V" "VEKUnits.xml"
expect "corvanctl diag --max-size " ""
expect "corvanctl diag --max-size 8 -" "--folder --help --max-size --output --with-tasks"

# The manual page, as man renders it without hyphenation, names each of them and the
# environment variable corvanctl reads.
page=$(groff -man -Tascii -rHY=0 -rLL=200n "$packaging/man/corvanctl.1" 2>&1 | col -b)
for word in $commands $settable CORVAN_FOLDER --folder --help \
  $(for command in $commands; do "$ctl" "$command" --help | grep -o -E -- '--[a-z][a-z-]*'; done | words); do
  grep -q -w -F -- "$word" <<<"$page" || fail "corvanctl(1) does not mention $word"
done
for page in corvanctl corvancontrol; do
  warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l "$packaging/man/$page.1" 2>&1 >/dev/null)
  [[ -z $warnings ]] || fail "$page(1): $warnings"
done

if ((failures > 0)); then
  echo "$failures failures" >&2
  exit 1
fi
echo "completion and manual page agree with corvanctl"
