#!/usr/bin/env bash
# The full check: the Linux build and its tests on the emulated platform,
# the Windows cross-build, and that build run under Wine.
set -euo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
cd "$CALDROSE_ROOT"

caldrose_install_missing "${CALDROSE_LINUX_PACKAGES[@]}" "${CALDROSE_CLANG_PACKAGES[@]}" \
  "${CALDROSE_WINDOWS_PACKAGES[@]}" "${CALDROSE_BENCH_PACKAGES[@]}"

results=()
failures=0

# stage NAME COMMAND...: runs one stage and records its outcome and time.
stage() {
  local name=$1 started=$SECONDS
  shift
  echo
  echo "==> $name"
  if "$@"; then
    results+=("ok       $name ($((SECONDS - started))s)")
    return 0
  fi
  results+=("FAILED   $name ($((SECONDS - started))s)")
  failures=$((failures + 1))
  return 1
}

skip() {
  results+=("skipped  $1 (needs: $2)")
}

# preset_build PRESET and preset_tests PRESET: one Linux configuration.
preset_build() { cmake --preset "$1" && cmake --build --preset "$1"; }
preset_tests() {
  ctest --preset "$1" --output-on-failure || return 1
  # The fault sweep's figure: how many platform calls it failed and warned.
  "build/$1/caldrose_tests" --gtest_filter='FaultSweep.*' | grep '^fault sweep:'
}
windows_build() { cmake --preset windows && cmake --build --preset windows; }
wine_check() { bash tests/wine/check.sh build/windows/caldrose.exe; }
wine_transcripts() { bash tests/wine/transcripts.sh build/linux/caldrose_tests; }

# A failed stage skips the stages that need it and lets the others run, so
# that one run reports everything that is broken.
# The Debug build with g++ (the presets' own), then Release with g++ and
# Debug with clang++: every one builds with warnings as errors and passes
# the tests.
for preset in linux linux-release linux-clang; do
  if stage "Linux build ($preset)" preset_build "$preset"; then
    stage "Linux tests ($preset, ctest)" preset_tests "$preset" || true
  else
    skip "Linux tests ($preset, ctest)" "Linux build ($preset)"
  fi
done
# A short run of the benchmarks at small sizes, so that they keep building
# and running (the figures of docs/scale.md come from the full run).
stage "Benchmark smoke run" bash scripts/measure-scale.sh --smoke || true
if stage "Windows cross-build" windows_build; then
  stage "Windows build under Wine" wine_check || true
  # The transcript table on the Windows build; the Linux test program drives it.
  if [[ -x build/linux/caldrose_tests ]]; then
    stage "Windows transcripts under Wine" wine_transcripts || true
  else
    skip "Windows transcripts under Wine" "Linux build (linux)"
  fi
else
  skip "Windows build under Wine" "Windows cross-build"
  skip "Windows transcripts under Wine" "Windows cross-build"
fi

echo
echo "==> Summary"
printf '  %s\n' "${results[@]}"
if [[ $failures -ne 0 ]]; then
  echo "FAILED: $failures stage(s)"
  exit 1
fi
echo "All stages passed."
