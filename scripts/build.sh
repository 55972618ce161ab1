#!/usr/bin/env bash
# Configures and builds. Usage: build.sh [--sanitize]
# Builds into build/, or build-sanitize/ with the sanitizers.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
if [ "${1:-}" = "--sanitize" ]; then
  cmake -S "$top" -B "$top/build-sanitize" -DORV_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
  cmake --build "$top/build-sanitize" --parallel "$(nproc)"
else
  cmake -S "$top" -B "$top/build"
  cmake --build "$top/build" --parallel "$(nproc)"
fi
