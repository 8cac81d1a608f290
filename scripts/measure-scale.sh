#!/usr/bin/env bash
# Measures the tool at scale (docs/scale.md): builds the benchmarks (Release,
# g++, build/bench), runs the hot paths under Google Benchmark, then whole
# runs in-process on generated organisations.
#
#   bash scripts/measure-scale.sh            the figures of docs/scale.md
#   bash scripts/measure-scale.sh --smoke    a short run that CI keeps alive
#   bash scripts/measure-scale.sh --instructions
#                                            instructions per mailbox (callgrind)
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
# Verrick's processes: 100 mailboxes of each size.
for mailboxes in 1000 10000; do
  generate "$mailboxes"
  build/bench/caldrose_whole_run "$work/$mailboxes.json" 100
done
# Instructions, which do not depend on what else the machine is doing:
# bash scripts/measure-scale.sh --instructions counts them under callgrind
# for 1, 250 and 1,000 picked mailboxes of the 1,000-mailbox organisation.
