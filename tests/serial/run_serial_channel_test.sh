#!/usr/bin/env bash
# The serial channel under Wine: serial_channel_test.exe on COM1 and COM2,
# pseudo-terminals whose far end is serial_responder.py.
# Exit 0 passed, 1 failed, 77 skipped.
set -uo pipefail
REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
BUILD_ROOT=${BUILD_ROOT:-$REPO/build}
source "$REPO/scripts/wine-env.sh"
# A prefix of the serial tests' own: 32-bit, unless only the 64-bit build runs here.
if [ "$WIN_ARCH" = i686 ]; then
  export WINEPREFIX=$BUILD_ROOT/wineprefix-serial WINEARCH=win32
else
  export WINEPREFIX=$BUILD_ROOT/wineprefix-serial64
fi
source "$REPO/tests/serial/serial_lines.sh"

PROGRAM=$WIN_BUILD_DIR/tests/serial/serial_channel_test.exe
STAGE=$BUILD_ROOT/serial-stage/channel
"$WINE" --version >/dev/null 2>&1 || skip "no Wine loader this machine can run ($WINE)"
[ -f "$PROGRAM" ] || skip "no serial_channel_test.exe in $WIN_BUILD_DIR"

mkdir -p "$BUILD_ROOT"
exec 9>"$BUILD_ROOT/.e2e-wine.lock"
flock 9
wine_watchdog

RESPONDER=""
cleanup() {
  if [ -n "$RESPONDER" ]; then kill "$RESPONDER" 2>/dev/null || true; fi
  wine_watchdog_stop
  wine_prefix_kill "$WINEPREFIX"
}
trap cleanup EXIT

rm -rf "$STAGE"
mkdir -p "$STAGE"
wine_prefix_ready
python3 "$REPO/tests/serial/serial_responder.py" channel --ptys 2 --names "$STAGE/ptys" \
  --ready "$STAGE/ready" -- "$WINE" "$PROGRAM" >"$STAGE/log" 2>"$STAGE/stderr" &
RESPONDER=$!
serial_wait_file "$STAGE/ptys" || { echo "FAIL: the responder made no lines"; exit 1; }
serial_ports_map "$STAGE/ptys"
: >"$STAGE/ready"
wait "$RESPONDER"
status=$?
RESPONDER=""
cat "$STAGE/log"
if [ "$status" -ne 0 ] || ! grep -q '^0 case(s) failed' "$STAGE/log"; then
  echo "serial channel: FAILED (exit $status); log in $STAGE"
  exit 1
fi
echo "serial channel: passed"
