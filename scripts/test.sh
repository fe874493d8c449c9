#!/usr/bin/env bash
# Quick-start command two: installs what is missing, builds everything and
# runs every test (unit, archive, contract on the simulator and under Wine,
# end to end under Wine with a virtual display). The Wine tests run the
# 32-bit product, through qemu where this machine cannot run 32-bit programs.
set -euo pipefail
REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$REPO"
export TEST_COMMAND_STARTED=${TEST_COMMAND_STARTED:-$(date +%s)}
if [ -z "${I386_MODE:-}" ]; then bash scripts/setup.sh; fi
source scripts/i386.sh
i386_reexec "$REPO/scripts/test.sh" "$@"
# A green run means the 32-bit product ran: where it cannot run at all,
# the run fails, unless the x86_64 stand-in is asked for by name.
if [ "$I386_MODE" = none ] && [ "${ALLOW_X86_64_STANDIN:-}" != 1 ]; then
  echo "FAIL: this machine cannot run the 32-bit product: it does not execute 32-bit programs," >&2
  echo "      and qemu-i386-static 8 or later could not be registered in a user namespace." >&2
  echo "      bash scripts/setup.sh installs qemu; ALLOW_X86_64_STANDIN=1 runs the x86_64" >&2
  echo "      stand-in instead, which does NOT exercise the product." >&2
  exit 1
fi
started=$SECONDS
bash scripts/build.sh
built=$((SECONDS - started))
source scripts/wine-env.sh
echo "== Wine tests run the $WIN_ARCH build (32-bit programs: $I386_MODE)"
if [ "$WIN_ARCH" != i686 ]; then
  echo "== NOTE: ALLOW_X86_64_STANDIN=1: the 32-bit product is NOT exercised by this run"
fi
# The acceptance matrix writes its table afresh when it runs.
summary=$BUILD_ROOT/e2e-stage/matrix/summary.txt
rm -f "$summary"
junit=$BUILD_ROOT/host/test-results.xml
rm -f "$junit"
# Under qemu, Wine now and then stops answering altogether (the tests then
# fail fast, saying so): there a failed test gets one more run, and the
# tests that needed it are named at the end. Natively a failure is final.
repeat=()
if [ "$I386_MODE" = qemu ]; then repeat=(--repeat until-pass:2); fi
set +e
ctest --test-dir "$BUILD_ROOT/host" --output-on-failure -j "${JOBS:-2}" --output-junit "$junit" \
  "${repeat[@]}" "$@" 2>&1 | tee "$BUILD_ROOT/host/test-output.txt"
status=${PIPESTATUS[0]}
set -e
output=$BUILD_ROOT/host/test-output.txt
retried=$(sed -n 's/^ *Start *\([0-9]*\): .*/\1/p' "$output" | sort -n | uniq -d)
if [ -n "$retried" ]; then
  echo "== NOTE: these tests failed once and were run again (under qemu):"
  for n in $retried; do grep -m1 "^ *Start *$n: " "$output" | sed 's/^ *Start *[0-9]*: /   /'; done
fi
if [ -f "$summary" ]; then
  echo "== acceptance matrix"
  cat "$summary"
fi
if [ -f "$junit" ]; then
  echo "== time of each test group (32-bit programs: $I386_MODE)"
  ctest --test-dir "$BUILD_ROOT/host" --show-only=json-v1 >"$BUILD_ROOT/host/test-list.json"
  python3 scripts/test-times.py "$BUILD_ROOT/host/test-list.json" "$junit" "$built" || true
  echo "whole test command, set-up and builds included: $(( $(date +%s) - TEST_COMMAND_STARTED )) s"
fi
exit "$status"
