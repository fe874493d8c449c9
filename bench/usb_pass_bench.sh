#!/usr/bin/env bash
# Times the USB port search against the bare spooler restarts it needs, under
# Wine with the real Spooler service, in a prefix of its own (Windows 10, so
# the search restarts the spooler for every port). The prefix is a 32-bit
# one: from a 32-bit process Wine's AddPrinterA finds only "Windows NT x86"
# drivers, while 64-bit Windows registers "Windows x64" ones.
#   bash bench/usb_pass_bench.sh [rounds]
set -euo pipefail
REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$REPO/scripts/i386.sh"
i386_reexec "$REPO/bench/usb_pass_bench.sh" "$@"
export WINEPREFIX=${BENCH_PREFIX:-$REPO/build/wineprefix-bench32}
export WINEARCH=win32
source "$REPO/scripts/wine-env.sh"
program=$WIN_BUILD_DIR/bench/win32/usb_pass_bench.exe
[ -f "$program" ] || { echo "build first: bash scripts/build.sh" >&2; exit 1; }
wine_prefix_ready
wine_set_version win10
# The whole-installation timing takes its files from the sample package.
if [ -f "$BUILD_ROOT/host/DriverData.Drv" ]; then
  rm -rf "$WINEPREFIX/drive_c/Ticket" "$WINEPREFIX/drive_c/Barcode"
  unzip -q -o "$BUILD_ROOT/host/DriverData.Drv" -d "$WINEPREFIX/drive_c"
fi
echo "== USB port search against bare spooler restarts ($WIN_ARCH build, 32-bit programs: $I386_MODE)"
status=0
"$WINE" "$program" "${1:-3}" || status=$?
"$WINESERVER" -k >/dev/null 2>&1 || true
rm -rf "$WINEPREFIX/drive_c/Ticket" "$WINEPREFIX/drive_c/Barcode" "$WINEPREFIX/drive_c/DriverName.cfg"
exit $status
