#!/usr/bin/env bash
# Builds everything and runs the installer under Wine.
#
# With a DISPLAY the installer opens there for you to operate. Without one,
# a demonstration runs on a virtual display: start-up with the sample
# package, pick a driver, press Install, answer every message box (OK, or
# Cancel where there is no OK); it prints what the status line and the
# message boxes said and keeps screenshots in build/screenshots/.
set -euo pipefail

REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_ROOT=${BUILD_ROOT:-$REPO/build}
cd "$REPO"

if [ -z "${I386_MODE:-}" ]; then bash scripts/setup.sh; fi
# The product is 32-bit: run it through qemu where this machine needs that.
source "$REPO/scripts/i386.sh"
i386_reexec "$REPO/scripts/run.sh" "$@"
# shellcheck source=wine-env.sh
source "$REPO/scripts/wine-env.sh"

# The host build, the Windows build that runs here, and the 32-bit product.
bash scripts/build.sh

RUN_DIR=$BUILD_ROOT/run
SHOTS=$BUILD_ROOT/screenshots
mkdir -p "$RUN_DIR" "$SHOTS"
cp "$WIN_BUILD_DIR/src/platform/win32/DriverInstaller.exe" "$RUN_DIR/"
cp "$WIN_BUILD_DIR/src/archive/7-zip32.dll" "$RUN_DIR/"
cp "$BUILD_ROOT/host/DriverData.Drv" "$RUN_DIR/"
echo "== staged $RUN_DIR: $(cd "$RUN_DIR" && echo *)"

INSTALLER_PID=""
cleanup() {
  if [ -n "$INSTALLER_PID" ]; then kill "$INSTALLER_PID" 2>/dev/null || true; fi
  "$WINESERVER" -k >/dev/null 2>&1 || true
  display_stop
}
trap cleanup EXIT

if [ -n "${DISPLAY:-}" ]; then
  wine_prefix_ready
  # A real window manager draws the frames (undo what a demonstration set).
  "$WINE" reg delete 'HKCU\Software\Wine\X11 Driver' /v Decorated /f >/dev/null 2>&1 || true
  echo "== starting the installer on $DISPLAY (prefix $WINEPREFIX)"
  cd "$RUN_DIR"
  "$WINE" DriverInstaller.exe
  exit 0
fi

echo "== no DISPLAY: demonstration on a virtual display"
display_ready
wine_prefix_ready
wine_set_version win7
# No window manager here: let Wine draw the captions itself.
"$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1

cat >"$RUN_DIR/demo.txt" <<'EOF'
wait-window Configure & Install v1.4 60
wait-text 1011 Current System is 120
wait-enabled 1012 30
screenshot demo-ready
combo-items 1000
combo-select 1000 0
get-text 1001
list-selected 1004
click 1012
drain-msgboxes 10 1011
get-text 1011
get-text 1012
is-enabled 2
screenshot demo-installed
close
drain-msgboxes 3
wait-exit 60
EOF

cd "$RUN_DIR"
"$WINE" DriverInstaller.exe >/dev/null 2>&1 &
INSTALLER_PID=$!
LOG=$RUN_DIR/demo.log
: >"$LOG"
set +e
run_automation "$WIN_BUILD_DIR/tests/e2e/automate.exe" demo.txt "$LOG" "$SHOTS/"
status=$?
set -e

echo "== what the installer said"
grep -E '^(seen 1011|text 1011|text 1012|msgbox caption|msgbox text|msgbox answer): ' "$LOG" |
  sed -e 's/^seen 1011: /status:  /' -e 's/^text 1011: /status:  /' -e 's/^text 1012: /button:  /' \
      -e 's/^msgbox caption: /box:     /' -e 's/^msgbox text: /         /' -e 's/^msgbox answer: /answer:  /' |
  uniq
echo "== screenshots in $SHOTS"
ls "$SHOTS"/demo-*.png "$SHOTS"/msgbox-*.png 2>/dev/null || true
if [ "$status" -ne 0 ]; then
  import -window root "$SHOTS/demo-failure.png" 2>/dev/null || true
  echo "demonstration stopped early (automate.exe exit $status); see $LOG"
  exit 1
fi
