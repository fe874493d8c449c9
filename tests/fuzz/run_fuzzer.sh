#!/usr/bin/env bash
# Runs one libFuzzer target: replay (every seed and every regression input
# once, deterministic) or fuzz (mutating from the seeds for FUZZ_SECONDS,
# default 60). New inputs go to a work folder under the build, never into
# the committed corpus. A failing input is kept in the build's
# fuzz-artifacts folder; copy it into tests/fuzz/regressions/<name>/ and it
# is replayed by every test run from then on.
# Usage: run_fuzzer.sh replay|fuzz <fuzzer binary> <name> <work folder>
set -euo pipefail
mode=$1 binary=$2 name=$3 work=$4
here=$(cd "$(dirname "$0")" && pwd)
seeds=$here/corpus/$name
regressions=$here/regressions/$name
if [ ! -x "$binary" ]; then
  echo "missing $binary: scripts/build.sh builds it (clang and libclang-rt-14-dev needed)" >&2
  exit 1
fi
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
mkdir -p "$work/artifacts"
dirs=("$seeds")
[ -d "$regressions" ] && dirs+=("$regressions")
case "$mode" in
  replay)
    # -runs=0 executes every input of the folders once and stops.
    exec "$binary" -runs=0 -rss_limit_mb=2048 -timeout=20 \
      -artifact_prefix="$work/artifacts/" "${dirs[@]}"
    ;;
  fuzz)
    mkdir -p "$work/corpus"
    exec "$binary" -max_total_time="${FUZZ_SECONDS:-60}" -rss_limit_mb=2048 -timeout=20 \
      -max_len=65536 -print_final_stats=1 -artifact_prefix="$work/artifacts/" \
      "$work/corpus" "${dirs[@]}"
    ;;
  *) echo "usage: $0 replay|fuzz <binary> <name> <work folder>" >&2; exit 2 ;;
esac
