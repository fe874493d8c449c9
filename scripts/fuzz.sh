#!/usr/bin/env bash
# The long fuzz run: builds the libFuzzer targets (clang, address and
# undefined-behaviour sanitizers) and runs each for a while, default 600 s,
# from its seed corpus and the inputs it found before (kept under
# build/host/fuzz/<name>/corpus). Prints each target's executions and
# coverage. A failing input lands in build/host/fuzz/<name>/artifacts/.
# Usage: scripts/fuzz.sh [seconds] [target name...]   (names: archive, driver_list, ...)
set -euo pipefail
REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_ROOT=${BUILD_ROOT:-$REPO/build}
source "$REPO/scripts/sanitized-builds.sh"
seconds=${1:-600}
shift || true
names=("$@")
if [ ${#names[@]} -eq 0 ]; then
  for target in $(fuzz_targets); do names+=("${target#fuzz_}"); done
fi
sanitized_configure "$BUILD_ROOT/host-asan" address,undefined ON
# shellcheck disable=SC2046
cmake --build "$BUILD_ROOT/host-asan" -j "${JOBS:-2}" $(printf -- '--target fuzz_%s ' "${names[@]}")

summary=()
status=0
for name in "${names[@]}"; do
  work=$BUILD_ROOT/host/fuzz/$name
  log=$work/long-run.log
  mkdir -p "$work"
  echo "== fuzz_$name for $seconds s (log: $log)"
  if FUZZ_SECONDS=$seconds bash "$REPO/tests/fuzz/run_fuzzer.sh" fuzz \
       "$BUILD_ROOT/host-asan/tests/fuzz/fuzz_$name" "$name" "$work" >"$log" 2>&1; then
    result=passed
  else
    result=FAILED
    status=1
  fi
  edges=$(sed -n 's/.*Loaded [0-9]* modules *(\([0-9]*\) inline 8-bit counters).*/\1/p' "$log" | head -1)
  last=$(grep -E '^#[0-9]+' "$log" | tail -1 || true)
  cov=$(printf '%s\n' "$last" | sed -n 's/.* cov: \([0-9]*\).*/\1/p')
  ft=$(printf '%s\n' "$last" | sed -n 's/.* ft: \([0-9]*\).*/\1/p')
  corp=$(printf '%s\n' "$last" | sed -n 's/.* corp: \([0-9]*\).*/\1/p')
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  summary+=("$(printf '%-14s %-7s %12s execs %8s/s  cov %s of %s edges  ft %s  corpus %s' \
    "$name" "$result" "${execs:-?}" "${speed:-?}" "${cov:-?}" "${edges:-?}" "${ft:-?}" "${corp:-?}")")
  [ "$result" = passed ] || grep -E 'ERROR|SUMMARY|artifact' "$log" | head -5
done
echo "== fuzz summary ($seconds s each)"
printf '%s\n' "${summary[@]}"
exit $status
