#!/usr/bin/env bash
# The acceptance matrix: the real 32-bit installer under Wine, operated by
# automate.exe, installs a receipt and a label model on every port type
# (USB, serial, parallel, TCP/IP) on a Windows 7 and a Windows 10 prefix.
# Each installation is judged from outside afterwards: the printer and its
# port as the spooler lists them, the driver (and the language monitor)
# registered, the default printer, no working folder left on drive C.
# Screenshots of every dialog and of the finished installation go to
# build/screenshots/matrix-*. A summary table is printed at the end and
# kept in $BUILD_ROOT/e2e-stage/matrix/summary.txt.
#
#   tests/e2e/run_matrix.sh
#
# All cells share one 32-bit prefix that offers every port type at once:
# USB001-USB003 with a printer answering on USB002 (the answering stand-in
# for the Spooler service), COM1-COM2 on pseudo-terminals with a printer
# answering on COM2 at 9600 baud, LPT1:-LPT3:, and the test TCP/IP port
# monitor with the port IP_127.0.0.1. Exit 0 passed, 1 failed, 77 skipped.
set -uo pipefail

REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
BUILD_ROOT=${BUILD_ROOT:-$REPO/build}
source "$REPO/scripts/wine-env.sh"
export WINEPREFIX=$BUILD_ROOT/wineprefix-matrix WINEARCH=win32
source "$REPO/tests/e2e/answering_printer.sh"
source "$REPO/tests/serial/serial_lines.sh"
source "$REPO/tests/fixtures/win32/tcp_monitor/tcp_monitor.sh"
source "$REPO/tests/e2e/e2e_common.sh"

SAMPLE_PACKAGE=${SAMPLE_PACKAGE:-$BUILD_ROOT/host/DriverData.Drv}
INSTALLER_EXE=$WIN_BUILD_DIR/src/shell/win32/DriverInstaller.exe
AUTOMATE_EXE=$WIN_BUILD_DIR/tests/e2e/automate.exe
ARCHIVE_DLL=$WIN_BUILD_DIR/src/archive/7-zip32.dll
STAND_IN_EXE=$WIN_BUILD_DIR/tests/fixtures/win32/answering_spooler.exe
TCP_MONITOR_DIR=$WIN_BUILD_DIR/tests/fixtures/win32
SHOTS=$BUILD_ROOT/screenshots
STAGE=$BUILD_ROOT/e2e-stage/matrix
SUMMARY=$STAGE/summary.txt
CAPTION="Configure & Install v1.4"
DEVICE_KEY='HKCU\Software\Microsoft\Windows NT\CurrentVersion\Windows'
SEEDED_DEVICE='E2E Seeded Printer,winspool,LPT1:'
MONITOR='Advanced Language Monitor'
ENVIRONMENT='Windows NT x86'
# Entries of the sample package's driver list: row and name.
RECEIPT_ROW=7 RECEIPT_NAME=KV6X
LABEL_ROW=18 LABEL_NAME='3130TF(Label)'


"$WINE" --version >/dev/null 2>&1 || skip "no Wine loader this machine can run ($WINE)"
[ "$WIN_ARCH" = i686 ] || skip "the matrix needs the 32-bit product and prefix"
for f in "$INSTALLER_EXE" "$AUTOMATE_EXE" "$ARCHIVE_DLL" "$STAND_IN_EXE" "$SAMPLE_PACKAGE" \
  "$TCP_MONITOR_DIR/tcp_monitor.dll"; do
  [ -f "$f" ] || skip "missing $f"
done
command -v import >/dev/null || skip "imagemagick 'import' is missing"

e2e_lock
e2e_cleanup_on_exit

rm -rf "$STAGE"
mkdir -p "$STAGE"
rm -f "$SHOTS"/matrix-*.png
display_ready || { echo "FAIL: no display"; exit 1; }
wine_prefix_ready
answering_profile_prepare || { echo "FAIL: could not prepare the hardware profile"; exit 1; }

python3 "$REPO/tests/serial/serial_responder.py" printer --ptys 2 \
  --names "$STAGE/ptys" --answer 2 --baud 9600 --log "$STAGE/lines.log" \
  2>"$STAGE/responder.err" &
RESPONDER=$!
serial_wait_file "$STAGE/ptys" || { echo "FAIL: the responder made no lines"; exit 1; }
serial_ports_map "$STAGE/ptys"
"$WINESERVER" -p 2>>"$STAGE/wineserver.err"
wine_first_call --persistent "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1 ||
  { echo "FAIL: Wine did not start in $WINEPREFIX"; exit 1; }
serial_device_map_only 2 || { echo "FAIL: the COM ports could not be mapped"; exit 1; }
"$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
answering_ports_add USB001 USB002 USB003 LPT1: LPT2: LPT3: || { echo "FAIL: no USB or LPT ports"; exit 1; }
answering_spooler_install "$STAND_IN_EXE" || { echo "FAIL: could not install the answering spooler"; exit 1; }
answering_port_set USB002
tcp_monitor_install "$TCP_MONITOR_DIR" || { echo "FAIL: could not install the TCP/IP port monitor"; exit 1; }
tcp_monitor_ports_clear
tcp_monitor_port_add IP_127.0.0.1 127.0.0.1 || { echo "FAIL: no TCP/IP port"; exit 1; }

cp "$INSTALLER_EXE" "$ARCHIVE_DLL" "$STAGE/"
cp "$SAMPLE_PACKAGE" "$STAGE/DriverData.Drv"

# What the operator does on each port type after Install, and the port the
# printer must end on. The serial search goes on behind "&Finish": its own
# ending names the port. On Windows 7 the USB search writes every port in
# turn without asking the spooler, and the last one stays.
port_steps() {  # port type, shots prefix
  case "$1" in
    usb) echo "wait-status 1011 The installation is completed. 600" ;;
    serial) cat <<EOT
wait-prompt 180
screenshot $2serial-prompt
prompt-select 4
prompt-click 1030
prompt-gone 30
wait-text 1011 The available printer port: 180
wait-text 1012 &Finish 60
EOT
      ;;
    parallel) cat <<EOT
wait-dialog Select A Parallel Port 120
screenshot $2parallel-dialog
dialog-list-select 1004 1
dialog-click 1037
dialog-gone 30
wait-status 1011 The installation is completed. 300
EOT
      ;;
    tcpip) cat <<EOT
wait-dialog Configure TCP/IP PrinterPort 120
screenshot $2tcpip-dialog
dialog-click 1037
dialog-gone 30
wait-status 1011 The installation is completed. 300
EOT
      ;;
  esac
}
expected_port() {  # port type, version
  case "$1" in
    usb) [ "$2" = win7 ] && echo USB003 || echo USB002 ;;
    serial) echo COM2: ;;
    parallel) echo LPT2: ;;
    tcpip) echo IP_127.0.0.1 ;;
  esac
}
port_row() {
  case "$1" in serial) echo 0 ;; usb) echo 1 ;; parallel) echo 2 ;; tcpip) echo 3 ;; esac
}

total_failures=0
printf '%-8s %-9s %-8s %-7s %-14s %s\n' family port windows result "printer on" notes >"$SUMMARY"

run_cell() {  # family port version
  local family=$1 port=$2 version=$3 row name cell log notes="" expected line driver
  cell=$family-$port-$version
  log=$STAGE/$cell.log
  if [ "$family" = receipt ]; then row=$RECEIPT_ROW name=$RECEIPT_NAME; else row=$LABEL_ROW name=$LABEL_NAME; fi
  expected=$(expected_port "$port" "$version")
  local failures=0
  note() { notes="$notes${notes:+; }$*"; failures=$((failures + 1)); echo "FAIL: $cell: $*"; }

  wine_set_version "$version"
  rm -rf "$WINEPREFIX/drive_c/DriverName.cfg" "$WINEPREFIX/drive_c/Ticket" "$WINEPREFIX/drive_c/Barcode"
  {
    echo "printer-delete $name"
    echo "driver-delete $ENVIRONMENT | $name"
    [ "$family" = label ] && echo "monitor-delete $ENVIRONMENT | $MONITOR"
    echo "registry-set $DEVICE_KEY | Device | $SEEDED_DEVICE"
    echo "wait-window $CAPTION 120"
    echo "wait-text 1011 Current System is 120"
    echo "wait-enabled 1012 60"
    echo "combo-select 1000 $row"
    echo "get-text 1001"
    echo "list-select 1004 $(port_row "$port")"
    echo "click 1012"
    port_steps "$port" "matrix-$cell-"
    echo "expect-no-msgbox 1"
    echo "get-text 1011"
    echo "get-text 1012"
    echo "screenshot matrix-$cell-finished"
    echo "click 1012"
    echo "wait-exit 60"
    echo "printers"
    echo "default-printer"
    echo "drivers $ENVIRONMENT"
    echo "monitors"
  } >"$STAGE/$cell.txt"
  # automate.exe waits for the installer's window, so it may start first.
  (cd "$STAGE" && "$WINE" DriverInstaller.exe >>"$STAGE/installer.out" 2>&1) &
  INSTALLER_PID=$!
  (cd "$STAGE" && run_automation "$AUTOMATE_EXE" "$cell.txt" "$log" "$SHOTS/") >/dev/null
  local status=$?
  if [ "$status" -ne 0 ]; then
    import -window root "$SHOTS/matrix-$cell-failure.png" 2>/dev/null || true
    note "automation: $(grep -m1 '^error: ' "$log" | cut -c8-)"
    "$WINE" taskkill /f /im DriverInstaller.exe >/dev/null 2>&1
  fi
  wait "$INSTALLER_PID" 2>/dev/null
  INSTALLER_PID=""

  line=$(grep -F -m1 -- "printer: $name | " "$log")
  local on=${line#"printer: $name | "}
  on=${on%% | *}
  driver=${line##* | }
  [ -n "$line" ] || note "no printer $name"
  [ -z "$line" ] || [ "$on" = "$expected" ] || note "on $on, expected $expected"
  [ -z "$line" ] || grep -Fq -- "driver: $driver | $ENVIRONMENT | " "$log" || note "driver $driver not registered"
  grep -Fxq -- "default printer: $name" "$log" || note "not the default printer"
  grep -Fxq -- "text 1011: The installation is completed." "$log" ||
    grep -Fq -- "text 1011: The available printer port:  $expected" "$log" || note "status: $(sed -n 's/^text 1011: //p' "$log" | tail -n 1)"
  if [ "$family" = label ]; then
    grep -Fq -- "monitor: $MONITOR | " "$log" || note "no $MONITOR"
  fi
  for left in DriverName.cfg Ticket Barcode; do
    [ ! -e "$WINEPREFIX/drive_c/$left" ] || note "C:\\$left left behind"
  done
  local result=passed
  [ "$failures" -eq 0 ] || result=FAILED
  [ "$failures" -eq 0 ] && echo "ok: $cell: $name on $on"
  printf '%-8s %-9s %-8s %-7s %-14s %s\n' "$family" "$port" "$version" "$result" "${on:--}" "$notes" >>"$SUMMARY"
  total_failures=$((total_failures + failures))
}

for version in win7 win10; do
  for port in usb serial parallel tcpip; do
    for family in receipt label; do
      run_cell "$family" "$port" "$version"
    done
  done
done

echo "== acceptance matrix (screenshots: $SHOTS/matrix-*.png)"
cat "$SUMMARY"
if [ "$total_failures" -ne 0 ]; then
  echo "acceptance matrix: $total_failures check(s) failed"
  exit 1
fi
echo "acceptance matrix: passed"
exit 0
