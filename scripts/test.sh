#!/usr/bin/env bash
# Quick-start command two: installs what is missing, builds everything and
# runs every test (unit, archive, contract on the simulator and under Wine,
# end to end under Wine with a virtual display). The Wine tests run the
# 32-bit product, through qemu where this machine cannot run 32-bit programs.
set -euo pipefail
REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$REPO"
if [ -z "${I386_MODE:-}" ]; then bash scripts/setup.sh; fi
source scripts/i386.sh
i386_reexec "$REPO/scripts/test.sh" "$@"
bash scripts/build.sh
source scripts/wine-env.sh
echo "== Wine tests run the $WIN_ARCH build (32-bit programs: $I386_MODE)"
# The acceptance matrix writes its table afresh when it runs.
summary=$BUILD_ROOT/e2e-stage/matrix/summary.txt
rm -f "$summary"
status=0
ctest --test-dir "$BUILD_ROOT/host" --output-on-failure -j "${JOBS:-2}" "$@" || status=$?
if [ -f "$summary" ]; then
  echo "== acceptance matrix"
  cat "$summary"
fi
exit "$status"
