#!/usr/bin/env bash
# Builds the libFuzzer targets with clang-16 and runs each for the given seconds (default 60).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
build="$root/build-fuzz"
CC=clang-16 CXX=clang++-16 KB_BUILD_DIR="$build" \
  KB_CMAKE_OPTIONS="-DKB_FUZZ=ON -DKB_UI=OFF -DKB_BENCH=OFF -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link,address,undefined -DCMAKE_C_FLAGS=-fsanitize=fuzzer-no-link,address,undefined" \
  "$root/scripts/build.sh" --target fuzz_targets
export ASAN_OPTIONS=external_symbolizer_path=/usr/bin/llvm-symbolizer-16
shopt -s nullglob
for target in "$build"/tests/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  corpus=$(mktemp -d)
  echo "fuzzing $(basename "$target") for ${seconds}s"
  "$target" -max_total_time="$seconds" -rss_limit_mb=2048 "$corpus" 2>&1 | tail -n 3
  rm -rf "$corpus"
done
