#!/usr/bin/env bash
# Configures and builds. Usage: build.sh [--sanitize | --tsan]
# Builds into build/, or build-sanitize/ with the sanitizers, or build-tsan/
# with ThreadSanitizer (only the tests labelled "threads" or "processes").
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
# Ninja for a new build folder; one made before keeps its generator.
configure() {
  local dir=$1; shift
  local generator=()
  if [ ! -f "$dir/CMakeCache.txt" ] && command -v ninja >/dev/null; then generator=(-G Ninja); fi
  cmake -S "$top" -B "$dir" "${generator[@]}" "$@"
}
case "${1:-}" in
  --sanitize)
    configure "$top/build-sanitize" -DORV_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
    cmake --build "$top/build-sanitize" --parallel "$(nproc)" ;;
  --tsan)
    configure "$top/build-tsan" -DORV_TSAN=ON
    cmake --build "$top/build-tsan" --parallel "$(nproc)" --target orv_threads_tests ;;
  *)
    configure "$top/build"
    cmake --build "$top/build" --parallel "$(nproc)" ;;
esac
