#!/usr/bin/env bash
# Runs every benchmark program of a bench build (medians of 5 repetitions)
# and ends with the BENCH summary lines of all of them. The repetitions of a
# program's benchmarks are interleaved in random order, so that an engine
# figure and its reference meet the machine in the same moods (a shared
# virtual machine can change speed by half within a minute).
set -euo pipefail
build=$1
summary=$(mktemp)
trap 'rm -f "$summary"' EXIT
for exe in "$build"/*_bench; do
  [ -x "$exe" ] || continue
  echo "== $(basename "$exe")"
  "$exe" --benchmark_repetitions=5 --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true --benchmark_color=false \
    | sed 's/\x1b\[[0-9;]*m//g' | tee -a "$summary" | grep -v '^BENCH' || true
done
echo
grep '^BENCH' "$summary" || { echo "no benchmark results"; exit 1; }
