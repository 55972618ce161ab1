#!/usr/bin/env bash
# afl.sh [--plain] <driver> <seconds>: fuzzes one driver with AFL++ for that
# long and copies the crashes it finds into fuzz/regressions/<driver>/.
#
# The drivers are built with AFL++'s classic instrumentation (afl-gcc and
# afl-g++; Debian 12's GCC plugin does not load) and the sanitizers, into
# build-afl/; --plain leaves the sanitizers out (build-afl-plain/), which runs
# about three times as fast but sees only the faults that crash by
# themselves. The seeds are made there as the tests make them, and with the
# driver's regressions they are the first inputs. Everything afl-fuzz writes
# stays under <build>/fuzz/afl/<driver>/.
set -euo pipefail
usage="usage: fuzz/afl.sh [--plain] <driver> <seconds>"
top=$(cd "$(dirname "$0")/.." && pwd)
build=$top/build-afl sanitize=ON
if [ "${1:-}" = "--plain" ]; then
  build=$top/build-afl-plain sanitize=OFF
  shift
fi
driver=${1:?$usage}
seconds=${2:?$usage}
regressions=$top/fuzz/regressions/$driver
[ -d "$regressions" ] || { echo "no driver named $driver (no $regressions)" >&2; exit 2; }
if ! command -v afl-g++ >/dev/null; then
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends afl++
fi

# One build at a time, so several drivers can be fuzzed at once.
mkdir -p "$build"
exec 9>"$build/afl-build.lock"
flock 9
if [ ! -f "$build/CMakeCache.txt" ]; then
  CC=afl-gcc CXX=afl-g++ cmake -S "$top" -B "$build" -DORV_SANITIZE=$sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build" --parallel 4 --target "fuzz_$driver" fuzz_make_seeds
flock -u 9

work=$build/fuzz/afl/$driver
rm -rf "$work"
mkdir -p "$work/in" "$work/tmp"
seeds=$work/seeds
TMPDIR=$work/tmp "$build/fuzz/fuzz_make_seeds" "$seeds/own"
"$top/fuzz/make-outside-seeds.sh" "$seeds/outside" 2>/dev/null || echo "some outside seeds could not be made" >&2
for folder in "$seeds/own/$driver" "$seeds/outside/$driver" "$regressions"; do
  [ -d "$folder" ] || continue
  find "$folder" -maxdepth 1 -type f ! -name '.*' -size -1024k -exec cp {} "$work/in/" \;
done

dictionary=()
[ -f "$top/fuzz/dict/$driver.dict" ] && dictionary=(-x "$top/fuzz/dict/$driver.dict")
# libvorbisfile's own leak on a failed open, fontconfig's kept configuration
# are no findings (lsan.supp); afl-fuzz asks for symbolize=0 in any
# LSAN_OPTIONS.
leaks=()
case $driver in ogg | sound_buffer | menu_scene) leaks=("LSAN_OPTIONS=suppressions=$top/fuzz/lsan.supp:symbolize=0") ;; esac
# The driver's own folders (and those a crashed run leaves) go to tmp/.
env "${leaks[@]}" TMPDIR=$work/tmp AFL_NO_UI=1 AFL_SKIP_CPUFREQ=1 AFL_NO_AFFINITY=1 AFL_I_DONT_CARE_ABOUT_MISSING_CRASHES=1 \
  afl-fuzz -i "$work/in" -o "$work/out" -m none -t 2000 -V "$seconds" "${dictionary[@]}" \
  -- "$build/fuzz/fuzz_$driver" @@ >"$work/afl.log" 2>&1 || { tail -30 "$work/afl.log" >&2; exit 1; }

stats=$work/out/default/fuzzer_stats
grep -E '^(execs_done|execs_per_sec|corpus_count|saved_crashes|saved_hangs|unique_crashes|unique_hangs) ' "$stats" || true

# Each crash joins the regressions under the hash of its bytes, once.
new=0
for crash in "$work"/out/default/crashes/id:*; do
  [ -f "$crash" ] || continue
  name=crash-$(sha1sum "$crash" | cut -c1-16)
  if [ ! -f "$regressions/$name" ]; then
    cp "$crash" "$regressions/$name"
    echo "new regression: fuzz/regressions/$driver/$name"
    new=$((new + 1))
  fi
done
for hang in "$work"/out/default/hangs/id:*; do
  [ -f "$hang" ] && echo "hang (not copied): $hang"
done
echo "$new new crash(es) for $driver"
