#!/usr/bin/env bash
# Installs what is needed, builds and runs every test.
#   --sanitize    the same with AddressSanitizer and UndefinedBehaviorSanitizer
#   --tsan        only the tests labelled "threads" or "processes", with ThreadSanitizer
#   --no-install  skip the package step
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
install=1 sanitize="" labels=()
for a in "$@"; do
  case "$a" in
    --no-install) install=0 ;;
    --sanitize) sanitize="--sanitize" ;;
    --tsan) sanitize="--tsan"; labels=(-L 'threads|processes') ;;
    *) echo "unknown option $a" >&2; exit 2 ;;
  esac
done
if [ "$install" = 1 ]; then "$top/scripts/install-deps.sh"; fi
# Each test file keeps its names its own in the unity build; a file that
# does not, or a test name given twice in one binary, fails here, named.
# Each test file includes what it uses: one that names what only another
# file of its batch includes builds until a new file moves the batches.
if [ -z "$sanitize" ]; then
  python3 "$top/scripts/test-file-names.py"
  python3 "$top/scripts/test-includes.py"
fi
"$top/scripts/build.sh" $sanitize
cd "$top/build${sanitize:+-${sanitize#--}}"
export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy
# A race is a failure, not a warning.
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 ${TSAN_OPTIONS:-}"
# CTest starts the longest tests first by its record of the last run; a new
# build folder starts from the record kept in the tree, so that the
# minutes-long runs do not start last; the record puts the data set
# fixtures (battle_data, then game_data) first, as those runs wait for them.
# Two more tests than cores: the long runs spend much of their time waiting
# on the real clock.
if [ ! -f Testing/Temporary/CTestCostData.txt ]; then
  mkdir -p Testing/Temporary
  cp "$top/scripts/test-costs.txt" Testing/Temporary/CTestCostData.txt
fi
ctest "${labels[@]}" --output-on-failure --parallel "$(( $(nproc) + 2 ))" --timeout 300
# Each benchmark once, for a few iterations (half a minute): one that
# reports an error fails the run.
if [ -z "$sanitize" ] && grep -q '^ORV_BENCHMARKS:BOOL=ON' CMakeCache.txt; then
  "$top/scripts/bench-smoke.sh" "$PWD"
fi
