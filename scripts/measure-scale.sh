#!/usr/bin/env bash
# Measures the tool at scale (docs/scale.md): whole runs with Verrick, as a
# user runs them, in the build that scripts/run.sh runs (the linux-run
# preset, build/linux-run); then the tool alone: the hot paths under Google
# Benchmark and whole runs in-process without Verrick, in a Release build
# with the benchmarks (g++, build/bench).
#
#   bash scripts/measure-scale.sh            the figures of docs/scale.md
#   bash scripts/measure-scale.sh --quick    the same at small sizes, which CI keeps alive
#   bash scripts/measure-scale.sh --instructions
#                                            instructions per mailbox of the tool alone (callgrind)
set -euo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
cd "$CALDROSE_ROOT"
caldrose_install_missing "${CALDROSE_LINUX_PACKAGES[@]}" "${CALDROSE_BENCH_PACKAGES[@]}"

smoke=false
# --smoke: the quick run's former name.
[[ ${1:-} == --quick || ${1:-} == --smoke ]] && smoke=true

cmake --preset linux-run >/dev/null
cmake --build --preset linux-run
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=g++ \
  -DCALDROSE_BENCHMARKS=ON -DCALDROSE_WARNINGS_AS_ERRORS=ON >/dev/null
cmake --build build/bench

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
generate() { scripts/generate-organisation --mailboxes "$1" --groups 1000 --aces 500 "${@:2}" >"$work/$1${2:-}.json"; }

if [[ ${1:-} == --instructions ]]; then
  caldrose_install_missing valgrind
  generate 1000 --without-verrick
  for picks in 1 250 1000; do
    printf '%s picked mailboxes: ' "$picks"
    valgrind --tool=callgrind --callgrind-out-file=/dev/null build/bench/caldrose_whole_run \
      "$work/1000--without-verrick.json" "$picks" 2>&1 >/dev/null | sed -n 's/.*refs: *//p'
  done
  exit 0
fi

echo "==> Whole runs with Verrick (build/linux-run)"
if $smoke; then
  CALDROSE_VERRICK_RUNS=20 python3 scripts/measure_whole_runs.py build/linux-run \
    --starter build/bench/caldrose_verrick_runs 50 200
else
  uptime
  python3 scripts/measure_whole_runs.py build/linux-run --starter build/bench/caldrose_verrick_runs 1000 4000 10000
fi

echo "==> The tool alone: hot paths"
if $smoke; then
  build/bench/caldrose_bench --benchmark_min_time=0.01 --benchmark_filter='Indexed|EachName|/1000$'
else
  build/bench/caldrose_bench --benchmark_min_time=0.5
fi

echo "==> The tool alone: whole runs in-process"
if $smoke; then
  generate 20
  build/bench/caldrose_whole_run "$work/20.json" 20
  exit 0
fi
# The tool's own cost at 1,000 and 10,000 mailboxes, without Verrick's
# processes. A run that picks one mailbox of the same organisation is the
# baseline: what the run costs beyond it is the mailboxes' own, so the
# organisation's reading and the start-up do not blur the per-mailbox
# figures.
figure() { sed -n "s/.*$1 \([0-9.]*\).*/\1/p" <<<"$2"; }
for mailboxes in 1000 10000; do
  generate "$mailboxes" --without-verrick
  one=$(build/bench/caldrose_whole_run "$work/$mailboxes--without-verrick.json" 1)
  all=$(build/bench/caldrose_whole_run "$work/$mailboxes--without-verrick.json" "$mailboxes")
  echo "$one"
  echo "$all"
  awk -v n="$mailboxes" -v c1="$(figure 'own CPU' "$one")" -v cn="$(figure 'own CPU' "$all")" \
    -v p1="$(figure 'platform calls' "$one")" -v pn="$(figure 'platform calls' "$all")" \
    -v m1="$(figure 'peak memory' "$one")" -v mn="$(figure 'peak memory' "$all")" \
    -v middle="$(figure 'at the middle' "$all")" -v last="$(figure 'at the last' "$all")" 'BEGIN {
      printf "beyond one mailbox: %.3f ms own CPU and %.1f platform calls per further mailbox, %.1f MiB more peak memory\n",
        (cn - c1) * 1000 / (n - 1), (pn - p1) / (n - 1), (mn - m1) / 1024
      printf "heap from the middle mailbox to the last: %+.1f MiB (%.0f bytes per mailbox)\n",
        (last - middle) / 1024, (last - middle) * 1024 / (n - int((n + 1) / 2))
    }'
done
# Instructions, which do not depend on what else the machine is doing:
# bash scripts/measure-scale.sh --instructions counts them under callgrind
# for 1, 250 and 1,000 picked mailboxes of the 1,000-mailbox organisation.
