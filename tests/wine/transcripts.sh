#!/usr/bin/env bash
# Runs the transcript table (tests/transcripts/cases.json) on the Windows
# build under Wine: the Linux test program drives it, with every case's
# caldrose.exe started by Wine in one copy of the private prefix
# (scripts/wine.sh) and one Wine server for all of them.
#
# Usage: tests/wine/transcripts.sh [path/to/caldrose_tests]
set -euo pipefail

CALDROSE_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
source "$CALDROSE_ROOT/scripts/wine.sh"
tests=${1:-$CALDROSE_ROOT/build/linux/caldrose_tests}
for file in "$tests" "${CALDROSE_WINDOWS_FILES[@]/#/$CALDROSE_WINDOWS_BUILD/}"; do
  if [[ ! -f $file ]]; then
    echo "wine transcripts: $file not found; build the linux and windows-x64 presets first" >&2
    exit 2
  fi
done

started=$SECONDS
caldrose_wine_private_prefix
wineserver -p
echo "wine transcripts: prefix ready in $((SECONDS - started))s"

export CALDROSE_WINE_PREFIX=$WINEPREFIX
"$tests" --gtest_filter='Wine/*' --gtest_brief=1
echo "wine transcripts: done in $((SECONDS - started))s"
