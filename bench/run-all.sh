#!/usr/bin/env bash
# Runs every benchmark program of a bench build (medians of 5 repetitions)
# and ends with the BENCH summary lines of all of them.
set -euo pipefail
build=$1
summary=$(mktemp)
trap 'rm -f "$summary"' EXIT
for exe in "$build"/*_bench; do
  [ -x "$exe" ] || continue
  echo "== $(basename "$exe")"
  "$exe" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true --benchmark_color=false | tee -a "$summary" | grep -v '^BENCH' || true
done
echo
sed 's/\x1b\[[0-9;]*m//g' "$summary" | grep '^BENCH' || { echo "no benchmark results"; exit 1; }
