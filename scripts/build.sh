#!/usr/bin/env bash
# Configures and builds into $KB_BUILD_DIR (default build/); extra CMake options in $KB_CMAKE_OPTIONS.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KB_BUILD_DIR:-$root/build}
# shellcheck disable=SC2086
cmake -S "$root" -B "$build" -G Ninja ${KB_CMAKE_OPTIONS:-} >/dev/null
cmake --build "$build" -j "$(nproc)" "$@"
