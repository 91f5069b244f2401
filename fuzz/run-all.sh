#!/usr/bin/env bash
# Runs every libFuzzer target of a fuzz build for a short while on its corpus.
set -euo pipefail
build=$1
secs=${FUZZ_SECONDS:-30}
cd "$(dirname "$0")"
for src in *_fuzz.cpp; do
  name=${src%.cpp}
  mkdir -p "corpus/$name"
  echo "== $name ($secs s)"
  "../$build/$name" -max_total_time="$secs" -max_len=65536 "corpus/$name" || exit 1
done
