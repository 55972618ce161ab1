#!/usr/bin/env bash
# Runs every benchmark of a build folder once, for a few iterations, and
# fails when one reports an error or a binary fails: a benchmark that stops
# measuring is found when it breaks, not when someone next reads its figures.
# Usage: bench-smoke.sh [build folder]   (build/ by default)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build}
export SDL_VIDEODRIVER=${SDL_VIDEODRIVER:-offscreen} SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
# Benchmarks write their data under the temporary folder: one of this run's
# own, so a run beside another (a developer's) does not remove theirs.
export TMPDIR=$out
mapfile -t benches < <(find "$build" -name '*_bench' -type f -perm -u+x | sort)
if [ ${#benches[@]} -eq 0 ]; then
  echo "no benchmarks in $build (configure with -DORV_BENCHMARKS=ON)" >&2
  exit 1
fi
failed=0
for bench in "${benches[@]}"; do
  name=$(basename "$bench")
  start=$SECONDS
  # A benchmark that errors still exits 0: its JSON report says so.
  rc=0
  timeout 300 "$bench" --benchmark_min_time=0.01 --benchmark_out="$out/$name.json" \
    --benchmark_out_format=json >"$out/$name.log" 2>&1 || rc=$?
  if [ $rc -ne 0 ]; then
    echo "$name: exit status $rc; its output:"
    cat "$out/$name.log"
    failed=1
    continue
  fi
  if ! python3 - "$out/$name.json" "$name" "$(( SECONDS - start ))" <<'EOF'
import json, sys
report = json.load(open(sys.argv[1]))
runs = report.get("benchmarks", [])
errors = [b for b in runs if b.get("error_occurred")]
for b in errors:
    print("%s: %s: %s" % (sys.argv[2], b["name"], b.get("error_message", "error")))
print("%s: %d benchmarks, %d with errors, %s s" % (sys.argv[2], len(runs), len(errors), sys.argv[3]))
sys.exit(1 if errors or not runs else 0)
EOF
  then
    failed=1
  fi
done
exit $failed
