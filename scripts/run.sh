#!/usr/bin/env bash
# Runs the Linux build of the tool on the built-in organisation, building it
# first when needed: the optimised build of the linux-run preset (Release,
# build/linux-run), without the tests. Arguments go to the tool; build
# output goes to stderr so that standard output is the tool's alone.
set -euo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

caldrose_install_missing "${CALDROSE_LINUX_PACKAGES[@]}"
(
  cd "$CALDROSE_ROOT"
  if [[ ! -f build/linux-run/CMakeCache.txt ]]; then
    cmake --preset linux-run >&2
  fi
  cmake --build --preset linux-run --target caldrose >&2
)
exec "$CALDROSE_ROOT/build/linux-run/caldrose" "$@"
