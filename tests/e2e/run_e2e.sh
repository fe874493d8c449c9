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

# --- Scenario scripts for automate.exe -------------------------------------

write_startup() {
  # A package that holds only this driver-name list: the installer clears
  # whatever stands at C:\DriverName.cfg before it unpacks.
  stage_library
  printf '%s\r\n' '[Model0]' 'PrintName1=4720 Series' '[Model1]' 'PrintName1=4740 Series' \
    '[Model2]' 'PrintName1=4760 Series' 'PrintName2=4760E Series' >"$STAGE/DriverName.cfg"
  python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1], "w").write(sys.argv[2], "DriverName.cfg")' \
    "$STAGE/DriverData.Drv" "$STAGE/DriverName.cfg"
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
  # The last start-up step ran, and nothing was unpacked or complained of:
  # only the installer's own empty folders and list, made before it tried.
  expect "text 1011" "Current System is Microsoft Windows 7  64 bit"
  expect "msgbox" none
  expect "combo 1000 count" 0
  expect "enabled 1012" yes
  expect 'file C:\DriverName.cfg' yes
  expect 'file C:\Ticket' yes
  expect 'file C:\Barcode' yes
  grep -q '^exited: ' "$LOG" && pass "Cancel closed the installer" || fail "Cancel did not close the installer"
  expect_absent_file DriverName.cfg
  expect_absent_file Ticket
  expect_absent_file Barcode
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

# --- Installations on a USB printer ----------------------------------------
#
# Each installs one entry of the sample list on the USB row and answers
# what comes up. The stand-in spooler logs, at each of its starts, the port
# of every printer ("Seen"), and counts its starts: the ports the USB
# search tried, in order, are the ones logged for the printer after the
# count read just before Install.

USB_ENTRY=""        # index in the driver list
USB_NAME=""         # what the entry reads, and the printer's name
USB_ANSWERING=""    # the port whose printer answers, "" for none
USB_VERSION=win10
USB_DEFAULT=1       # "Set Default Printer" left checked
USB_TRIED=""        # the ports the search must try, in order
USB_PORT=""         # the port the printer must end on
USB_FLOW=""         # how the install is answered (see write_usb)

# The prefix: the stand-in answering on $USB_ANSWERING, a log of its own,
# no printer or "Windows x64" driver of the name left by an earlier run, a
# known default printer.
#
# The installer registers its driver for "Windows x64", as a 32-bit program
# must for the 64-bit spooler of 64-bit Windows. Wine's spooler runs inside
# the 32-bit installer and looks a new printer's driver up in "Windows NT
# x86" instead (AddPrinterA fails with 87 without one there). A placeholder
# record of the same name there stands in for that lookup; which driver the
# installer registered is judged from the "Windows x64" records alone.
prepare_usb() {
  cat >>"$STAGE/prepare.txt" <<EOF
registry-set $STAND_IN_KEY | AnsweringPort | $USB_ANSWERING
registry-delete $STAND_IN_KEY | Seen
registry-set $DEVICE_KEY | Device | $SEEDED_DEVICE
printer-delete $USB_NAME
driver-delete Windows x64 | $USB_NAME
drivers Windows x64
driver-add $USB_NAME
EOF
}

write_usb() {
  local uncheck="" answer
  if [ "$USB_DEFAULT" = 0 ]; then
    uncheck=$'click 1002\nwait-checked 1002 0 10'
  fi
  case "$USB_FLOW" in
    retry_then_cancel)
      answer="wait-msgbox 600
screenshot msgbox-1
answer-msgbox IDRETRY
wait-msgbox 600
screenshot msgbox-2
answer-msgbox IDCANCEL
wait-status 1011 The installation is completed. 120" ;;
    *)
      # No message box: one ends the wait as a failure.
      answer="wait-status 1011 The installation is completed. 600" ;;
  esac
  cat >"$STAGE/scenario.txt" <<EOF
wait-window $CAPTION 60
wait-text 1011 Current System is 120
wait-enabled 1012 30
list-selected 1004
combo-select 1000 $USB_ENTRY
get-text 1001
list-select 1004 1
$uncheck
is-checked 1002
registry $STAND_IN_KEY | Starts
click 1012
$answer
expect-no-msgbox 1
get-text 1012
screenshot installed
file-exists C:\DriverName.cfg
file-exists C:\Ticket
file-exists C:\Barcode
click 1012
wait-exit 60
echo after the installer
registry $STAND_IN_KEY | Starts
registry $STAND_IN_KEY | Seen
printers
default-printer
registry $DEVICE_KEY | Device
drivers Windows x64
monitors
EOF
}

# The values of one key of the prefix's registry, through reg.exe, as
# "name=data" lines in $STAGE/<file>.
reg_key() {  # key file
  "$WINE" reg query "$1" >"$STAGE/$2.raw" 2>/dev/null
  tr -d '\r' <"$STAGE/$2.raw" |
    sed -n 's/^    \(.*[^ ]\)    REG_[A-Z_]*    \(.*\)$/\1=\2/p' >"$STAGE/$2"
  sed "s/^/  $2 | /" "$STAGE/$2"
}
# The names of a key's subkeys, one a line.
reg_key_names() {  # key
  "$WINE" reg query "$1" >"$STAGE/names.raw" 2>/dev/null
  tr -d '\r' <"$STAGE/names.raw" | sed -n 's/^HKEY_[A-Z_]*\\.*\\\([^\\]*\)$/\1/p' |
    grep -vFx -- "${1##*\\}"
}
expect_reg() {  # file name data
  if grep -Fxq -- "$2=$3" "$STAGE/$1"; then pass "$1: $2 = $3"; else fail "$1: expected $2 = $3"; fi
}

check_usb() {
  local before after tried count
  expect "list 1004 selected" 1
  expect "text 1001" "$USB_NAME"
  expect "checked 1002" "$USB_DEFAULT"
  expect "text 1011" "The installation is completed."
  expect "msgbox" none
  expect "text 1012" "&Finish"
  # The working folders were there until Finish closed the installer.
  expect 'file C:\DriverName.cfg' yes
  expect 'file C:\Ticket' yes
  expect 'file C:\Barcode' yes
  grep -q '^exited: ' "$LOG" && pass "Finish closed the installer" || fail "Finish did not close the installer"
  expect_absent_file DriverName.cfg
  expect_absent_file Ticket
  expect_absent_file Barcode

  # The spooler's view: one printer of the name, on the port, with the
  # driver of the same name, registered for the 32-bit program's "Windows x64"
  # by this run (the set-up removed it).
  if grep -q -F -- "driver: $USB_NAME | Windows x64 |" "$STAGE/prepare.log"; then
    fail "before: the Windows x64 driver $USB_NAME is still there"
  else
    pass "before: no Windows x64 driver $USB_NAME"
  fi
  count=$(grep -c -F -- "printer: $USB_NAME | " "$LOG")
  if [ "$count" = 1 ]; then pass "one printer $USB_NAME"; else fail "$count printers $USB_NAME"; fi
  expect printer "$USB_NAME | $USB_PORT | $USB_NAME"
  expect driver "$USB_NAME | Windows x64 | 3"

  # The ports the search tried: whatever the spooler saw at each start
  # after Install, and no start the search did not make.
  before=$(grep -m1 '^registry Starts: ' "$LOG" | sed 's/^registry Starts: //')
  after=$(sed -n 's/^registry Starts: //p' "$LOG" | tail -n 1)
  tried=$(sed -n 's/^registry Seen: \([0-9]*\)|\(.*\)$/\1 \2/p' "$LOG" |
    while read -r start rest; do
      [ "$start" -gt "${before:-0}" ] || continue
      [ "${rest%|*}" = "$USB_NAME" ] && printf '%s ' "${rest##*|}"
    done)
  tried=${tried% }
  if [ "$tried" = "$USB_TRIED" ]; then pass "the search tried: ${USB_TRIED:-no port with a spooler restart}"
  else fail "the search tried '$tried', not '$USB_TRIED'"; fi
  count=$(echo $USB_TRIED | wc -w)
  if [ -n "$before" ] && [ -n "$after" ] && [ $((after - before)) -eq "$count" ]; then
    pass "the spooler started $count times during the installation"
  else
    fail "the spooler started $((${after:-0} - ${before:-0})) times during the installation, not $count"
  fi

  if [ "$USB_DEFAULT" = 1 ]; then
    expect "default printer" "$USB_NAME"
  else
    expect "default printer" "${SEEDED_DEVICE%%,*}"
    expect "registry Device" "$SEEDED_DEVICE"
  fi

  # The same from the registry files of the prefix, through reg.exe.
  reg_key "$PRINTERS_KEY\\$USB_NAME" printer-key
  expect_reg printer-key Port "$USB_PORT"
  expect_reg printer-key "Printer Driver" "$USB_NAME"
  reg_key "$DRIVERS_KEY\\$USB_NAME" driver-key
  if grep -q '^Driver=.' "$STAGE/driver-key"; then pass "$USB_NAME registered under Windows x64\\Drivers\\Version-3"
  else fail "no $USB_NAME under Windows x64\\Drivers\\Version-3"; fi
}

check_none_answering() {
  local text='Failed to select USB port,please check the port is connected.\r\n\r\nClick Retry:Retry to select usb port\r\nClick Cancel:Continue installation, you can select the port after installation'
  local count
  count=$(grep -c -Fx -- "msgbox caption: Fail to select port" "$LOG")
  if [ "$count" = 2 ]; then pass "two boxes 'Fail to select port'"; else fail "$count boxes 'Fail to select port', not 2"; fi
  count=$(grep -c -Fx -- "msgbox text: $text" "$LOG")
  if [ "$count" = 2 ]; then pass "both say: $text"; else fail "$count boxes say: $text"; fi
  expect "msgbox answer" 4
  expect "msgbox answer" 2
}

# The label entry, with a printer of its name already there: left by an
# earlier installation, on LPT1: with another driver, and marked in its
# registry key. The installer must delete it and add its own.
STALE_DRIVER="E2E Stale Driver"
prepare_stale_printer() {
  cat >>"$STAGE/prepare.txt" <<EOF
monitor-delete Windows x64 | $MONITOR
monitors
driver-add $STALE_DRIVER
printer-add $USB_NAME | LPT1: | $STALE_DRIVER
registry-set $PRINTERS_KEY\\$USB_NAME | E2EStale | left by an earlier installation
printers
EOF
}

check_label_reinstall() {
  local monitor_dll=$WIN_BUILD_DIR/tests/fixtures/win32/language_monitor.dll
  # The set-up gave the installer something to re-add, and no monitor.
  if grep -Fxq "printer: $USB_NAME | LPT1: | $STALE_DRIVER" "$STAGE/prepare.log"; then
    pass "before: $USB_NAME on LPT1: with $STALE_DRIVER"
  else
    fail "the stale printer $USB_NAME could not be set up"
  fi
  if grep -q "^monitor: $MONITOR |" "$STAGE/prepare.log"; then fail "before: $MONITOR still there"
  else pass "before: no $MONITOR"; fi
  # A new key: the stale one's mark went with it.
  if ! grep -Fxq "Name=$USB_NAME" "$STAGE/printer-key"; then fail "the printer key of $USB_NAME could not be read"
  elif grep -q '^E2EStale=' "$STAGE/printer-key"; then fail "the printer key of $USB_NAME is the stale one"
  else pass "the printer key of $USB_NAME was made anew"; fi
  expect monitor "$MONITOR | Windows NT x86 | C:\\windows\\SysWOW64\\zqaNLM64.dll"
  if cmp -s "$monitor_dll" "$WINEPREFIX/drive_c/windows/syswow64/zqaNLM64.dll"; then
    pass "the monitor DLL is in SysWOW64"
  else
    fail "SysWOW64\\zqaNLM64.dll is not the package's monitor DLL"
  fi
}

# --- Installations on a parallel port --------------------------------------
#
# A receipt model on the Parallel row. With LPT1:-LPT3: the parallel port
# dialog comes up and is operated; with only LPT1: left, none may show (a
# dialog would hold the installation, and the wait for its completion ends
# at once on any window of the installer other than the main dialog).
# Afterwards the spooler's printers and drivers tell what was made.

PARALLEL_ENTRY=7            # KV6X in the sample package's driver list
PARALLEL_NAME=KV6X
PARALLEL_CAPTION="Select A Parallel Port"

# No printer or "Windows x64" driver of the name left by an earlier run, the
# "Windows NT x86" placeholder Wine's AddPrinterA looks the driver up in
# (see prepare_usb), a known default printer.
prepare_parallel() {
  cat >>"$STAGE/prepare.txt" <<EOF
registry-set $DEVICE_KEY | Device | $SEEDED_DEVICE
printer-delete $PARALLEL_NAME
driver-delete Windows x64 | $PARALLEL_NAME
driver-add $PARALLEL_NAME
EOF
}

# Up to the Install click: the entry, on the Parallel row.
parallel_start() {
  cat <<EOF
wait-window $CAPTION 60
wait-text 1011 Current System is 120
wait-enabled 1012 30
combo-select 1000 $PARALLEL_ENTRY
get-text 1001
list-select 1004 2
click 1012
EOF
}

# After the installation: Finish closes the installer, then the spooler's view.
parallel_finish() {
  cat <<EOF
wait-status 1011 The installation is completed. 300
expect-no-msgbox 1
get-text 1012
screenshot installed
click 1012
wait-exit 60
echo after the installer
printers
default-printer
drivers Windows x64
EOF
}

write_parallel() {
  local way
  {
    parallel_start
    case "$scenario" in
      parallel_choose)
        cat <<EOF
wait-dialog $PARALLEL_CAPTION 120
dialog-list 1004
dialog-list-selected 1004
screenshot dialog
dialog-list-select 1004 1
dialog-list-selected 1004
screenshot chosen
dialog-click 1037
dialog-gone 30
EOF
        parallel_finish ;;
      parallel_keys)
        # OK with no row asks for one; Enter then takes the last row.
        cat <<EOF
wait-dialog $PARALLEL_CAPTION 120
dialog-list-select 1004 none
dialog-list-selected 1004
dialog-click 1037
wait-msgbox 30
screenshot no-row
answer-msgbox IDOK
dialog-list-selected 1004
dialog-list-select 1004 2
dialog-key enter
dialog-gone 30
EOF
        parallel_finish ;;
      parallel_one)
        parallel_finish ;;
      parallel_cancel)
        # Cancel, Escape and the close box, each on an Install of its own.
        # Closing the dialog preselects a port type anew: the Parallel row
        # is chosen again each time.
        for way in "dialog-click 1039" "dialog-key escape" "dialog-key close"; do
          cat <<EOF
wait-dialog $PARALLEL_CAPTION 120
echo ending with $way
$way
dialog-gone 30
wait-enabled 1012 60
get-text 1012
list-select 1004 2
EOF
          [ "$way" = "dialog-key close" ] || echo "click 1012"
        done
        cat <<EOF
expect-no-msgbox 1
is-enabled 1012
screenshot after
close
wait-exit 60
echo after the installer
printers
drivers Windows x64
EOF
        ;;
    esac
  } >"$STAGE/scenario.txt"
}

check_parallel_dialog() {
  expect "dialog caption" "[$PARALLEL_CAPTION]"
  expect "dialog owner" installer
  expect "dialog installer enabled" no
  expect "dialog control 1030" "Please select a port from the following ports"
  expect "dialog control 1004" "list view report single showsel"
  expect "dialog control 1037" "&Ok"
  expect "dialog control 1039" "&Cancel"
}

# One printer of the name, on the port, with the driver this run
# registered; the default printer is the new one.
check_parallel_printer() {  # port
  local count
  expect "text 1001" "$PARALLEL_NAME"
  expect "text 1011" "The installation is completed."
  expect "msgbox" none
  expect "text 1012" "&Finish"
  grep -q '^exited: ' "$LOG" && pass "Finish closed the installer" || fail "Finish did not close the installer"
  if grep -q -F -- "driver: $PARALLEL_NAME | Windows x64 |" "$STAGE/prepare.log"; then
    fail "before: the Windows x64 driver $PARALLEL_NAME is still there"
  else
    pass "before: no Windows x64 driver $PARALLEL_NAME"
  fi
  count=$(grep -c -F -- "printer: $PARALLEL_NAME | " "$LOG")
  if [ "$count" = 1 ]; then pass "one printer $PARALLEL_NAME"; else fail "$count printers $PARALLEL_NAME"; fi
  expect printer "$PARALLEL_NAME | $1 | $PARALLEL_NAME"
  expect driver "$PARALLEL_NAME | Windows x64 | 3"
  expect "default printer" "$PARALLEL_NAME"
  reg_key "$PRINTERS_KEY\\$PARALLEL_NAME" printer-key
  expect_reg printer-key Port "$1"
}

check_parallel() {
  local count
  case "$scenario" in
    parallel_choose)
      check_parallel_dialog
      expect "dialog list 1004 columns" 2
      expect "dialog list 1004 rows" 3
      expect "dialog list 1004 row 0" "LPT1: | Local Port"
      expect "dialog list 1004 row 1" "LPT2: | Local Port"
      expect "dialog list 1004 row 2" "LPT3: | Local Port"
      expect "dialog list 1004 selected" 0
      expect "dialog list 1004 selected" 1
      check_parallel_printer LPT2: ;;
    parallel_keys)
      expect "dialog list 1004 selected" none
      expect "msgbox caption" Prompt
      expect "msgbox text" "Please select a port from the list."
      expect "msgbox answer" 1
      check_parallel_printer LPT3: ;;
    parallel_one)
      if grep -Fxq "port: LPT1: | Local Port" "$STAGE/prepare.log" &&
         ! grep -q '^port: LPT[02-9]' "$STAGE/prepare.log"; then
        pass "before: LPT1: is the prefix's only LPT port"
      else
        fail "before: the prefix's LPT ports are not LPT1: alone"
      fi
      check_parallel_printer LPT1: ;;
    parallel_cancel)
      check_parallel_dialog
      count=$(grep -c -Fx "dialog: closed" "$LOG")
      if [ "$count" = 3 ]; then pass "the dialog closed three times"; else fail "the dialog closed $count times, not 3"; fi
      count=$(grep -c -Fx "enabled 1012: yes" "$LOG")
      # The start, after each of the three endings, and at the end.
      if [ "$count" = 5 ]; then pass "Install enabled again after each ending"; else fail "Install enabled $count times, not 5"; fi
      count=$(grep -c -Fx "text 1012: &Install" "$LOG")
      if [ "$count" = 3 ]; then pass "Install kept its caption"; else fail "Install kept its caption $count times, not 3"; fi
      expect msgbox none
      grep -q '^exited: ' "$LOG" && pass "the close box ended the installer" || fail "the installer did not end"
      if grep -q -F -- "printer: $PARALLEL_NAME | " "$LOG"; then fail "a printer $PARALLEL_NAME was made"
      else pass "no printer $PARALLEL_NAME"; fi
      if grep -q -F -- "driver: $PARALLEL_NAME | Windows x64 |" "$LOG"; then fail "a Windows x64 driver $PARALLEL_NAME was registered"
      else pass "no Windows x64 driver $PARALLEL_NAME"; fi ;;
  esac
}

# --- Installations on a TCP/IP port ----------------------------------------
#
# The same receipt model on the TCP/IP row, in a prefix that has our test
# "Standard TCP/IP Port" monitor (tests/fixtures/win32/tcp_monitor; Wine has
# none) with the ports each scenario names. Without a TCP/IP port the
# monitor's add dialog comes up at once, owned by the installer; with ports
# the installer's own TCP/IP port dialog does, and the monitor's dialogs
# come up over it for Add Port and ConfigurePort. Afterwards the spooler's
# printers and ports, and the monitor's registry, tell what was made.

TCPIP_CAPTION="Configure TCP/IP PrinterPort"
TCP_ADD_CAPTION="Add Standard TCP/IP Printer Port"
TCP_CONFIGURE_CAPTION="Configure Standard TCP/IP Port Monitor"
TCPIP_PORTS=""     # "name=host ..." the monitor has before the run

# The monitor, with exactly $TCPIP_PORTS, then what prepare_parallel does
# (no printer or Windows x64 driver of the name, the x86 placeholder, a
# known default printer).
prepare_tcpip() {
  local entry
  tcp_monitor_install "$TCP_MONITOR_DIR" || { echo "FAIL: could not install the TCP/IP port monitor"; exit 1; }
  tcp_monitor_ports_clear
  for entry in $TCPIP_PORTS; do
    tcp_monitor_port_add "${entry%%=*}" "${entry#*=}" ||
      { echo "FAIL: could not add the TCP/IP port ${entry%%=*}"; exit 1; }
  done
  prepare_parallel
}

tcpip_start() {
  parallel_start | sed 's/^list-select 1004 2$/list-select 1004 3/'
}

# The monitor's add dialog: the printer's address, OK.
tcpip_add_port() {  # host
  cat <<EOF
wait-port-dialog add 60
port-dialog-set 1001 $1
port-dialog-click IDOK
port-dialog-gone 30
EOF
}

write_tcpip() {
  local way
  {
    tcpip_start
    case "$scenario" in
      tcpip_wizard)
        echo "wait-port-dialog add 120"
        echo "screenshot wizard"
        tcpip_add_port 10.0.0.5 | tail -n +2
        parallel_finish
        echo ports ;;
      tcpip_wizard_cancel)
        cat <<EOF
wait-port-dialog add 120
port-dialog-click IDCANCEL
port-dialog-gone 30
wait-enabled 1012 60
get-text 1012
expect-no-msgbox 1
close
wait-exit 60
echo after the installer
printers
drivers Windows x64
ports
EOF
        ;;
      tcpip_choose)
        cat <<EOF
wait-dialog $TCPIP_CAPTION 120
dialog-list 1004
dialog-list-selected 1004
screenshot dialog
dialog-list-select 1004 1
dialog-click 1037
dialog-gone 30
EOF
        parallel_finish ;;
      tcpip_manage)
        # Add a port, configure it, delete the one that was there, and
        # install on the new one.
        cat <<EOF
wait-dialog $TCPIP_CAPTION 120
dialog-click 1029
EOF
        tcpip_add_port 10.0.0.9
        cat <<EOF
dialog-wait-rows 1004 2 30
dialog-list 1004
dialog-list-selected 1004
screenshot added
dialog-click 1031
wait-port-dialog configure 60
port-dialog-set 1002 9101
port-dialog-click IDOK
port-dialog-gone 30
dialog-list-select 1004 0
dialog-click 1032
dialog-wait-rows 1004 1 30
dialog-list 1004
dialog-list-selected 1004
dialog-click 1037
dialog-gone 30
EOF
        parallel_finish
        echo ports ;;
      tcpip_empty)
        # The last port deleted: OK asks for one; Add Port makes one; Enter.
        cat <<EOF
wait-dialog $TCPIP_CAPTION 120
dialog-click 1032
dialog-wait-rows 1004 0 30
dialog-click 1037
wait-msgbox 30
screenshot no-port
answer-msgbox IDOK
dialog-click 1029
EOF
        tcpip_add_port 10.0.0.7
        cat <<EOF
dialog-wait-rows 1004 1 30
dialog-list 1004
dialog-list-selected 1004
dialog-key enter
dialog-gone 30
EOF
        parallel_finish ;;
      tcpip_cancel)
        for way in "dialog-click 1039" "dialog-key escape" "dialog-key close"; do
          cat <<EOF
wait-dialog $TCPIP_CAPTION 120
echo ending with $way
$way
dialog-gone 30
wait-enabled 1012 60
get-text 1012
list-select 1004 3
EOF
          [ "$way" = "dialog-key close" ] || echo "click 1012"
        done
        cat <<EOF
expect-no-msgbox 1
is-enabled 1012
screenshot after
close
wait-exit 60
echo after the installer
printers
drivers Windows x64
EOF
        ;;
    esac
  } >"$STAGE/scenario.txt"
}

check_tcpip_dialog() {
  expect "dialog caption" "[$TCPIP_CAPTION]"
  expect "dialog owner" installer
  expect "dialog installer enabled" no
  expect "dialog control 1030" "Please select/create a TCP/IP printer port"
  expect "dialog control 1004" "list view report single showsel"
  expect "dialog control 1029" "&Add Port"
  expect "dialog control 1031" "&ConfigurePort"
  expect "dialog control 1032" "&Delete Port"
  expect "dialog control 1037" "OK"
  expect "dialog control 1039" "Cancel"
}

# The monitor's ports as the prefix's registry has them, "name=host:number".
monitor_ports() {
  local key="$TCP_MONITOR_KEY\\Ports" name host number
  reg_key_names "$key" | while read -r name; do
    reg_key "$key\\$name" "monitor-port-$name" >/dev/null
    host=$(sed -n 's/^HostName=//p' "$STAGE/monitor-port-$name")
    number=$(sed -n 's/^PortNumber=//p' "$STAGE/monitor-port-$name")
    printf '%s=%s:%d\n' "$name" "$host" "$number"
  done | sort | tr '\n' ' ' | sed 's/ $//'
}
expect_monitor_ports() {
  local actual
  actual=$(monitor_ports)
  if [ "$actual" = "$*" ]; then pass "the monitor's ports: $*"
  else fail "the monitor's ports: [$actual], expected [$*]"; fi
}

check_tcpip() {
  local count
  case "$scenario" in
    tcpip_wizard)
      expect "port-dialog caption" "[$TCP_ADD_CAPTION]"
      expect "port-dialog owner" installer
      if grep -q '^dialog caption: ' "$LOG"; then fail "the installer's TCP/IP dialog came up"
      else pass "no TCP/IP dialog, the wizard at once"; fi
      expect port "IP_10.0.0.5 | Standard TCP/IP Port"
      check_parallel_printer IP_10.0.0.5
      expect_monitor_ports "IP_10.0.0.5=10.0.0.5:9100" ;;
    tcpip_wizard_cancel)
      expect "port-dialog owner" installer
      expect "port-dialog" closed
      expect "enabled 1012" yes
      expect "text 1012" "&Install"
      expect msgbox none
      grep -q '^exited: ' "$LOG" && pass "the close box ended the installer" || fail "the installer did not end"
      if grep -q -F -- "printer: $PARALLEL_NAME | " "$LOG"; then fail "a printer $PARALLEL_NAME was made"
      else pass "no printer $PARALLEL_NAME"; fi
      if grep -q -F -- "driver: $PARALLEL_NAME | Windows x64 |" "$LOG"; then fail "a Windows x64 driver $PARALLEL_NAME was registered"
      else pass "no Windows x64 driver $PARALLEL_NAME"; fi
      if grep -q -- '| Standard TCP/IP Port$' "$LOG"; then fail "a TCP/IP port was made"
      else pass "no TCP/IP port"; fi
      expect_monitor_ports "" ;;
    tcpip_choose)
      check_tcpip_dialog
      expect "dialog list 1004 columns" 2
      expect "dialog list 1004 rows" 2
      expect "dialog list 1004 row 0" "IP_10.0.0.1 | Standard TCP/IP Port"
      expect "dialog list 1004 row 1" "IP_10.0.0.2 | Standard TCP/IP Port"
      expect "dialog list 1004 selected" 0
      check_parallel_printer IP_10.0.0.2 ;;
    tcpip_manage)
      # The monitor's dialogs belong to the TCP/IP dialog, not the main one.
      count=$(grep -c -Fx "port-dialog owner caption: [$TCPIP_CAPTION]" "$LOG")
      if [ "$count" = 2 ]; then pass "both monitor dialogs owned by the TCP/IP dialog"
      else fail "$count monitor dialogs owned by the TCP/IP dialog, not 2"; fi
      expect "port-dialog caption" "[$TCP_CONFIGURE_CAPTION]"
      expect "port-dialog field 1003" IP_10.0.0.9
      expect "dialog rows 1004" 2
      expect "dialog list 1004 row 1" "IP_10.0.0.9 | Standard TCP/IP Port"
      expect "dialog list 1004 selected" 1
      expect "dialog rows 1004" 1
      expect "dialog list 1004 row 0" "IP_10.0.0.9 | Standard TCP/IP Port"
      expect "dialog list 1004 selected" 0
      check_parallel_printer IP_10.0.0.9
      if grep -q '^port: IP_10.0.0.1 ' "$LOG"; then fail "IP_10.0.0.1 is still a port"
      else pass "IP_10.0.0.1 deleted"; fi
      expect_monitor_ports "IP_10.0.0.9=10.0.0.9:9101" ;;
    tcpip_empty)
      expect "msgbox caption" Prompt
      expect "msgbox text" 'There is no available TCP/IP port\r\nClick "Add port" to create a new port'
      expect "dialog rows 1004" 0
      expect "dialog list 1004 row 0" "IP_10.0.0.7 | Standard TCP/IP Port"
      expect "dialog list 1004 selected" 0
      check_parallel_printer IP_10.0.0.7
      expect_monitor_ports "IP_10.0.0.7=10.0.0.7:9100" ;;
    tcpip_cancel)
      check_tcpip_dialog
      count=$(grep -c -Fx "dialog: closed" "$LOG")
      if [ "$count" = 3 ]; then pass "the dialog closed three times"; else fail "the dialog closed $count times, not 3"; fi
      count=$(grep -c -Fx "enabled 1012: yes" "$LOG")
      if [ "$count" = 5 ]; then pass "Install enabled again after each ending"; else fail "Install enabled $count times, not 5"; fi
      count=$(grep -c -Fx "text 1012: &Install" "$LOG")
      if [ "$count" = 3 ]; then pass "Install kept its caption"; else fail "Install kept its caption $count times, not 3"; fi
      expect msgbox none
      grep -q '^exited: ' "$LOG" && pass "the close box ended the installer" || fail "the installer did not end"
      if grep -q -F -- "printer: $PARALLEL_NAME | " "$LOG"; then fail "a printer $PARALLEL_NAME was made"
      else pass "no printer $PARALLEL_NAME"; fi
      if grep -q -F -- "driver: $PARALLEL_NAME | Windows x64 |" "$LOG"; then fail "a Windows x64 driver $PARALLEL_NAME was registered"
      else pass "no Windows x64 driver $PARALLEL_NAME"; fi
      expect_monitor_ports "IP_10.0.0.1=10.0.0.1:9100" ;;
  esac
}

INSTALLER_WINEDEBUG=$WINEDEBUG
case "$scenario" in
  usb_receipt_win10)
    # A receipt model where the printer answers on the second of three
    # ports: the search stops there. Set as the default printer; Finish
    # closes the installer and removes the working folders.
    USB_ENTRY=7 USB_NAME=KV6X USB_ANSWERING=USB002
    USB_TRIED="USB001 USB002" USB_PORT=USB002 ;;
  usb_receipt_win7)
    # Windows 7: every port is written in turn without asking the spooler,
    # even with a printer answering, and the last one stays. Not the
    # default printer: the one set before stays.
    USB_VERSION=win7 USB_ENTRY=14 USB_NAME=WX6X USB_ANSWERING=USB002 USB_DEFAULT=0
    USB_TRIED="" USB_PORT=USB003 ;;
  usb_none_answering)
    # No printer answers: Retry searches all three ports again, Cancel
    # goes on with the printer on the last port.
    USB_ENTRY=9 USB_NAME=KV7X USB_ANSWERING="" USB_FLOW=retry_then_cancel
    USB_TRIED="USB001 USB002 USB003 USB001 USB002 USB003" USB_PORT=USB003 ;;
  usb_label_reinstall)
    USB_ENTRY=20 USB_NAME="47T(Label)" USB_ANSWERING=USB002
    USB_TRIED="USB001 USB002" USB_PORT=USB002 ;;
esac
case "$scenario" in
  startup_win7) write_startup; prepare_prefix win7 ;;
  startup_win10) write_startup; prepare_prefix win10 ;;
  startup_win11) write_startup; prepare_prefix win11 ;;
  close_early) stage_library; stage_package; write_close_early; prepare_prefix win7 ;;
  package) stage_library; stage_package; write_package; prepare_prefix win7 ;;
  no_package) stage_library; write_missing; prepare_prefix win7 ;;
  no_library) stage_package; write_missing; prepare_prefix win7 ;;
  usb_*)
    stage_library; stage_package
    prepare_usb
    if [ "$scenario" = usb_label_reinstall ]; then prepare_stale_printer; fi
    write_usb
    prepare_prefix "$USB_VERSION"
    if [ "$scenario" = usb_label_reinstall ]; then
      # The copy an earlier run left; its monitor is gone now.
      rm -f "$WINEPREFIX/drive_c/windows/syswow64/zqaNLM64.dll"
    fi ;;
  parallel_*)
    stage_library; stage_package
    if [ "$scenario" = parallel_one ]; then LPT_ABSENT="LPT2: LPT3:"; fi
    prepare_parallel
    echo ports >>"$STAGE/prepare.txt"
    write_parallel
    prepare_prefix win10 ;;
  tcpip_*)
    stage_library; stage_package
    case "$scenario" in
      tcpip_choose) TCPIP_PORTS="IP_10.0.0.1=10.0.0.1 IP_10.0.0.2=10.0.0.2" ;;
      tcpip_manage|tcpip_empty|tcpip_cancel) TCPIP_PORTS="IP_10.0.0.1=10.0.0.1" ;;
    esac
    prepare_tcpip
    echo ports >>"$STAGE/prepare.txt"
    write_tcpip
    prepare_prefix win10 ;;
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
