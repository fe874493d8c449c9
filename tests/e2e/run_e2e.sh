#!/usr/bin/env bash
# Runs one end-to-end scenario: the real DriverInstaller.exe under Wine on a
# virtual display, operated by automate.exe, with screenshots of each phase.
#
#   tests/e2e/run_e2e.sh <scenario>     startup_win7 | startup_win10 | package |
#                                       no_package | no_library | close_early
#
# Environment: BUILD_ROOT (default <repo>/build), WIN_BUILD_DIR (default
# $BUILD_ROOT/win-$WIN_ARCH), SAMPLE_PACKAGE (default
# $BUILD_ROOT/host/DriverData.Drv). Exit 0 passed, 1 failed, 77 skipped.
set -uo pipefail

scenario=${1:-}
REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
BUILD_ROOT=${BUILD_ROOT:-$REPO/build}
# Always our own prefix: an inherited WINEPREFIX could be someone's real one.
export WINEPREFIX=$BUILD_ROOT/wineprefix-e2e
# shellcheck source=../../scripts/wine-env.sh
source "$REPO/scripts/wine-env.sh"

SAMPLE_PACKAGE=${SAMPLE_PACKAGE:-$BUILD_ROOT/host/DriverData.Drv}
INSTALLER_EXE=$WIN_BUILD_DIR/src/platform/win32/DriverInstaller.exe
AUTOMATE_EXE=$WIN_BUILD_DIR/tests/e2e/automate.exe
ARCHIVE_DLL=$WIN_BUILD_DIR/src/archive/7-zip32.dll
SHOTS=$BUILD_ROOT/screenshots
STAGE=$BUILD_ROOT/e2e-stage/$scenario
LOG=$STAGE/automate.log
CAPTION="Configure & Install v1.4"

skip() { echo "SKIP: $*"; exit 77; }
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }

# One "key: value" line the automation must have printed.
expect() {
  if grep -Fxq -- "$1: $2" "$LOG"; then pass "$1: $2"; else fail "expected '$1: $2'"; fi
}
expect_absent_file() {
  if [ -e "$WINEPREFIX/drive_c/$1" ]; then fail "C:\\$1 still exists"; else pass "C:\\$1 removed"; fi
}

case "$scenario" in
  startup_win7|startup_win10|package|no_package|no_library|close_early) ;;
  *) echo "usage: $0 startup_win7|startup_win10|package|no_package|no_library|close_early" >&2
     exit 2 ;;
esac

"$WINE" --version >/dev/null 2>&1 || skip "no Wine loader this machine can run ($WINE)"
[ -f "$INSTALLER_EXE" ] || skip "no Windows build at $WIN_BUILD_DIR (DriverInstaller.exe missing)"
[ -f "$AUTOMATE_EXE" ] || skip "automate.exe missing in $WIN_BUILD_DIR"
command -v import >/dev/null || skip "imagemagick 'import' is missing"

# Scenarios share the prefix; never let two run at once.
mkdir -p "$BUILD_ROOT" "$SHOTS"
exec 9>"$BUILD_ROOT/.e2e-wine.lock"
flock 9

INSTALLER_PID=""
cleanup() {
  if [ -n "$INSTALLER_PID" ]; then kill "$INSTALLER_PID" 2>/dev/null || true; fi
  "$WINESERVER" -k >/dev/null 2>&1 || true
  "$WINESERVER" -w >/dev/null 2>&1 || true
  display_stop
}
trap cleanup EXIT

display_ready || { echo "FAIL: no display"; exit 1; }
wine_prefix_ready
if [ "$scenario" = startup_win10 ]; then wine_set_version win10; else wine_set_version win7; fi
# Without a window manager Wine draws the frames itself only when told to;
# the screenshots should show the caption.
"$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1

# Leftovers of an earlier run would hide what this run unpacked.
rm -rf "$WINEPREFIX/drive_c/DriverName.cfg" "$WINEPREFIX/drive_c/Ticket" \
  "$WINEPREFIX/drive_c/Barcode" "$WINEPREFIX/drive_c/ticket" "$WINEPREFIX/drive_c/barcode"
rm -rf "$STAGE"
rm -f "$SHOTS/$scenario"-*.png
mkdir -p "$STAGE"
cp "$INSTALLER_EXE" "$STAGE/"

stage_library() {
  [ -f "$ARCHIVE_DLL" ] || { echo "FAIL: $ARCHIVE_DLL missing"; exit 1; }
  cp "$ARCHIVE_DLL" "$STAGE/"
}
stage_package() {
  [ -f "$SAMPLE_PACKAGE" ] || skip "no sample package at $SAMPLE_PACKAGE (build the host build first)"
  cp "$SAMPLE_PACKAGE" "$STAGE/DriverData.Drv"
}

# --- Scenario scripts for automate.exe -------------------------------------

write_startup() {
  # The driver-name list as a package would leave it; no package is staged,
  # since unpacking one would overwrite this file.
  printf '%s\r\n' '[Model0]' 'PrintName1=4720 Series' '[Model1]' 'PrintName1=4740 Series' \
    '[Model2]' 'PrintName1=4760 Series' 'PrintName2=4760E Series' \
    >"$WINEPREFIX/drive_c/DriverName.cfg"
  cat >"$STAGE/scenario.txt" <<EOF
wait-window $CAPTION 60
wait-text 1011 Current System is 60
wait-enabled 1012 30
screenshot startup
get-text 1011
combo-items 1000
get-text 1001
is-checked 1002
is-enabled 1012
list-items 1004
list-selected 1004
combo-select 1000 1
get-text 1001
list-select 1004 1
list-selected 1004
screenshot choices
click 2
wait-exit 30
EOF
}

check_startup() {
  local system=$1
  expect "text 1011" "Current System is Microsoft Windows $system  64 bit"
  expect "combo 1000 count" 4
  expect "combo 1000 item 0" "4720 Series"
  expect "combo 1000 item 1" "4740 Series"
  expect "combo 1000 item 2" "4760 Series"
  expect "combo 1000 item 3" "4760E Series"
  expect "combo 1000 selected" 0
  expect "text 1001" "4720 Series"
  expect "text 1001" "4740 Series"
  expect "checked 1002" 1
  expect "enabled 1012" yes
  expect "list 1004 columns" 2
  expect "list 1004 rows" 4
  expect "list 1004 row 0" "Serial port | The program will select a available serial port during installation"
  expect "list 1004 row 1" "USB port | The program will select a available USB port automatically"
  expect "list 1004 row 2" "Parallel port | The program will prompt you to select a parallel port during installation"
  expect "list 1004 row 3" "TCP/IP port | The program will prompt you to create a TCP/IP port or configure"
  # A default prefix has COM and LPT ports and no USB port: Serial.
  expect "list 1004 selected" 0
  expect "list 1004 selected" 1
  grep -q '^exited: ' "$LOG" && pass "Cancel closed the installer" || fail "Cancel did not close the installer"
  expect_absent_file DriverName.cfg
}

write_package() {
  cat >"$STAGE/scenario.txt" <<EOF
wait-window $CAPTION 60
wait-text 1011 Current System is 90
wait-enabled 1012 30
screenshot ready
combo-items 1000
get-text 1001
list-selected 1004
service-state Spooler
expect-no-msgbox 2
is-enabled 1012
file-exists C:\DriverName.cfg
file-exists C:\Ticket
file-exists C:\Barcode
close
wait-exit 30
EOF
}

check_package() {
  # C:\DriverName.cfg was removed before the run: a filled list and the
  # working folders show that the start-up unpacked the package before it
  # read the list.
  expect "combo 1000 count" 23
  expect "combo 1000 item 0" "6924K Series"
  expect "combo 1000 item 22" "A72I(Label)"
  expect "text 1001" "6924K Series"
  expect 'file C:\DriverName.cfg' yes
  expect 'file C:\Ticket' yes
  expect 'file C:\Barcode' yes
  expect "list 1004 selected" 0
  expect "service Spooler" running
  expect "msgbox" none
  expect "enabled 1012" yes
  grep -q '^exited: ' "$LOG" && pass "close box ended the installer" || fail "installer still running after WM_CLOSE"
  expect_absent_file DriverName.cfg
  expect_absent_file Ticket
  expect_absent_file Barcode
}

# Without the package or the library the start-up goes on silently. The
# status "Reading driver file..." shows too briefly to be caught for sure;
# Wine's loader log of the installer tells instead that the unpacking step
# asked for the library.
write_missing() {
  INSTALLER_WINEDEBUG=-all,+loaddll,warn+module
  cat >"$STAGE/scenario.txt" <<EOF
wait-window $CAPTION 60
wait-text 1011 Current System is 90
wait-enabled 1012 30
expect-no-msgbox 2
screenshot ready
get-text 1011
combo-items 1000
is-enabled 1012
file-exists C:\DriverName.cfg
file-exists C:\Ticket
file-exists C:\Barcode
click 2
wait-exit 30
EOF
}

check_missing() {
  # The last start-up step ran, and nothing was unpacked or complained of.
  expect "text 1011" "Current System is Microsoft Windows 7  64 bit"
  expect "msgbox" none
  expect "combo 1000 count" 0
  expect "enabled 1012" yes
  expect 'file C:\DriverName.cfg' no
  expect 'file C:\Ticket' no
  expect 'file C:\Barcode' no
  grep -q '^exited: ' "$LOG" && pass "Cancel closed the installer" || fail "Cancel did not close the installer"
  local out=$STAGE/installer.log loaded unloaded
  tr -d '\r' <"$STAGE/installer.out" >"$out"
  if [ "$scenario" = no_package ]; then
    # Loaded from the program's folder, and let go of again.
    loaded=$(grep -n -m1 'trace:loaddll:.* Loaded L".*\\\\no_package\\\\7-zip32\.dll"' "$out" | cut -d: -f1)
    unloaded=$(grep -n -m1 'trace:loaddll:.* Unloaded module L".*\\\\no_package\\\\7-zip32\.dll"' "$out" | cut -d: -f1)
    if [ -n "$loaded" ]; then pass "the installer loaded the 7-zip32.dll of its folder"
    else fail "the installer never loaded the 7-zip32.dll of its folder"; fi
    if [ -n "$loaded" ] && [ -n "$unloaded" ] && [ "$unloaded" -gt "$loaded" ]; then
      pass "and unloaded it"
    else
      fail "7-zip32.dll was not unloaded after loading"
    fi
  elif grep -q 'warn:module:.*Failed to load module L"7-zip32\.dll"' "$out"; then
    pass "the installer asked for 7-zip32.dll, which is missing"
  else
    fail "the installer never asked for 7-zip32.dll"
  fi
}

# The close box while the start-up worker still runs (the spooler start
# alone takes a while): the dialog must end once the worker is out, and
# clean up after itself.
write_close_early() {
  cat >"$STAGE/scenario.txt" <<EOF
wait-window $CAPTION 60
is-enabled 1012
close
wait-exit 60
EOF
}

check_close_early() {
  expect "enabled 1012" no
  grep -q '^exited: ' "$LOG" && pass "closed during start-up" || fail "installer did not end after WM_CLOSE"
  expect_absent_file DriverName.cfg
  expect_absent_file Ticket
}

INSTALLER_WINEDEBUG=$WINEDEBUG
case "$scenario" in
  startup_win7|startup_win10) write_startup ;;
  close_early) stage_library; stage_package; write_close_early ;;
  package) stage_library; stage_package; write_package ;;
  no_package) stage_library; write_missing ;;
  no_library) stage_package; write_missing ;;
esac

# --- Run --------------------------------------------------------------------

cd "$STAGE" || exit 1
WINEDEBUG=$INSTALLER_WINEDEBUG "$WINE" DriverInstaller.exe >"$STAGE/installer.out" 2>&1 &
INSTALLER_PID=$!

run_automation "$AUTOMATE_EXE" scenario.txt "$LOG" "$SHOTS/$scenario-"
status=$?
touch "$LOG"

if [ "$status" -ne 0 ]; then
  import -window root "$SHOTS/$scenario-failure.png" 2>/dev/null || true
  fail "automate.exe exited with $status"
fi

case "$scenario" in
  startup_win7) check_startup 7 ;;
  startup_win10) check_startup 10 ;;
  package) check_package ;;
  no_package|no_library) check_missing ;;
  close_early) check_close_early ;;
esac

echo "screenshots: $SHOTS/$scenario-*.png"
if [ "$failures" -ne 0 ]; then
  echo "e2e $scenario: $failures check(s) failed"
  exit 1
fi
echo "e2e $scenario: passed"
exit 0
