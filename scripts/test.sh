#!/usr/bin/env bash
# Quick-start command two: installs what is missing, builds everything and
# runs every test (unit, archive, contract on the simulator and under Wine,
# end to end under Wine with a virtual display).
set -euo pipefail
REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$REPO"
bash scripts/setup.sh
bash scripts/build.sh
source scripts/wine-env.sh
ctest --test-dir "$BUILD_ROOT/host" --output-on-failure -j "${JOBS:-2}" "$@"
