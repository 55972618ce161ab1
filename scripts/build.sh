#!/usr/bin/env bash
# Configures and builds. Usage: build.sh [--sanitize | --tsan]
# Builds into build/, or build-sanitize/ with the sanitizers, or build-tsan/
# with ThreadSanitizer (only the tests labelled "threads").
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
case "${1:-}" in
  --sanitize)
    cmake -S "$top" -B "$top/build-sanitize" -DORV_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
    cmake --build "$top/build-sanitize" --parallel "$(nproc)" ;;
  --tsan)
    cmake -S "$top" -B "$top/build-tsan" -DORV_TSAN=ON
    cmake --build "$top/build-tsan" --parallel "$(nproc)" --target orv_threads_tests ;;
  *)
    cmake -S "$top" -B "$top/build"
    cmake --build "$top/build" --parallel "$(nproc)" ;;
esac
