#!/usr/bin/env bash
# Runs the Windows build under Wine, in a fresh prefix, and checks what it
# prints. Wine's mapi32 has no Extended MAPI provider, so a run stops at its
# first MAPI call: this checks the command line, the banner and that the tool
# reports that failure and exits cleanly rather than crashing.
#
# Usage: tests/wine/check.sh [path/to/caldrose.exe]
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
exe=${1:-$root/build/windows-x64/caldrose.exe}
if [[ ! -f $exe ]]; then
  echo "wine: $exe not found; build the windows-x64 preset first" >&2
  exit 2
fi

# The exact standard output for a bad command line: the two banner lines,
# then the usage text, whose last line is empty.
banner_lines=(
  'Tamberlyn Utility - Caldrose.exe (IExchangeManageStore), Version 1.0'
  'Copyright (c) Tamberlyn. All rights reserved.'
)
usage_lines=(
  'Usage: Caldrose [Domain Controller Name]'
  ''
  '[Domain Controller Name]'
  $'\tSpecifies an optional domain controller name for the LDAP query.'
  ''
  'This program uses IExchangeManageStore and CDO to open a mailbox.'
  ''
  'The program prompts the user for a MAPI profile.'
  'The user will then be prompted for a mailbox using the Global Address Book.'
  ''
  'NOTE: if the test fails please refer to the Administration Guide'
  '      for Exchange permission information'
  ''
)
# The start-up steps that can fail on a machine without a MAPI provider.
startup_failure='^(MAPIInitialize\(\)|MAPILogonEx\(\)) failed \([0-9a-f]{8}\)$'

work=$(mktemp -d "${TMPDIR:-/tmp}/caldrose-wine.XXXXXX")
export WINEPREFIX=$work/prefix WINEARCH=win64 WINEDEBUG=-all
# No Mono or Gecko install prompts, and no debugger on a crash: a crash must
# show as an exit code.
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
unset DISPLAY WAYLAND_DISPLAY

cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

started=$SECONDS
mkdir -p "$WINEPREFIX"
# One server for all runs, so that the prefix is set up once.
wineserver -p
wineboot -i </dev/null >/dev/null 2>&1
echo "wine: prefix ready in $((SECONDS - started))s"

printf '%s\n' "${banner_lines[@]}" >"$work/banner"
printf '%s\n' "${banner_lines[@]}" "${usage_lines[@]}" >"$work/usage"

passed=0
failed=0

# Runs the exe with the given arguments; sets rc, and leaves its standard
# output in $work/out without the CRs of Windows text mode.
run() {
  rc=0
  wine "$exe" "$@" </dev/null >"$work/raw" 2>"$work/err" || rc=$?
  tr -d '\r' <"$work/raw" >"$work/out"
}

# fail NAME PROBLEM [EXPECTED_FILE]: reports one failed check with what was seen.
fail() {
  failed=$((failed + 1))
  echo "FAIL $1: $2 (exit code $rc)"
  if [[ -n ${3:-} ]]; then
    diff -u --label expected --label got "$3" "$work/out" || true
  else
    echo "--- got"
    cat "$work/out"
  fi
  if [[ -s $work/err ]]; then
    echo "--- stderr"
    tr -d '\r' <"$work/err"
  fi
}

pass() {
  passed=$((passed + 1))
  echo "PASS $1${2:+: $2}"
}

# A bad command line prints the banner and the usage text, and exits with 1.
check_usage() {
  local name=$1
  shift
  run "$@"
  if [[ $rc -ne 1 ]]; then
    fail "$name" "exit code $rc, expected 1" "$work/usage"
  elif ! cmp -s "$work/usage" "$work/out"; then
    fail "$name" "standard output differs" "$work/usage"
  else
    pass "$name"
  fi
}

# A run that gets past the command line prints the banner and one start-up
# failure line, then releases what it holds and exits with 0.
check_startup() {
  local name=$1
  shift
  run "$@"
  local third_line
  third_line=$(sed -n 3p "$work/out")
  if [[ $rc -ne 0 ]]; then
    fail "$name" "exit code $rc, expected 0"
  elif ! cmp -s "$work/banner" <(head -n 2 "$work/out"); then
    fail "$name" "the banner differs" "$work/banner"
  elif [[ $(wc -l <"$work/out") -ne 3 || -n $(tail -c 1 "$work/out") ]]; then
    fail "$name" "expected the banner and exactly one more line"
  elif ! [[ $third_line =~ $startup_failure ]]; then
    fail "$name" "the third line does not match $startup_failure"
  else
    pass "$name" "$third_line"
  fi
}

check_usage "two arguments" a b
check_usage "three arguments" dc01 extra more
check_startup "no argument"
check_startup "a domain controller name" dc01.example.test

echo "wine: $passed passed, $failed failed"
[[ $failed -eq 0 ]]
