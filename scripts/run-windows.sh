#!/usr/bin/env bash
# Runs the Windows build of the tool (its x86-64 twin, which Wine runs here)
# under Wine on the emulated platform,
# as scripts/run.sh runs the Linux build: the same arguments, dialog
# answers on standard input, CALDROSE_ORGANISATION for another
# organisation. Builds what it needs first; build and set-up output goes to
# stderr so that standard output is the tool's alone. Each run has a copy
# of a private prefix that is set up once.
set -euo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
source "$(dirname "${BASH_SOURCE[0]}")/wine.sh"

caldrose_install_missing "${CALDROSE_LINUX_PACKAGES[@]}" "${CALDROSE_WINDOWS_PACKAGES[@]}"
(
  cd "$CALDROSE_ROOT"
  if [[ ! -f build/windows-x64/CMakeCache.txt ]]; then
    cmake --preset windows-x64 >&2
  fi
  cmake --build --preset windows-x64 >&2
)

caldrose_wine_private_prefix

# An organisation file named relative to where the script was started.
if [[ -n ${CALDROSE_ORGANISATION:-} ]]; then
  CALDROSE_ORGANISATION=$(realpath -m "$CALDROSE_ORGANISATION")
  export CALDROSE_ORGANISATION
fi
rc=0
wine 'C:\caldrose\caldrose.exe' "$@" || rc=$?
exit "$rc"
