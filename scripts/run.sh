#!/usr/bin/env bash
# Builds everything and runs the installer under Wine.
#
# With a DISPLAY the installer opens there for you to operate. Without one,
# a demonstration runs on a virtual display: a real installation of a
# receipt model on a USB printer. The prefix offers the ports USB001-USB003
# and a printer answers on USB002 (our stand-in for the Spooler service,
# tests/e2e/answering_printer.sh). The demonstration starts the installer
# with the sample package, picks the model and the USB port type, presses
# Install, answers every message box (OK, or Cancel where there is no OK),
# presses Finish; it prints what the status line and the message boxes
# said and then the spooler's printers with their ports and drivers, and
# keeps screenshots in build/screenshots/.
set -euo pipefail

REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_ROOT=${BUILD_ROOT:-$REPO/build}
cd "$REPO"

if [ -z "${I386_MODE:-}" ]; then bash scripts/setup.sh run; fi
# The product is 32-bit: run it through qemu where this machine needs that.
source "$REPO/scripts/i386.sh"
i386_reexec "$REPO/scripts/run.sh" "$@"
if [ "$I386_MODE" = none ] && [ "${ALLOW_X86_64_STANDIN:-}" != 1 ]; then
  echo "this machine cannot run the 32-bit product (bash scripts/setup.sh installs qemu for it;" >&2
  echo "ALLOW_X86_64_STANDIN=1 runs the x86_64 build of the same sources instead)" >&2
  exit 1
fi
# shellcheck source=wine-env.sh
source "$REPO/scripts/wine-env.sh"

# Only what the demonstration needs: the product, its archive library, the
# automation program, the answering stand-in and the sample package.
bash scripts/build.sh demo

RUN_DIR=$BUILD_ROOT/run
SHOTS=$BUILD_ROOT/screenshots
mkdir -p "$RUN_DIR" "$SHOTS"
rm -f "$SHOTS"/demo-*.png "$SHOTS"/msgbox-*.png
cp "$WIN_BUILD_DIR/src/shell/win32/DriverInstaller.exe" "$RUN_DIR/"
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
source "$REPO/tests/e2e/answering_printer.sh"
STAND_IN=$WIN_BUILD_DIR/tests/fixtures/win32/answering_spooler.exe
AUTOMATE=$WIN_BUILD_DIR/tests/e2e/automate.exe
DEMO_ENTRY=7        # "KV6X" in the sample package's list
DEMO_PRINTER=KV6X
display_ready
wine_prefix_ready
# Before any wineserver runs: the hardware-profile keys the USB search writes.
answering_profile_prepare

# Windows 10 (on Windows 7 the installer does not ask the spooler), no
# window manager here (Wine draws the captions itself), three USB ports, a
# printer answering on USB002, no printer of the demonstration's name yet,
# and the key of the default printer, which Windows always has and a new
# Wine prefix lacks (the installer only opens it). Wine's spooler runs
# inside the 32-bit installer and takes a new printer's driver from
# "Windows NT x86", while the installer registers it for "Windows x64" as
# 64-bit Windows wants: a placeholder record of the name there bridges that.
cat >"$RUN_DIR/prepare.txt" <<EOF
registry-set HKCU\Software\Wine | Version | win10
registry-set HKCU\Software\Wine\X11 Driver | Decorated | N
registry-set HKLM\Software\Microsoft\Windows NT\CurrentVersion\Ports | USB001 |
registry-set HKLM\Software\Microsoft\Windows NT\CurrentVersion\Ports | USB002 |
registry-set HKLM\Software\Microsoft\Windows NT\CurrentVersion\Ports | USB003 |
registry-set HKLM\SYSTEM\CurrentControlSet\Services\Spooler\Parameters | AnsweringPort | USB002
registry-key HKCU\Software\Microsoft\Windows NT\CurrentVersion\Windows
printer-delete $DEMO_PRINTER
driver-add $DEMO_PRINTER
EOF
# Into a file, not a pipe: Wine's services start on the way and would hold it open.
(cd "$RUN_DIR" && "$WINE" "$AUTOMATE" prepare.txt >prepare.log 2>&1) ||
  { echo "the prefix could not be prepared; see $RUN_DIR/prepare.log"; exit 1; }
answering_spooler_install "$STAND_IN" || { echo "the answering spooler could not be installed"; exit 1; }

cat >"$RUN_DIR/demo.txt" <<EOF
wait-window Configure & Install v1.4 60
wait-text 1011 Current System is 120
wait-enabled 1012 30
screenshot demo-ready
combo-items 1000
combo-select 1000 $DEMO_ENTRY
get-text 1001
list-select 1004 1
list-selected 1004
click 1012
drain-msgboxes 5 1011
wait-text 1011 The installation is completed. 60
get-text 1012
is-enabled 2
screenshot demo-installed
click 1012
drain-msgboxes 3
wait-exit 60
printers
default-printer
EOF

cd "$RUN_DIR"
"$WINE" DriverInstaller.exe >/dev/null 2>&1 &
INSTALLER_PID=$!
LOG=$RUN_DIR/demo.log
: >"$LOG"
set +e
run_automation "$AUTOMATE" demo.txt "$LOG" "$SHOTS/"
status=$?
set -e

echo "== what the installer said"
grep -E '^(seen 1011|text 1011|text 1012|msgbox caption|msgbox text|msgbox answer): ' "$LOG" |
  sed -e 's/^seen 1011: /status:  /' -e 's/^text 1011: /status:  /' -e 's/^text 1012: /button:  /' \
      -e 's/^msgbox caption: /box:     /' -e 's/^msgbox text: /         /' -e 's/^msgbox answer: /answer:  /' \
      -e 's/\\r\\n/\n         /g' -e '/^status:  $/d' |
  uniq
echo "== the spooler's printers: name | port | driver"
sed -n -e 's/^printer: /         /p' -e 's/^default printer: /default: /p' "$LOG"
echo "== screenshots in $SHOTS"
ls "$SHOTS"/demo-*.png "$SHOTS"/msgbox-*.png 2>/dev/null || true
if [ "$status" -ne 0 ]; then
  import -window root "$SHOTS/demo-failure.png" 2>/dev/null || true
  echo "demonstration stopped early (automate.exe exit $status); see $LOG"
  exit 1
fi
