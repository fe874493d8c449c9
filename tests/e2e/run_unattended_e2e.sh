#!/usr/bin/env bash
# End-to-end tests of the installer run from its command line, the way a
# deployment tool runs it: automate.exe starts DriverInstaller.exe with
# switches (CreateProcess, standard output into a file), waits for it and
# prints its exit code as Windows reports it. What the run did is judged
# from outside: the exit code, what it printed, its log file, the spooler's
# printers, drivers and monitors, the registry, the files on drive C.
#
#   tests/e2e/run_unattended_e2e.sh <scenario>
#     usb_quiet      /quiet, a receipt printer answering on USB002; the
#                    window is checked hidden while the spooler holds the
#                    run at its first USB port
#     usb_passive    /passive, no printer answering: exit code 2, the
#                    printer left on the last port, the window shown
#     concurrent     a second run while the first holds the machine: 1618,
#                    and the first completes
#     uninstall      a label printer installed, then /uninstall: no
#                    printer, driver or language monitor left
#     bad_lines      each bad command line: 1639, its message, nothing changed
#     parallel       a label printer on LPT2: (/portname), nothing asked
#     tcpip          /host 127.0.0.1:<n> makes a Standard TCP/IP port through
#                    the test port monitor's XcvData; /portname puts a second
#                    printer on it; a test page of each arrives at a listener
#     serial_auto    /baud auto over four serial lines, the printer on the
#                    third answering only at 38400 baud (32-bit prefix)
#     check          /check on the clean prefix with /host at a listener: every
#                    item ok, exit 0; then with Windows protected print mode on
#                    by policy: /check (a printer that takes no connection is a
#                    warning) and an installation end with 1625, nothing installed
#     repair_usb     a receipt printer installed on USB002, where the stand-in
#                    answers; the stand-in then answers on USB003 instead, and
#                    /repair moves the printer there, its driver unchanged
#     repair_serial  a receipt printer installed on COM3; the printer moves to
#                    COM5, and /repair moves the queue there at the rate stored
#                    for COM3 (32-bit prefix)
#     tcpip_testpage /host with /testpage: the listener receives the page's
#                    ESC/POS bytes and the run waits for the job to leave
#     planted_links  links a standard user could plant at C:\Ticket,
#                    C:\Barcode and C:\DriverName.cfg, leading outside the
#                    drive: /list, an installation and the dialog opened and
#                    closed each stop naming one (Wine cannot remove a link
#                    without following it); a /log that is a link is
#                    refused. Nothing behind the links changes. (Clearing a
#                    second name or a user's folder is the unit table's.)
#
# The USB scenarios share the prefix of run_e2e.sh (its answering spooler
# stand-in plays the printer); serial_auto the one of run_serial_e2e.sh.
# Environment as run_e2e.sh. Exit 0 passed, 1 failed, 77 skipped.
set -uo pipefail

scenario=${1:-}
REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
BUILD_ROOT=${BUILD_ROOT:-$REPO/build}
case "$scenario" in
  usb_quiet|usb_passive|concurrent|uninstall|bad_lines|parallel|tcpip|check|repair_usb|tcpip_testpage|planted_links)
    export WINEPREFIX=$BUILD_ROOT/wineprefix-e2e ;;
  serial_auto|repair_serial)
    # From a 32-bit process in a 64-bit prefix, Wine's AddPrinterA finds
    # only "Windows NT x86" drivers: the serial tests have a 32-bit prefix.
    export WINEPREFIX=$BUILD_ROOT/wineprefix-serial WINEARCH=win32 ;;
  *) echo "usage: $0 usb_quiet|usb_passive|concurrent|uninstall|bad_lines|parallel|tcpip|serial_auto|check|repair_usb|repair_serial|tcpip_testpage|planted_links" >&2
     exit 2 ;;
esac
# shellcheck source=../../scripts/wine-env.sh
source "$REPO/scripts/wine-env.sh"
# shellcheck source=answering_printer.sh
source "$REPO/tests/e2e/answering_printer.sh"
# shellcheck source=../serial/serial_lines.sh
source "$REPO/tests/serial/serial_lines.sh"
# shellcheck source=../fixtures/win32/tcp_monitor/tcp_monitor.sh
source "$REPO/tests/fixtures/win32/tcp_monitor/tcp_monitor.sh"

SAMPLE_PACKAGE=${SAMPLE_PACKAGE:-$BUILD_ROOT/host/DriverData.Drv}
INSTALLER_EXE=$WIN_BUILD_DIR/src/shell/win32/DriverInstaller.exe
AUTOMATE_EXE=$WIN_BUILD_DIR/tests/e2e/automate.exe
ARCHIVE_DLL=$WIN_BUILD_DIR/src/archive/7-zip32.dll
STAND_IN_EXE=$WIN_BUILD_DIR/tests/fixtures/win32/answering_spooler.exe
SHOTS=$BUILD_ROOT/screenshots
STAGE=$BUILD_ROOT/e2e-stage/unattended-$scenario
LOG=$STAGE/automate.log
CAPTION="Configure & Install v1.4"
MUTEX='Global\DriverInstaller.Installation'
RELEASE=E2EReleaseSpooler

PORTS_KEY='HKLM\Software\Microsoft\Windows NT\CurrentVersion\Ports'
STAND_IN_KEY='HKLM\SYSTEM\CurrentControlSet\Services\Spooler\Parameters'
DEVICE_KEY='HKCU\Software\Microsoft\Windows NT\CurrentVersion\Windows'
SEEDED_DEVICE='E2E Seeded Printer,winspool,LPT1:'
MONITOR='Advanced Language Monitor'

source "$REPO/tests/e2e/e2e_common.sh"
# An entry of a run's log file (without its time stamp).
expect_logged() {  # log file, entry
  if tr -d '\r' <"$STAGE/$1" | cut -c26- | grep -Fxq -- "$2"; then pass "$1: $2"
  else fail "$1 lacks '$2'"; fi
}
expect_absent_file() {
  if [ -e "$WINEPREFIX/drive_c/$1" ]; then fail "C:\\$1 still exists"; else pass "C:\\$1 removed"; fi
}

"$WINE" --version >/dev/null 2>&1 || skip "no Wine loader this machine can run ($WINE)"
[ "$WIN_ARCH" = i686 ] || skip "the unattended installations need the 32-bit product (this machine runs $WIN_ARCH)"
[ -f "$INSTALLER_EXE" ] || skip "no Windows build at $WIN_BUILD_DIR (DriverInstaller.exe missing)"
[ -f "$AUTOMATE_EXE" ] || skip "automate.exe missing in $WIN_BUILD_DIR"
[ -f "$STAND_IN_EXE" ] || skip "answering_spooler.exe missing in $WIN_BUILD_DIR"
[ -f "$SAMPLE_PACKAGE" ] || skip "no sample package at $SAMPLE_PACKAGE"
command -v import >/dev/null || skip "imagemagick 'import' is missing"

# The scenarios of every script share prefixes: one at a time.
mkdir -p "$BUILD_ROOT" "$SHOTS"
exec 9>"$BUILD_ROOT/.e2e-wine.lock"
flock 9
wine_watchdog

RESPONDER=""
TCP_MONITOR_USED=""
WPP_KEY='HKLM\Software\Policies\Microsoft\Windows NT\Printers\WPP'
WPP_SET=""
cleanup() {
  # The other scenarios of the prefix run without the policy.
  if [ -n "$WPP_SET" ]; then "$WINE" reg delete "$WPP_KEY" /f >/dev/null 2>&1 || true; fi
  if [ -n "$RESPONDER" ]; then kill "$RESPONDER" 2>/dev/null || true; fi
  if [ -n "$TCP_LISTENER_PID" ]; then kill "$TCP_LISTENER_PID" 2>/dev/null || true; fi
  # The other scenarios of the prefix know no TCP/IP port.
  if [ -n "$TCP_MONITOR_USED" ]; then tcp_monitor_remove; fi
  wine_watchdog_stop
  wine_prefix_kill "$WINEPREFIX"
  display_stop
}
trap cleanup EXIT

rm -rf "$STAGE"
mkdir -p "$STAGE"
display_ready || { echo "FAIL: no display"; exit 1; }
wine_prefix_ready

# Leftovers of an earlier run would hide what this run unpacked (and kept).
rm -rf "$WINEPREFIX/drive_c/DriverName.cfg" "$WINEPREFIX/drive_c/Ticket" "$WINEPREFIX/drive_c/Barcode"
cp "$INSTALLER_EXE" "$ARCHIVE_DLL" "$STAGE/"
cp "$SAMPLE_PACKAGE" "$STAGE/DriverData.Drv"

# Runs automate.exe on $STAGE/<file> in $STAGE; its lines go to $LOG.
automate() {  # file, shots prefix
  (cd "$STAGE" && run_automation "$AUTOMATE_EXE" "$1" "$LOG" "$SHOTS/unattended-$scenario-$2")
  local status=$?
  if [ "$status" -ne 0 ]; then
    import -window root "$SHOTS/unattended-$scenario-failure.png" 2>/dev/null || true
    fail "automate.exe exited with $status on $1"
  fi
}

# --- The USB prefix -----------------------------------------------------------
#
# As run_e2e.sh prepares it: Windows 10 (the USB search restarts the
# spooler and reads the printer's state back), USB001-USB003 (not for
# bad_lines), the stand-in spooler answering on $1, a known default
# printer, no printer or driver of the names used, and for each name a
# placeholder "Windows NT x86" driver that Wine's in-process AddPrinterA
# looks the printer's driver up in.
prepare_usb_prefix() {  # answering port, names...
  local answering=$1 port name
  shift
  answering_profile_prepare || { echo "FAIL: could not prepare the hardware profile"; exit 1; }
  {
    echo "registry-set HKCU\Software\Wine | Version | win10"
    echo "registry-set HKCU\Software\Wine\X11 Driver | Decorated | N"
    for port in USB001 USB002 USB003; do
      if [ "$scenario" = bad_lines ]; then echo "registry-delete $PORTS_KEY | $port"
      else echo "registry-set $PORTS_KEY | $port | "; fi
    done
    echo "registry-set $STAND_IN_KEY | AnsweringPort | $answering"
    echo "registry-delete $STAND_IN_KEY | Seen"
    echo "registry-delete $STAND_IN_KEY | HoldEvent"
    echo "registry-delete $STAND_IN_KEY | HoldPort"
    echo "registry-delete $STAND_IN_KEY | Held"
    echo "registry-set $DEVICE_KEY | Device | $SEEDED_DEVICE"
    for name in "$@"; do
      echo "printer-delete $name"
      echo "driver-delete Windows x64 | $name"
      echo "driver-delete Windows NT x86 | $name"
      echo "driver-add $name"
    done
    echo "monitor-delete Windows x64 | $MONITOR"
    echo "printers"
    echo "drivers Windows x64"
    echo "monitors"
  } >"$STAGE/prepare.txt"
  (cd "$STAGE" && wine_first_call "$WINE" "$AUTOMATE_EXE" prepare.txt >prepare.raw 2>prepare.err)
  tr -d '\r' <"$STAGE/prepare.raw" >"$STAGE/prepare.log"
  sed 's/^/  prepare | /' "$STAGE/prepare.log"
  grep -Fxq "done: ok" "$STAGE/prepare.log" || { echo "FAIL: the prefix could not be prepared"; exit 1; }
  answering_spooler_install "$STAND_IN_EXE" || { echo "FAIL: could not install the answering spooler"; exit 1; }
}

# The spooler's view after the runs.
outcome_commands() {
  cat <<EOF
echo after the runs
printers
default-printer
drivers Windows x64
drivers Windows NT x86
monitors
file-exists C:\DriverName.cfg
file-exists C:\Ticket
file-exists C:\Barcode
EOF
}

# The stand-in holds the spooler start that sees a printer on $1; the run
# then waits in its USB search, with its window made long ago.
hold_at() {  # port
  cat <<EOF
registry-set $STAND_IN_KEY | HoldPort | $1
registry-set $STAND_IN_KEY | HoldEvent | $RELEASE
EOF
}
wait_held() {
  cat <<EOF
wait-mutex $MUTEX 120
wait-registry $STAND_IN_KEY | Held | $RELEASE 300
EOF
}

check_working_folders_removed() {
  expect 'file C:\DriverName.cfg' no
  expect 'file C:\Ticket' no
  expect 'file C:\Barcode' no
  expect_absent_file DriverName.cfg
  expect_absent_file Ticket
  expect_absent_file Barcode
}

run_usb_quiet() {
  prepare_usb_prefix USB002 KV6X
  { hold_at USB001; cat <<EOF
start quiet | DriverInstaller.exe /quiet /model KV6X /port usb /log quiet.log
$(wait_held)
window-state $CAPTION
screenshot held
event-set $RELEASE
wait-program quiet 600
$(outcome_commands)
EOF
  } >"$STAGE/scenario.txt"
  automate scenario.txt ""
  expect "window $CAPTION" hidden
  expect "program quiet exit" 0
  expect printer "KV6X | USB002 | KV6X"
  expect "default printer" KV6X
  expect driver "KV6X | Windows x64 | 3"
  check_working_folders_removed
  # The log, as a deployment tool keeps it; the console got the same entries.
  expect_logged quiet.log "DriverInstaller /quiet /model KV6X /port usb /log quiet.log"
  expect_logged quiet.log "status: Checking  USB001 ...."
  expect_logged quiet.log "status: Checking  USB002 ...."
  expect_logged quiet.log "status: The installation is completed."
  expect_logged quiet.log 'the printer "KV6X" is on port USB002'
  expect_logged quiet.log "exit code 0: success"
  if grep -q '^program quiet out: .*  status: The installation is completed\.$' "$LOG"; then
    pass "the console got the log's entries"
  else
    fail "the console did not get the log's entries"
  fi
}

run_usb_passive() {
  local box='Failed to select USB port,please check the port is connected.\r\n\r\nClick Retry:Retry to select usb port\r\nClick Cancel:Continue installation, you can select the port after installation'
  prepare_usb_prefix "" KV7X
  { hold_at USB002; cat <<EOF
start passive | DriverInstaller.exe /passive /model KV7X /name "Till 2" /nodefault /port usb /log passive.log
$(wait_held)
window-state $CAPTION
screenshot held
event-set $RELEASE
wait-program passive 600
$(outcome_commands)
EOF
  } >"$STAGE/scenario.txt"
  automate scenario.txt ""
  expect "window $CAPTION" visible
  expect "program passive exit" 2
  expect printer "Till 2 | USB003 | KV7X"
  expect "default printer" "${SEEDED_DEVICE%%,*}"
  check_working_folders_removed
  expect_logged passive.log "message box \"Fail to select port\": $box -> Cancel (the installation goes on without a port that answered)"
  expect_logged passive.log 'the printer "Till 2" is on port USB003'
  expect_logged passive.log "warning: the printer answered on no USB port; check its cable and power"
  expect_logged passive.log "exit code 2: installed, but the printer answered on no port (check the cable; see the log for the port)"
  local count
  count=$(tr -d '\r' <"$STAGE/passive.log" | grep -c 'status: Checking  USB001 \.\.\.\.$')
  same "passes over the USB ports" "$count" 1
}

run_concurrent() {
  prepare_usb_prefix USB001 KV6X WX6X
  { hold_at USB001; cat <<EOF
start first | DriverInstaller.exe /quiet /model KV6X /port usb /log first.log
$(wait_held)
run second 120 | DriverInstaller.exe /quiet /model WX6X /port usb /log second.log
event-set $RELEASE
wait-program first 600
$(outcome_commands)
EOF
  } >"$STAGE/scenario.txt"
  automate scenario.txt ""
  expect "program second exit" 1618
  expect "program first exit" 0
  expect printer "KV6X | USB001 | KV6X"
  if grep -q '^printer: WX6X ' "$LOG"; then fail "the second run installed WX6X"; else pass "no printer WX6X"; fi
  expect_not driver "WX6X | Windows x64 | 3"
  expect_logged second.log "error: another installation is running on this machine"
  expect_logged second.log "exit code 1618: another installation is running on this machine; try again later"
  if grep -q '^program second out: .*  error: another installation is running on this machine$' "$LOG"; then
    pass "the second run said why on its console"
  else
    fail "the second run did not say why on its console"
  fi
  if tr -d '\r' <"$STAGE/second.log" | grep -q 'status: '; then fail "the second run started to install"
  else pass "the second run did nothing"; fi
  check_working_folders_removed
}

run_uninstall() {
  local label="47T(Label)"
  prepare_usb_prefix USB001 "$label"
  # The copy an earlier run left would pass for this run's.
  rm -f "$WINEPREFIX/drive_c/windows/syswow64/zqaNLM64.dll"
  cat >"$STAGE/scenario.txt" <<EOF
run install 600 | DriverInstaller.exe /quiet /model $label /port usb /log install.log
echo installed
printers
drivers Windows x64
monitors
file-exists C:\windows\SysWOW64\zqaNLM64.dll
run uninstall 300 | DriverInstaller.exe /uninstall /name "$label" /quiet /log uninstall.log
$(outcome_commands)
file-exists C:\windows\SysWOW64\zqaNLM64.dll
run again 300 | DriverInstaller.exe /uninstall /name "$label" /log again.log
EOF
  automate scenario.txt ""
  expect "program install exit" 0
  expect printer "$label | USB001 | $label"
  expect driver "$label | Windows x64 | 3"
  expect monitor "$MONITOR | Windows NT x86 | C:\\windows\\SysWOW64\\zqaNLM64.dll"
  expect "program uninstall exit" 0
  # After the uninstall: nothing of the label printer is left.
  local after
  after=$(sed -n '/^echo: after the runs$/,$p' "$LOG")
  if grep -Fq "printer: $label |" <<<"$after"; then fail "the printer $label is still there"; else pass "no printer $label"; fi
  if grep -Fq "driver: $label |" <<<"$after"; then fail "a driver $label is still there"; else pass "no driver $label"; fi
  if grep -Fq "monitor: $MONITOR |" <<<"$after"; then fail "the $MONITOR is still there"; else pass "no $MONITOR"; fi
  if [ "$(grep -c -Fx 'file C:\windows\SysWOW64\zqaNLM64.dll: no' <<<"$after")" = 1 ]; then
    pass "the monitor DLL is deleted"
  else
    fail "the monitor DLL is still in SysWOW64"
  fi
  expect_logged uninstall.log "the printer \"$label\" is removed"
  expect_logged uninstall.log "the $MONITOR is removed"
  expect_logged uninstall.log "exit code 0: success"
  # Once more: nothing to remove is no failure.
  expect "program again exit" 0
  expect_logged again.log "there is no printer \"$label\": nothing to remove"
  check_working_folders_removed
}

# Each bad command line: its exit code, its message on the console, and no
# change: the printers as before, no working folder left behind.
BAD_LINES=(
  '/quiet /model KV6X /port usb /silent|unknown switch /silent (/? lists the switches)'
  '/quiet /model /port usb|/model needs a value: a driver-list entry (see /list)'
  '/quiet /model KV6X /port com|/port com is not a port type: use usb, serial, parallel or tcpip'
  '/quiet /model KV6X|/port is missing: say how the printer is connected (usb, serial, parallel or tcpip)'
  '/quiet /model KV6X /port usb /baud 9600|/baud applies only to /port serial'
  '/quiet /model KV6X /port serial /baud 14400|/baud 14400 is not a rate the printers use: 300, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, or auto'
  '/quiet /model "KV 6X" /port usb|the driver package does not offer "KV 6X" (/list shows what it offers)'
  '/quiet /model KV6X /port usb|/port usb: this machine has no USB port'
  '/quiet /model KV6X /port parallel /portname LPT9:|there is no parallel port "LPT9:" on this machine (it has LPT1:, LPT2:, LPT3:)'
  '/quiet /uninstall|/uninstall needs /name <printer name>'
  '/quiet /model KV6X /port usb /log Z:\no\such\folder\x.log|the log file "Z:\no\such\folder\x.log" cannot be opened (error 3)'
)

run_bad_lines() {
  local n line args message
  prepare_usb_prefix "" KV6X
  {
    echo "printers"
    echo "echo before the runs"
    n=0
    for line in "${BAD_LINES[@]}"; do
      n=$((n + 1))
      args=${line%%|*}
      # A line that names its own log keeps it.
      case "$args" in *"/log "*) ;; *) args="$args /log bad$n.log" ;; esac
      echo "run bad$n 120 | DriverInstaller.exe $args"
    done
    outcome_commands
  } >"$STAGE/scenario.txt"
  automate scenario.txt ""
  n=0
  for line in "${BAD_LINES[@]}"; do
    n=$((n + 1))
    args=${line%%|*}
    message=${line#*|}
    expect "program bad$n exit" 1639
    if grep -q "^program bad$n out: .*  error: $(printf '%s' "$message" | sed 's/[][\.*^$/]/\\&/g')\$" "$LOG"; then
      pass "bad$n ($args) says: $message"
    else
      fail "bad$n ($args) did not say: $message"
    fi
    if [ -f "$STAGE/bad$n.log" ]; then
      expect_logged "bad$n.log" "exit code 1639: invalid command line; nothing was changed"
    fi
  done
  expect "program bad1 out" "DriverInstaller /? lists the switches."
  # The printers after every run are the printers before.
  local before after
  before=$(sed -n '/^printer: /p; /^echo: before the runs$/q' "$LOG")
  after=$(sed -n '/^echo: after the runs$/,$p' "$LOG" | grep '^printer: ')
  same "printers unchanged" "$after" "$before"
  if grep -q '^printer: KV6X ' <<<"$after"; then fail "a printer KV6X was made"; else pass "no printer KV6X"; fi
  if sed -n '/^echo: after the runs$/,$p' "$LOG" | grep -q '^driver: KV6X | Windows x64 '; then
    fail "a driver KV6X was registered"
  else
    pass "no driver KV6X registered"
  fi
  check_working_folders_removed
}

run_parallel() {
  local label="47T(Label)"
  prepare_usb_prefix "" "$label"
  cat >"$STAGE/scenario.txt" <<EOF
run parallel 600 | DriverInstaller.exe /quiet /model $label /port parallel /portname LPT2: /log parallel.log
$(outcome_commands)
EOF
  automate scenario.txt ""
  expect "program parallel exit" 0
  expect printer "$label | LPT2: | $label"
  expect "default printer" "$label"
  expect driver "$label | Windows x64 | 3"
  expect monitor "$MONITOR | Windows NT x86 | C:\\windows\\SysWOW64\\zqaNLM64.dll"
  expect_logged parallel.log 'installing "47T(Label)" (driver "47T(Label)") as printer "47T(Label)" on a parallel port, as the default printer'
  expect_logged parallel.log 'the printer "47T(Label)" is on port LPT2:'
  expect_logged parallel.log "exit code 0: success"
  if tr -d '\r' <"$STAGE/parallel.log" | grep -q 'message box'; then fail "a message box came up"
  else pass "nothing was asked"; fi
  check_working_folders_removed
}

run_tcpip() {
  local ports_key="$TCP_MONITOR_KEY\\Ports\\IP_127.0.0.1"
  prepare_usb_prefix "" KV6X WX6X Kitchen
  TCP_MONITOR_USED=yes
  tcp_monitor_ports_clear
  tcp_monitor_install "$WIN_BUILD_DIR/tests/fixtures/win32" || { echo "FAIL: no test TCP/IP port monitor"; exit 1; }
  tcp_monitor_listen "$STAGE/listener" 2 || { echo "FAIL: no listener"; exit 1; }
  cat >"$STAGE/scenario.txt" <<EOF
run made 600 | DriverInstaller.exe /quiet /model KV6X /port tcpip /host 127.0.0.1:$TCP_LISTENER_PORT /log made.log
registry $ports_key | HostName
registry $ports_key | PortNumber
run existing 600 | DriverInstaller.exe /quiet /model WX6X /name Kitchen /port tcpip /portname IP_127.0.0.1 /nodefault /log existing.log
print-raw KV6X | E2E test page of KV6X
print-raw Kitchen | E2E test page of Kitchen
$(outcome_commands)
printer-delete KV6X
printer-delete Kitchen
EOF
  automate scenario.txt ""
  expect "program made exit" 0
  expect "registry HostName" 127.0.0.1
  expect "registry PortNumber" "$TCP_LISTENER_PORT"
  expect "program existing exit" 0
  expect printer "KV6X | IP_127.0.0.1 | KV6X"
  expect printer "Kitchen | IP_127.0.0.1 | WX6X"
  expect "default printer" KV6X
  expect_logged made.log "the Standard TCP/IP Port IP_127.0.0.1 is made; it prints to 127.0.0.1:$TCP_LISTENER_PORT"
  expect_logged made.log 'the printer "KV6X" is on port IP_127.0.0.1'
  expect_logged existing.log 'the printer "Kitchen" is on port IP_127.0.0.1'
  check_working_folders_removed
  if tcp_monitor_listened 60; then pass "the listener took both jobs"; else fail "the listener did not get both jobs"; fi
  same "first page" "$(tr -d '\r' <"$STAGE/listener/received.1" 2>/dev/null)" "E2E test page of KV6X"
  same "second page" "$(tr -d '\r' <"$STAGE/listener/received.2" 2>/dev/null)" "E2E test page of Kitchen"
}

# --- The serial prefix ----------------------------------------------------------

# The serial prefix: <count> pseudo-terminal lines as COM1..COM<count>, each
# listed in the Ports key, with serial_responder.py playing the printer
# (its options follow the count), on Windows 7.
serial_lines_ready() {  # count, responder options...
  local count=$1 n
  shift
  python3 "$REPO/tests/serial/serial_responder.py" printer --ptys "$count" \
    --names "$STAGE/ptys" --log "$STAGE/lines.log" "$@" 2>"$STAGE/responder.err" &
  RESPONDER=$!
  : >"$STAGE/lines.log"
  serial_wait_file "$STAGE/ptys" || { echo "FAIL: the responder made no lines"; exit 1; }
  serial_ports_map "$STAGE/ptys"
  # The device map lives while the wineserver does: keep it up to the end.
  "$WINESERVER" -p 2>>"$STAGE/wineserver.err"
  wine_first_call --persistent "$WINE" reg add 'HKCU\Software\Wine' /v Version /d win7 /f >/dev/null 2>&1 ||
    { echo "FAIL: Wine did not start in $WINEPREFIX"; exit 1; }
  serial_device_map_only "$count" || { echo "FAIL: the COM ports could not be mapped"; exit 1; }
  for n in $(seq "$count"); do "$WINE" reg add "$PORTS_KEY" /v "COM$n:" /d "" /f >/dev/null 2>&1; done
}

run_serial_auto() {
  local received
  serial_lines_ready 4 --answer 3 --baud 38400
  cat >"$STAGE/scenario.txt" <<EOF
printer-delete KV6X
run serial 600 | DriverInstaller.exe /quiet /model KV6X /port serial /baud auto /log serial.log
printers
registry $PORTS_KEY | COM3:
registry $PORTS_KEY | COM1:
file-exists C:\DriverName.cfg
EOF
  automate scenario.txt ""
  expect "program serial exit" 0
  expect printer "KV6X | COM3: | KV6X"
  expect "registry COM3:" "38400,n,8,1"
  expect "registry COM1:" ""
  expect 'file C:\DriverName.cfg' no
  # The rates each line was set to when the request reached it, fastest first.
  # (a request read in two pieces logs its rate twice)
  line_rates() { awk -v p="COM$1" '$1 == p { print $3 }' "$STAGE/lines.log" | uniq | tr '\n' ' '; }
  same "COM1 rates" "$(line_rates 1)" "115200 57600 38400 "
  same "COM3 rates" "$(line_rates 3)" "115200 57600 38400 "
  same "COM4 rates" "$(line_rates 4)" "115200 57600 "
  received=$(awk '$1 == "COM3" { printf "%s", $2 }' "$STAGE/lines.log")
  same "COM3 received" "$received" "100401100401100401"
  expect_logged serial.log "serial port prompt -> Yes at 115200 baud (/baud auto, the fastest rate first)"
  expect_logged serial.log "no serial port answered; looking again at 57600 baud"
  expect_logged serial.log "no serial port answered; looking again at 38400 baud"
  expect_logged serial.log "status: The available printer port:  COM3:"
  expect_logged serial.log "exit code 0: success"
}

# --- The pre-flight check ------------------------------------------------------

# The lines a run printed, without their line ends.
program_out() { tr -d '\r' <"$STAGE/$1.out" 2>/dev/null; }

run_check() {
  local items="rights spooler protected.print driver.policy package room printer" item port
  prepare_usb_prefix "" KV6X
  # A printer's raw port that takes connections; port 1 of the loopback takes none.
  python3 -c 'import socket, time
s = socket.socket(); s.bind(("127.0.0.1", 0)); s.listen(8)
print(s.getsockname()[1], flush=True); time.sleep(900)' >"$STAGE/listener.port" &
  RESPONDER=$!
  for _ in $(seq 300); do [ -s "$STAGE/listener.port" ] && break; sleep 0.1; done
  port=$(cat "$STAGE/listener.port")
  [ -n "$port" ] || { echo "FAIL: no listener"; exit 1; }
  cat >"$STAGE/scenario.txt" <<EOF
run clear 300 | DriverInstaller.exe /check /model KV6X /port tcpip /host 127.0.0.1:$port /log clear.log
EOF
  automate scenario.txt clear
  expect "program clear exit" 0
  for item in $items; do
    if program_out clear | grep -Eq "^ok +${item}: "; then pass "clear: $item is ok"
    else fail "clear: no ok line for $item"; fi
  done
  same "clear: the printer's line" "$(program_out clear | grep '^ok       printer: ')" \
    "ok       printer: 127.0.0.1:$port accepts a connection"
  same "clear: last line" "$(program_out clear | tail -n 1)" "exit code 0: success"
  expect_logged clear.log "exit code 0: success"

  # The policy value as Group Policy writes it, in the machine's own view.
  WPP_SET=yes
  "$WINE" reg add "$WPP_KEY" /v WindowsProtectedPrintGroupPolicyState /t REG_DWORD /d 1 /f \
    >"$STAGE/reg.out" 2>&1 || { echo "FAIL: the policy value could not be set"; exit 1; }
  cat >"$STAGE/scenario.txt" <<EOF
run blocked 300 | DriverInstaller.exe /check /model KV6X /port tcpip /host 127.0.0.1:1 /log blocked.log
run install 600 | DriverInstaller.exe /quiet /model KV6X /port usb /log install.log
$(outcome_commands)
EOF
  automate scenario.txt blocked
  expect "program blocked exit" 1625
  if program_out blocked | grep -q '^blocking protected print: Windows protected print mode is on.*"Configure Windows protected print"'; then
    pass "blocked: the protected print line names the policy to turn off"
  else
    fail "blocked: no blocking line for protected print mode"
  fi
  same "blocked: blocking lines" "$(program_out blocked | grep -c '^blocking ')" 1
  if program_out blocked | grep -q '^warning  printer: 127\.0\.0\.1:1 '; then pass "blocked: a silent printer is a warning"
  else fail "blocked: no warning for the printer on port 1"; fi
  expect "program install exit" 1625
  if grep -q '^printer: KV6X ' "$LOG"; then fail "a printer KV6X was made"; else pass "no printer KV6X"; fi
  expect_not driver "KV6X | Windows x64 | 3"
  if tr -d '\r' <"$STAGE/install.log" | grep -q 'status: Adding printer drive'; then
    fail "the blocked installation started to copy"
  else
    pass "the blocked installation copied nothing"
  fi
  check_working_folders_removed
}

# --- Repair and test page -------------------------------------------------------

# The printer lines of $LOG between "echo: <marker>" and the next echo.
printers_after() {  # marker
  sed -n "/^echo: $1\$/,/^echo: end\$/p" "$LOG" | grep '^printer: '
}

run_repair_usb() {
  prepare_usb_prefix USB002 KV6X
  cat >"$STAGE/scenario.txt" <<EOF
run install 600 | DriverInstaller.exe /quiet /model KV6X /port usb /log install.log
echo installed
printers
echo end
registry-set $STAND_IN_KEY | AnsweringPort | USB003
run repair 600 | DriverInstaller.exe /quiet /repair /name KV6X /log repair.log
echo repaired
printers
echo end
default-printer
file-exists C:\DriverName.cfg
file-exists C:\Ticket
file-exists C:\Barcode
EOF
  automate scenario.txt ""
  expect "program install exit" 0
  same "after the installation" "$(printers_after installed | grep -F 'printer: KV6X |')" \
    "printer: KV6X | USB002 | KV6X"
  expect "program repair exit" 0
  same "after the repair" "$(printers_after repaired | grep -F 'printer: KV6X |')" \
    "printer: KV6X | USB003 | KV6X"
  expect "default printer" KV6X
  expect_logged repair.log 'repairing the printer "KV6X" (driver "KV6X") on port USB002'
  expect_logged repair.log "looking for the printer on USB002"
  expect_logged repair.log 'the printer "KV6X" is moved from USB002 to USB003'
  expect_logged repair.log "exit code 0: success"
  check_working_folders_removed
}

# The serial prefix with five lines; the printer answers at 9600 baud on
# the line whose number $STAGE/answer holds.
prepare_serial_lines() {
  echo 3 >"$STAGE/answer"
  serial_lines_ready 5 --answer 0 --answer-file "$STAGE/answer" --baud 9600
}

run_repair_serial() {
  prepare_serial_lines
  cat >"$STAGE/install.txt" <<EOF
printer-delete KV6X
run install 600 | DriverInstaller.exe /quiet /model KV6X /port serial /baud 9600 /log install.log
echo installed
printers
echo end
EOF
  automate install.txt install
  # The printer is plugged into another line.
  echo 5 >"$STAGE/answer"
  cat >"$STAGE/repair.txt" <<EOF
run repair 600 | DriverInstaller.exe /quiet /repair /name KV6X /log repair.log
echo repaired
printers
echo end
registry $PORTS_KEY | COM5:
printer-delete KV6X
EOF
  automate repair.txt repair
  expect "program install exit" 0
  same "after the installation" "$(printers_after installed | grep -F 'printer: KV6X |')" \
    "printer: KV6X | COM3: | KV6X"
  expect "program repair exit" 0
  same "after the repair" "$(printers_after repaired | grep -F 'printer: KV6X |')" \
    "printer: KV6X | COM5: | KV6X"
  expect "registry COM5:" "9600,n,8,1"
  expect_logged repair.log "looking for the printer on the serial ports at 9600 baud"
  expect_logged repair.log 'the printer "KV6X" is moved from COM3: to COM5:'
}

run_tcpip_testpage() {
  prepare_usb_prefix "" KV6X
  TCP_MONITOR_USED=yes
  tcp_monitor_ports_clear
  tcp_monitor_install "$WIN_BUILD_DIR/tests/fixtures/win32" || { echo "FAIL: no test TCP/IP port monitor"; exit 1; }
  tcp_monitor_listen "$STAGE/listener" 1 || { echo "FAIL: no listener"; exit 1; }
  cat >"$STAGE/scenario.txt" <<EOF
run page 600 | DriverInstaller.exe /quiet /model KV6X /port tcpip /host 127.0.0.1:$TCP_LISTENER_PORT /testpage /log page.log
$(outcome_commands)
printer-delete KV6X
EOF
  automate scenario.txt ""
  expect "program page exit" 0
  expect printer "KV6X | IP_127.0.0.1 | KV6X"
  # Wine hands the job straight to the port monitor and keeps no queue it
  # reports on (GetJobA: ERROR_INVALID_HANDLE): delivered, not confirmed.
  expect_logged page.log 'the test page (job 1, 98 bytes) went to "KV6X" on port IP_127.0.0.1'
  expect_logged page.log 'warning: the spooler does not report the state of print jobs (error 6): the test page was handed over to port IP_127.0.0.1, but that it printed is not confirmed'
  if tcp_monitor_listened 60; then pass "the listener took the job"; else fail "the listener got no job"; fi
  # ESC @, the lines, ESC d 4 and GS V 66 0; only the time varies.
  if python3 - "$STAGE/listener/received.1" <<'PY'
import re, sys
data = open(sys.argv[1], "rb").read()
pattern = (rb"\x1b@Test page\nPrinter: KV6X\nModel:   KV6X\nPort:    IP_127\.0\.0\.1\n"
           rb"Time:    \d{4}-\d\d-\d\d \d\d:\d\d:\d\d\n\x1bd\x04\x1dVB\x00")
sys.exit(0 if re.fullmatch(pattern, data) else 1)
PY
  then pass "the listener received the test page's bytes"
  else fail "the listener received: $(od -c "$STAGE/listener/received.1" 2>/dev/null | head -5)"; fi
}

# Every file and folder behind the planted links, with its bytes.
outside_state() {
  (cd "$STAGE/outside" && find . | sort && find . -type f -print0 | sort -z | xargs -0 sha256sum)
}

run_planted_links() {
  prepare_usb_prefix USB002 KV6X
  local c=$WINEPREFIX/drive_c
  mkdir -p "$STAGE/outside/ticket" "$STAGE/outside/barcode/x86"
  echo keep >"$STAGE/outside/ticket/PKV.DLL"
  echo keep >"$STAGE/outside/barcode/x86/VLTDRV50.DLL"
  printf '[Planted]\r\nPrintName1=Evil\r\n' >"$STAGE/outside/list.cfg"
  ln -s "$STAGE/outside/ticket" "$c/Ticket"
  ln -s "$STAGE/outside/barcode" "$c/Barcode"
  ln -s "$STAGE/outside/list.cfg" "$c/DriverName.cfg"
  ln -s "$STAGE/outside/list.cfg" "$STAGE/linked.log"
  local before
  before=$(outside_state)
  cat >"$STAGE/scenario.txt" <<EOF
run list 300 | DriverInstaller.exe /list /log list.log
run loglink 300 | DriverInstaller.exe /list /log linked.log
run install 300 | DriverInstaller.exe /quiet /model KV6X /port usb /log install.log
start dialog | DriverInstaller.exe
wait-window $CAPTION 120
wait-msgbox 120
screenshot box
answer-msgbox IDOK
close-until-exit 120
wait-program dialog 60
printers
EOF
  automate scenario.txt links
  local refusal='c:\Ticket is a link to another place, and it could not be removed without following it (error 50): remove it as an administrator, without following it, and start the installer again'
  expect "program list exit" 1603
  expect_logged list.log "error: the driver package was not unpacked: $refusal"
  expect "program loglink exit" 1639
  expect "program loglink out" 'error: the log file "linked.log" is a link, or a second name of another file, and a log is never written through one: name a file of its own'
  expect "program install exit" 1603
  expect_logged install.log "error: the driver package was not unpacked: $refusal"
  expect "msgbox caption" Error
  expect "msgbox text" "The driver package cannot be unpacked: $refusal."
  expect "program dialog exit" 0
  if grep -q '^printer: KV6X |' "$LOG"; then fail "a printer was installed"; else pass "nothing installed"; fi
  same "what the links lead to" "$(outside_state)" "$before"
  if [ -L "$c/Ticket" ] && [ -L "$c/Barcode" ] && [ -L "$c/DriverName.cfg" ]; then
    pass "the links are left as they were"
  else
    fail "a planted link is gone or replaced"
  fi
}

case "$scenario" in
  planted_links) run_planted_links ;;
  check) run_check ;;
  repair_usb) run_repair_usb ;;
  repair_serial) run_repair_serial ;;
  tcpip_testpage) run_tcpip_testpage ;;
  usb_quiet) run_usb_quiet ;;
  usb_passive) run_usb_passive ;;
  concurrent) run_concurrent ;;
  uninstall) run_uninstall ;;
  bad_lines) run_bad_lines ;;
  parallel) run_parallel ;;
  tcpip) run_tcpip ;;
  serial_auto) run_serial_auto ;;
esac

echo "screenshots: $SHOTS/unattended-$scenario-*.png"
if [ "$failures" -ne 0 ]; then
  echo "e2e unattended $scenario: $failures check(s) failed"
  exit 1
fi
echo "e2e unattended $scenario: passed"
exit 0
