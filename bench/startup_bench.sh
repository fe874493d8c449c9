#!/usr/bin/env bash
# Times the start-up from a stopped spooler to an enabled Install against its
# fixed pauses plus the spooler's own start, and a spooler restart through
# the installer's waits against a bare one, with the CPU they burn; under
# Wine with the real Spooler service, in the benchmarks' own 32-bit prefix.
#   bash bench/startup_bench.sh [rounds]
set -euo pipefail
REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$REPO/scripts/i386.sh"
i386_reexec "$REPO/bench/startup_bench.sh" "$@"
export WINEPREFIX=${BENCH_PREFIX:-$REPO/build/wineprefix-bench32}
export WINEARCH=win32
source "$REPO/scripts/wine-env.sh"
program=$WIN_BUILD_DIR/bench/win32/startup_bench.exe
library=$WIN_BUILD_DIR/src/archive/7-zip32.dll
package=$BUILD_ROOT/host/DriverData.Drv
for f in "$program" "$library" "$package"; do
  [ -f "$f" ] || { echo "build first: bash scripts/build.sh ($f missing)" >&2; exit 1; }
done
stage=$BUILD_ROOT/bench-stage/startup
rm -rf "$stage" && mkdir -p "$stage"
cp "$program" "$library" "$stage/"
cp "$package" "$stage/DriverData.Drv"
wine_prefix_ready
echo "== Start-up and spooler waits ($WIN_ARCH build, 32-bit programs: $I386_MODE)"
status=0
(cd "$stage" && "$WINE" startup_bench.exe "${1:-5}") || status=$?
"$WINESERVER" -k >/dev/null 2>&1 || true
rm -rf "$WINEPREFIX/drive_c/Ticket" "$WINEPREFIX/drive_c/Barcode" "$WINEPREFIX/drive_c/DriverName.cfg"
exit $status
