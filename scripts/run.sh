#!/usr/bin/env bash
# Runs the Linux build of the tool on the built-in organisation, building it
# first when needed: the optimised build of the linux-run preset (Release,
# build/linux-run), without the tests, and the report program beside it
# (build/linux-run/caldrose-report). Arguments go to the tool; build output
# goes to stderr so that standard output is the tool's alone.
set -euo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

caldrose_install_missing "${CALDROSE_LINUX_PACKAGES[@]}"
(
  cd "$CALDROSE_ROOT"
  if [[ ! -f build/linux-run/CMakeCache.txt ]]; then
    cmake --preset linux-run >&2
  fi
  # The report program too, for a run piped into it.
  cmake --build --preset linux-run --target caldrose caldrose-report >&2
)
exec "$CALDROSE_ROOT/build/linux-run/caldrose" "$@"
