#!/usr/bin/env bash
# The full check: the Linux build and its tests on the emulated platform,
# the directory's tests on a throw-away Samba domain controller, the Windows
# cross-build, and that build run under Wine.
set -euo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
cd "$CALDROSE_ROOT"

caldrose_install_missing "${CALDROSE_LINUX_PACKAGES[@]}" "${CALDROSE_CLANG_PACKAGES[@]}" \
  "${CALDROSE_SANITIZER_PACKAGES[@]}" "${CALDROSE_WINDOWS_PACKAGES[@]}" "${CALDROSE_BENCH_PACKAGES[@]}" \
  "${CALDROSE_SAMBA_PACKAGES[@]}"

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
# The fuzz targets, each for a bounded time on its seed corpus and on what
# earlier runs found (kept under build/linux-fuzz/corpus).
fuzz_seconds=${CALDROSE_FUZZ_SECONDS:-20}
fuzz_build() { cmake --preset linux-fuzz && cmake --build --preset linux-fuzz; }
# The organisation reader gets inputs up to 1 MiB: its cost must follow the
# size of a file whatever its shape.
fuzz_run() {
  local target=$1 found="build/linux-fuzz/corpus/$1" log="build/linux-fuzz/$1.log" options=()
  [[ $target == organisation_fuzz ]] && options=(-max_len=1048576)
  mkdir -p "$found" build/linux-fuzz/artifacts
  if "build/linux-fuzz/fuzz/$target" -max_total_time="$fuzz_seconds" -timeout=10 -rss_limit_mb=2048 "${options[@]}" \
    -artifact_prefix=build/linux-fuzz/artifacts/ -print_final_stats=1 "$found" "fuzz/corpus/$target" >"$log" 2>&1; then
    grep -E '^stat::number_of_executed_units' "$log" || true
    return 0
  fi
  tail -n 60 "$log"
  return 1
}
# The directory table on a throw-away Samba domain controller seeded from
# the table's organisation: served over LDAP, it must give the same
# transcript, in the Debug build and under the sanitizers. The DC must be
# gone afterwards.
samba_directory() {
  local log=build/linux/samba-directory.log programs=() program
  for program in build/linux/caldrose_tests build/linux-asan/caldrose_tests; do
    [[ -x $program ]] && programs+=("$program")
  done
  bash scripts/samba-dc.sh tests/organisations/directory.json -- bash -c \
    'for program; do "$program" --gtest_filter="DirectoryTable.*" || exit 1; done' - "${programs[@]}" 2>&1 |
    tee "$log"
  [[ ${PIPESTATUS[0]} -eq 0 ]] || return 1
  if [[ $(grep -c '^\[  PASSED  \] 1 test' "$log") -ne ${#programs[@]} ]]; then
    echo "the directory table did not run in every build"
    return 1
  fi
  if ip netns list | grep -q '^caldrose-dc-'; then
    echo "a domain controller's network namespace was left behind"
    return 1
  fi
}
windows_build() { cmake --preset "$1" && cmake --build --preset "$1"; }
windows_imports() { python3 tests/windows/check_imports.py build/windows; }
wine_check() { bash tests/wine/check.sh build/windows-x64/caldrose.exe; }
wine_transcripts() { bash tests/wine/transcripts.sh build/linux/caldrose_tests; }

# A failed stage skips the stages that need it and lets the others run, so
# that one run reports everything that is broken.
# The Debug build with g++ (the presets' own), then Release with g++, and
# Debug with clang++ under AddressSanitizer, LeakSanitizer and
# UndefinedBehaviorSanitizer: every one builds with warnings as errors and
# passes the tests, the sanitized one without a finding.
for preset in linux linux-release linux-asan; do
  if stage "Linux build ($preset)" preset_build "$preset"; then
    stage "Linux tests ($preset, ctest)" preset_tests "$preset" || true
  else
    skip "Linux tests ($preset, ctest)" "Linux build ($preset)"
  fi
done
if [[ -x build/linux/caldrose_tests ]]; then
  stage "Directory table on a Samba domain controller" samba_directory || true
else
  skip "Directory table on a Samba domain controller" "Linux build (linux)"
fi
# A short run of the benchmarks at small sizes, so that they keep building
# and running (the figures of docs/scale.md come from the full run).
stage "Benchmark smoke run" bash scripts/measure-scale.sh --quick || true
if stage "Fuzz targets build (linux-fuzz)" fuzz_build; then
  for target in organisation_fuzz console_format_fuzz server_name_fuzz smtp_address_fuzz ldap_filter_fuzz \
    command_line_fuzz report_fuzz; do
    stage "Fuzzing $target (${fuzz_seconds}s)" fuzz_run "$target" || true
  done
else
  skip "Fuzzing" "Fuzz targets build (linux-fuzz)"
fi
# The 32-bit build, the one a server runs, is checked from its PE tables:
# the 64-bit Wine installed here runs no 32-bit programs. Its x86-64 twin,
# built from the same sources, runs under Wine.
if stage "Windows 32-bit cross-build" windows_build windows; then
  stage "Windows 32-bit imports" windows_imports || true
else
  skip "Windows 32-bit imports" "Windows 32-bit cross-build"
fi
if stage "Windows x64 cross-build" windows_build windows-x64; then
  stage "Windows build under Wine" wine_check || true
  # The transcript table on the Windows build; the Linux test program drives it.
  if [[ -x build/linux/caldrose_tests ]]; then
    stage "Windows transcripts under Wine" wine_transcripts || true
  else
    skip "Windows transcripts under Wine" "Linux build (linux)"
  fi
else
  skip "Windows build under Wine" "Windows x64 cross-build"
  skip "Windows transcripts under Wine" "Windows x64 cross-build"
fi

echo
echo "==> Summary"
printf '  %s\n' "${results[@]}"
if [[ $failures -ne 0 ]]; then
  echo "FAILED: $failures stage(s)"
  exit 1
fi
echo "All stages passed."
