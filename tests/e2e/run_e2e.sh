#!/usr/bin/env bash
# Runs one end-to-end scenario: the real DriverInstaller.exe under Wine on a
# virtual display, operated by automate.exe, with screenshots of each phase.
#
#   tests/e2e/run_e2e.sh <scenario>     startup_win7 | startup_win10 |
#                                       startup_win11 | package |
#                                       no_package | no_library | close_early |
#                                       usb_receipt_win10 | usb_receipt_win7 |
#                                       usb_none_answering | usb_label_reinstall |
#                                       parallel_choose | parallel_cancel |
#                                       parallel_keys | parallel_one |
#                                       tcpip_wizard | tcpip_wizard_cancel |
#                                       tcpip_choose | tcpip_manage |
#                                       tcpip_empty | tcpip_cancel
#
# The usb_* scenarios install for real: the prefix offers USB001-USB003 and
# the Spooler service runs our answering stand-in (answering_printer.sh).
# What they installed is judged from outside the installer: the spooler's
# own lists and the registry as automate.exe reads them after the
# installer, the prefix's registry through reg.exe, the files on drive C.
# The parallel_* scenarios install on the prefix's LPT ports through the
# parallel port dialog (or without it, when only LPT1: is left), the
# tcpip_* ones on ports of our test TCP/IP port monitor through the TCP/IP
# port dialog and the monitor's own dialogs, judged the same way.
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
# shellcheck source=answering_printer.sh
source "$REPO/tests/e2e/answering_printer.sh"
# shellcheck source=../fixtures/win32/tcp_monitor/tcp_monitor.sh
source "$REPO/tests/fixtures/win32/tcp_monitor/tcp_monitor.sh"

SAMPLE_PACKAGE=${SAMPLE_PACKAGE:-$BUILD_ROOT/host/DriverData.Drv}
INSTALLER_EXE=$WIN_BUILD_DIR/src/shell/win32/DriverInstaller.exe
AUTOMATE_EXE=$WIN_BUILD_DIR/tests/e2e/automate.exe
ARCHIVE_DLL=$WIN_BUILD_DIR/src/archive/7-zip32.dll
STAND_IN_EXE=$WIN_BUILD_DIR/tests/fixtures/win32/answering_spooler.exe
TCP_MONITOR_DIR=$WIN_BUILD_DIR/tests/fixtures/win32
SHOTS=$BUILD_ROOT/screenshots
STAGE=$BUILD_ROOT/e2e-stage/$scenario
LOG=$STAGE/automate.log
CAPTION="Configure & Install v1.4"

source "$REPO/tests/e2e/e2e_common.sh"

expect_absent_file() {
  if [ -e "$WINEPREFIX/drive_c/$1" ]; then fail "C:\\$1 still exists"; else pass "C:\\$1 removed"; fi
}

SCENARIOS="startup_win7 startup_win10 startup_win11 package no_package no_library close_early
  usb_receipt_win10 usb_receipt_win7 usb_none_answering usb_label_reinstall
  parallel_choose parallel_cancel parallel_keys parallel_one
  tcpip_wizard tcpip_wizard_cancel tcpip_choose tcpip_manage tcpip_empty tcpip_cancel"
case " $(echo $SCENARIOS) " in
  *" $scenario "*) ;;
  *) echo "usage: $0 $(echo $SCENARIOS | tr ' ' '|')" >&2
     exit 2 ;;
esac
case "$scenario" in usb_*) usb=yes ;; *) usb="" ;; esac
case "$scenario" in usb_*|parallel_*|tcpip_*) installs=yes ;; *) installs="" ;; esac
case "$scenario" in tcpip_*) tcpip=yes ;; *) tcpip="" ;; esac

"$WINE" --version >/dev/null 2>&1 || skip "no Wine loader this machine can run ($WINE)"
[ -f "$INSTALLER_EXE" ] || skip "no Windows build at $WIN_BUILD_DIR (DriverInstaller.exe missing)"
[ -f "$AUTOMATE_EXE" ] || skip "automate.exe missing in $WIN_BUILD_DIR"
command -v import >/dev/null || skip "imagemagick 'import' is missing"
if [ -n "$installs" ]; then
  # The installations are the 32-bit product's on a 64-bit prefix: its
  # driver environment "Windows x64", its monitor DLL in SysWOW64.
  [ "$WIN_ARCH" = i686 ] || skip "the installation scenarios need the 32-bit product (this machine runs $WIN_ARCH)"
fi
if [ -n "$usb" ]; then
  [ -f "$STAND_IN_EXE" ] || skip "answering_spooler.exe missing in $WIN_BUILD_DIR"
fi
if [ -n "$tcpip" ]; then
  [ -f "$TCP_MONITOR_DIR/tcp_monitor.dll" ] && [ -f "$TCP_MONITOR_DIR/tcp_monitor_ui.dll" ] ||
    skip "the test TCP/IP port monitor is missing in $TCP_MONITOR_DIR"
fi

# Scenarios share the prefix; never let two run at once.
e2e_lock
e2e_cleanup_on_exit

display_ready || { echo "FAIL: no display"; exit 1; }
wine_prefix_ready
if [ -n "$usb" ]; then
  # Before anything starts a wineserver: the hardware-profile keys the
  # installer's USB search writes.
  answering_profile_prepare || { echo "FAIL: could not prepare the hardware profile"; exit 1; }
fi

# Leftovers of an earlier run would hide what this run unpacked.
rm -rf "$WINEPREFIX/drive_c/DriverName.cfg" "$WINEPREFIX/drive_c/Ticket" \
  "$WINEPREFIX/drive_c/Barcode" "$WINEPREFIX/drive_c/ticket" "$WINEPREFIX/drive_c/barcode"
rm -rf "$STAGE"
rm -f "$SHOTS/$scenario"-*.png
mkdir -p "$STAGE"
cp "$INSTALLER_EXE" "$STAGE/"

PORTS_KEY='HKLM\Software\Microsoft\Windows NT\CurrentVersion\Ports'
STAND_IN_KEY='HKLM\SYSTEM\CurrentControlSet\Services\Spooler\Parameters'
NT_VERSION_KEY='HKLM\Software\Microsoft\Windows NT\CurrentVersion'
NT_VERSION_KEY_32='HKLM\Software\Wow6432Node\Microsoft\Windows NT\CurrentVersion'
DEVICE_KEY='HKCU\Software\Microsoft\Windows NT\CurrentVersion\Windows'
PRINTERS_KEY='HKLM\SYSTEM\CurrentControlSet\Control\Print\Printers'
DRIVERS_KEY='HKLM\SYSTEM\CurrentControlSet\Control\Print\Environments\Windows x64\Drivers\Version-3'
SEEDED_DEVICE='E2E Seeded Printer,winspool,LPT1:'
MONITOR='Advanced Language Monitor'

# The prefix as the scenario needs it, in one run of automate.exe (each Wine
# program costs seconds under emulation): the Windows version, Wine's own
# window frames (no window manager here, and the screenshots should show
# the caption), USB ports only where a scenario asks for them (otherwise
# the port-type list would preselect USB), LPT1:-LPT3: as a fresh prefix
# has them unless the scenario names some in $LPT_ABSENT, unmanaged windows
# for the TCP/IP scenarios (without a window manager Wine holds a program
# 2 s for each managed window that closes, and the TCP/IP port monitor's
# dialogs are operated by sent clicks), and what the scenario adds to
# $STAGE/prepare.txt before calling this.
LPT_ABSENT=""
prepare_prefix() {  # Windows version
  local port
  {
    if [ "$1" = win11 ]; then
      # Wine 8 has no "win11": without a Version of its own it reports the
      # version the registry holds, as Windows 11 keeps it (10.0, build
      # 22631, a workstation). A 32-bit program reads the 32-bit view.
      echo "registry-delete HKCU\Software\Wine | Version"
      for key in "$NT_VERSION_KEY" "$NT_VERSION_KEY_32"; do
        echo "registry-set $key | CurrentVersion | 10.0"
        echo "registry-set $key | CurrentBuildNumber | 22631"
      done
      echo "registry-set HKLM\System\CurrentControlSet\Control\ProductOptions | ProductType | WinNT"
    else
      echo "registry-set HKCU\Software\Wine | Version | $1"
    fi
    echo "registry-set HKCU\Software\Wine\X11 Driver | Decorated | N"
    if [ -n "$tcpip" ]; then echo "registry-set HKCU\Software\Wine\X11 Driver | Managed | N"
    else echo "registry-delete HKCU\Software\Wine\X11 Driver | Managed"; fi
    for port in USB001 USB002 USB003; do
      if [ -n "$usb" ]; then echo "registry-set $PORTS_KEY | $port | "
      else echo "registry-delete $PORTS_KEY | $port"; fi
    done
    for port in LPT1: LPT2: LPT3:; do
      case " $LPT_ABSENT " in
        *" $port "*) echo "registry-delete $PORTS_KEY | $port" ;;
        *) echo "registry-set $PORTS_KEY | $port | " ;;
      esac
    done
  } >"$STAGE/prepare-base.txt"
  touch "$STAGE/prepare.txt"
  cat "$STAGE/prepare-base.txt" "$STAGE/prepare.txt" >"$STAGE/prepare-all.txt"
  # Into a file: Wine's services start on the way and hold a pipe open.
  (cd "$STAGE" && wine_first_call "$WINE" "$AUTOMATE_EXE" prepare-all.txt >prepare.raw 2>prepare.err)
  tr -d '\r' <"$STAGE/prepare.raw" >"$STAGE/prepare.log"
  sed 's/^/  prepare | /' "$STAGE/prepare.log"
  grep -Fxq "done: ok" "$STAGE/prepare.log" || { echo "FAIL: the prefix could not be prepared"; exit 1; }
  if [ -n "$usb" ]; then
    answering_spooler_install "$STAND_IN_EXE" || { echo "FAIL: could not install the answering spooler"; exit 1; }
  fi
}

stage_library() {
  [ -f "$ARCHIVE_DLL" ] || { echo "FAIL: $ARCHIVE_DLL missing"; exit 1; }
  cp "$ARCHIVE_DLL" "$STAGE/"
}
stage_package() {
  [ -f "$SAMPLE_PACKAGE" ] || skip "no sample package at $SAMPLE_PACKAGE (build the host build first)"
  cp "$SAMPLE_PACKAGE" "$STAGE/DriverData.Drv"
}

# The scenarios, by topic.
for part in startup usb parallel tcpip; do
  # shellcheck source=/dev/null
  source "$REPO/tests/e2e/e2e_$part.sh"
done

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
  startup_win11) check_startup 11 ;;
  package) check_package ;;
  no_package|no_library) check_missing ;;
  close_early) check_close_early ;;
  usb_none_answering) check_usb; check_none_answering ;;
  usb_label_reinstall) check_usb; check_label_reinstall ;;
  usb_*) check_usb ;;
  parallel_*) check_parallel ;;
  tcpip_*) check_tcpip ;;
esac

echo "screenshots: $SHOTS/$scenario-*.png"
if [ "$failures" -ne 0 ]; then
  echo "e2e $scenario: $failures check(s) failed"
  exit 1
fi
echo "e2e $scenario: passed"
exit 0
