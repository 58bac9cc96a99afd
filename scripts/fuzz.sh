#!/usr/bin/env bash
# Builds the libFuzzer targets with clang-16 and runs each for the given seconds (default 60),
# one after another, starting from its seeds in tests/fuzz/corpus/<name>/ and with
# tests/fuzz/dict/<name>.dict when there is one. A target that fails has its whole report
# printed and its input kept in build-fuzz/crashes/; everything else a run writes goes to
# one scratch folder that is removed at the end.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
build="$root/build-fuzz"
CC=clang-16 CXX=clang++-16 KB_BUILD_DIR="$build" \
  KB_CMAKE_OPTIONS="-DKB_FUZZ=ON -DKB_UI=OFF -DKB_BENCH=OFF -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link,address,undefined -DCMAKE_C_FLAGS=-fsanitize=fuzzer-no-link,address,undefined" \
  "$root/scripts/build.sh" --target fuzz_targets

# The stores sync every file they write: a memory file system keeps that cheap.
scratch_parent=/tmp
[ -d /dev/shm ] && [ -w /dev/shm ] && scratch_parent=/dev/shm
work=$(mktemp -d "$scratch_parent/kb-fuzz.XXXXXX")
trap 'rm -rf "$work"' EXIT
export TMPDIR="$work"
export ASAN_OPTIONS=external_symbolizer_path=/usr/bin/llvm-symbolizer-16
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

shopt -s nullglob
failed=()
started=$SECONDS
for target in "$build"/tests/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  name=${name#fuzz_}
  run="$work/$name"
  mkdir -p "$run/corpus"
  options=(-max_total_time="$seconds" -rss_limit_mb=2048 -timeout=30 -artifact_prefix="$run/")
  dict="$root/tests/fuzz/dict/$name.dict"
  [ -f "$dict" ] && options+=(-dict="$dict")
  seeds=()
  [ -d "$root/tests/fuzz/corpus/$name" ] && seeds=("$root/tests/fuzz/corpus/$name")
  echo "fuzzing $name for ${seconds}s"
  if (cd "$run" && "$target" "${options[@]}" "$run/corpus" "${seeds[@]}" >"$run/log" 2>&1); then
    tail -n 2 "$run/log"
  else
    cat "$run/log"
    mkdir -p "$build/crashes"
    for artifact in "$run"/crash-* "$run"/leak-* "$run"/timeout-* "$run"/oom-*; do
      cp "$artifact" "$build/crashes/$name-$(basename "$artifact")"
      echo "input kept in $build/crashes/$name-$(basename "$artifact")"
    done
    failed+=("$name")
  fi
  rm -rf "$run"
done
echo "fuzz stage: $((SECONDS - started))s"
if [ ${#failed[@]} -gt 0 ]; then
  echo "failed: ${failed[*]}"
  exit 1
fi
