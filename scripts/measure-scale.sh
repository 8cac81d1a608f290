#!/usr/bin/env bash
# Measures the tool at scale (docs/scale.md): builds the benchmarks (Release,
# g++, build/bench), runs the hot paths under Google Benchmark, then whole
# runs in-process on generated organisations.
#
#   bash scripts/measure-scale.sh            the figures of docs/scale.md
#   bash scripts/measure-scale.sh --smoke    a short run that CI keeps alive
set -euo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
cd "$CALDROSE_ROOT"
caldrose_install_missing "${CALDROSE_LINUX_PACKAGES[@]}" "${CALDROSE_BENCH_PACKAGES[@]}"

smoke=false
[[ ${1:-} == --smoke ]] && smoke=true

cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=g++ \
  -DCALDROSE_BENCHMARKS=ON -DCALDROSE_WARNINGS_AS_ERRORS=ON >/dev/null
cmake --build build/bench

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
generate() { scripts/generate-organisation --mailboxes "$1" --groups 1000 --aces 500 "${@:2}" >"$work/$1${2:-}.json"; }

echo "==> Hot paths"
if $smoke; then
  build/bench/caldrose_bench --benchmark_min_time=0.01 --benchmark_filter='Indexed|EachName|/1000$'
else
  build/bench/caldrose_bench --benchmark_min_time=0.5
fi

echo "==> Whole runs"
if $smoke; then
  generate 20
  build/bench/caldrose_whole_run "$work/20.json" 20
  exit 0
fi
# The tool's own cost at 1,000 and 10,000 mailboxes, without Verrick's
# processes; then Verrick's processes, 100 mailboxes at each size.
for mailboxes in 1000 10000; do
  generate "$mailboxes" --without-verrick
  build/bench/caldrose_whole_run "$work/$mailboxes--without-verrick.json" "$mailboxes"
done
for mailboxes in 1000 10000; do
  generate "$mailboxes"
  build/bench/caldrose_whole_run "$work/$mailboxes.json" 100
done
