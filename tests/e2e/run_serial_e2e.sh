#!/usr/bin/env bash
# End-to-end tests of the serial port search: the real DriverInstaller.exe
# under Wine installs a printer on a serial port, with pseudo-terminals as
# the prefix's COM ports and serial_responder.py as the printer at their
# far end. Operated by automate.exe like run_e2e.sh.
#
#   tests/e2e/run_serial_e2e.sh <scenario>
#     found    four ports, a receipt printer answers on COM3 at 9600 baud
#     others   as found, with two printers there before: one on COM5:, one
#              on USB001 (only the serial one gets its port written back)
#     label    the same with a label model (its own status request)
#     silent   four ports, nothing answers
#     no       four ports, the operator answers No
#     one      a single serial port: no prompt
#     close    the installer is closed in the middle of the search, several
#              times (SERIAL_CLOSE_ROUNDS, default 4)
#
# Environment as run_e2e.sh. Exit 0 passed, 1 failed, 77 skipped.
set -uo pipefail

scenario=${1:-}
REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
BUILD_ROOT=${BUILD_ROOT:-$REPO/build}
source "$REPO/scripts/wine-env.sh"
# A 32-bit prefix of its own: from a 32-bit process in a 64-bit prefix,
# Wine's AddPrinterA finds only "Windows NT x86" drivers.
export WINEPREFIX=$BUILD_ROOT/wineprefix-serial WINEARCH=win32
source "$REPO/tests/serial/serial_lines.sh"
source "$REPO/tests/e2e/e2e_common.sh"

SAMPLE_PACKAGE=${SAMPLE_PACKAGE:-$BUILD_ROOT/host/DriverData.Drv}
INSTALLER_EXE=$WIN_BUILD_DIR/src/shell/win32/DriverInstaller.exe
AUTOMATE_EXE=$WIN_BUILD_DIR/tests/e2e/automate.exe
ARCHIVE_DLL=$WIN_BUILD_DIR/src/archive/7-zip32.dll
SHOTS=$BUILD_ROOT/screenshots
STAGE=$BUILD_ROOT/e2e-stage/serial-$scenario
LOG=$STAGE/automate.log
CAPTION="Configure & Install v1.4"
PORTS_KEY='HKLM\Software\Microsoft\Windows NT\CurrentVersion\Ports'
PRINTERS_KEY='HKLM\System\CurrentControlSet\Control\Print\Printers'
RECEIPT_ROW=7      # KV6X in the sample package's driver list
LABEL_ROW=18       # 3130TF(Label)
ROW_9600=4


case "$scenario" in
  found|others|label|silent|no|one|close) ;;
  *) echo "usage: $0 found|others|label|silent|no|one|close" >&2; exit 2 ;;
esac

"$WINE" --version >/dev/null 2>&1 || skip "no Wine loader this machine can run ($WINE)"
[ "$WIN_ARCH" = i686 ] || skip "the serial installations need the 32-bit product and prefix"
[ -f "$INSTALLER_EXE" ] || skip "no Windows build at $WIN_BUILD_DIR (DriverInstaller.exe missing)"
[ -f "$AUTOMATE_EXE" ] || skip "automate.exe missing in $WIN_BUILD_DIR"
[ -f "$SAMPLE_PACKAGE" ] || skip "no sample package at $SAMPLE_PACKAGE"
command -v import >/dev/null || skip "imagemagick 'import' is missing"

e2e_lock
e2e_cleanup_on_exit

rm -rf "$STAGE"
mkdir -p "$STAGE"
display_ready || { echo "FAIL: no display"; exit 1; }
wine_prefix_ready

# --- The serial lines --------------------------------------------------------

port_count=4
answer=0
case "$scenario" in
  found|others|label) answer=3 ;;
  one) port_count=1 ;;
esac
python3 "$REPO/tests/serial/serial_responder.py" printer --ptys "$port_count" \
  --names "$STAGE/ptys" --answer "$answer" --baud 9600 --log "$STAGE/lines.log" \
  2>"$STAGE/responder.err" &
RESPONDER=$!
: >"$STAGE/lines.log"
serial_wait_file "$STAGE/ptys" || { echo "FAIL: the responder made no lines"; exit 1; }
serial_ports_map "$STAGE/ptys"
# The device map lives while the wineserver does: keep it up to the end.
"$WINESERVER" -p 2>>"$STAGE/wineserver.err"
wine_first_call --persistent "$WINE" reg add 'HKCU\Software\Wine' /v Version /d win7 /f >/dev/null 2>&1 ||
  { echo "FAIL: Wine did not start in $WINEPREFIX"; exit 1; }
serial_device_map_only "$port_count" || { echo "FAIL: the COM ports could not be mapped"; exit 1; }
"$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
pass "COM1..COM$port_count: $(serial_device_map | tr '\n' ' ')"

reg_value() {  # key, value: its data, or nothing
  local file
  file=$(mktemp)
  "$WINE" reg query "$1" /v "$2" >"$file" 2>/dev/null
  tr -d '\r' <"$file" | sed -n "s/^ *$2 *REG_[A-Z_]* *\(.*\)\$/\1/p"
  rm -f "$file"
}
reg_dump() {  # key: every value, sorted
  local file
  file=$(mktemp)
  "$WINE" reg query "$1" >"$file" 2>/dev/null
  tr -d '\r' <"$file" | grep 'REG_' | sort
  rm -f "$file"
}
# What a line received, all reads joined, and the rates it was read at.
line_bytes() { awk -v p="COM$1" '$1 == p { printf "%s", $2 }' "$STAGE/lines.log"; }
line_rates() { awk -v p="COM$1" '$1 == p { print $3 }' "$STAGE/lines.log" | sort -u | tr '\n' ' '; }

# --- One installation, operated by automate.exe ------------------------------

stage_installer() {
  rm -rf "$WINEPREFIX/drive_c/DriverName.cfg" "$WINEPREFIX/drive_c/Ticket" \
    "$WINEPREFIX/drive_c/Barcode"
  cp "$INSTALLER_EXE" "$ARCHIVE_DLL" "$STAGE/"
  cp "$SAMPLE_PACKAGE" "$STAGE/DriverData.Drv"
}

# Start-up, a model, the serial port type, Install.
install_steps() {  # model row
  cat <<EOF
wait-window $CAPTION 120
wait-enabled 1012 120
combo-select 1000 $1
get-text 1001
list-select 1004 0
click 1012
EOF
}

run_installer() {  # scenario file, log, shots prefix
  (cd "$STAGE" && "$WINE" DriverInstaller.exe >>"$STAGE/installer.out" 2>&1) &
  INSTALLER_PID=$!
  (cd "$STAGE" && run_automation "$AUTOMATE_EXE" "$1" "$2" "$3")
  local status=$?
  wait "$INSTALLER_PID" 2>/dev/null
  INSTALLER_PID=""
  if [ "$status" -ne 0 ]; then
    import -window root "${3}failure.png" 2>/dev/null || true
    fail "automate.exe exited with $status"
  fi
}

# Settings left by an earlier scenario must not pass for this one's.
for n in 1 2 3 4; do "$WINE" reg add "$PORTS_KEY" /v "COM$n:" /d "" /f >/dev/null 2>&1; done
stage_installer
ports_before=$(reg_dump "$PORTS_KEY")
touch "$LOG"

# Printers the machine had before: one on another serial port, one on USB.
# Each carries a stale port name where the installer writes a printer's port
# back, so a write-back shows.
SOFTWARE_PRINTERS='HKLM\Software\Microsoft\Windows NT\CurrentVersion\Print\Printers'
OTHER_DRIVER="E2E Other Driver"
OTHER_SERIAL="E2E Till"
OTHER_USB="E2E Office"
if [ "$scenario" = others ]; then
  for port in COM5: USB001; do
    "$WINE" reg add "$PORTS_KEY" /v "$port" /d "" /f >/dev/null 2>&1
  done
  cat >"$STAGE/prepare.txt" <<EOF
driver-add $OTHER_DRIVER
printer-add $OTHER_SERIAL | COM5: | $OTHER_DRIVER
printer-add $OTHER_USB | USB001 | $OTHER_DRIVER
registry-set $SOFTWARE_PRINTERS\\$OTHER_SERIAL\\DsSpooler | portName | stale
registry-set $SOFTWARE_PRINTERS\\$OTHER_USB\\DsSpooler | portName | stale
printers
EOF
  (cd "$STAGE" && run_automation "$AUTOMATE_EXE" prepare.txt "$STAGE/prepare.log" "$SHOTS/serial-prepare-") ||
    { echo "FAIL: the other printers could not be set up"; exit 1; }
  grep -Fq "printer: $OTHER_SERIAL | COM5: |" "$STAGE/prepare.log" &&
    grep -Fq "printer: $OTHER_USB | USB001 |" "$STAGE/prepare.log" ||
    { echo "FAIL: the other printers are not in the spooler"; exit 1; }
  pass "before: $OTHER_SERIAL on COM5:, $OTHER_USB on USB001"
fi

case "$scenario" in
  found|others|label)
    row=$RECEIPT_ROW
    [ "$scenario" = label ] && row=$LABEL_ROW
    { install_steps "$row"; cat <<EOF
wait-prompt 180
prompt-items
screenshot prompt
prompt-select $ROW_9600
prompt-click 1030
prompt-gone 10
wait-text 1011 The available printer port: 60
wait-text 1012 &Finish 60
expect-no-msgbox 1
click 1012
wait-exit 60
EOF
    } >"$STAGE/scenario.txt"
    ;;
  silent)
    { install_steps "$RECEIPT_ROW"; cat <<EOF
wait-prompt 180
prompt-select $ROW_9600
prompt-click 1030
wait-text 1011 Unable to detect 60
wait-text 1012 &Finish 60
expect-no-msgbox 1
click 1012
wait-exit 60
EOF
    } >"$STAGE/scenario.txt"
    ;;
  no)
    { install_steps "$RECEIPT_ROW"; cat <<EOF
wait-prompt 180
prompt-click 1036
prompt-gone 10
wait-text 1011 The current printer port is 60
wait-text 1012 &Finish 60
expect-no-msgbox 1
click 1012
wait-exit 60
EOF
    } >"$STAGE/scenario.txt"
    ;;
  one)
    { install_steps "$RECEIPT_ROW"; cat <<EOF
wait-text 1011 The current printer port is 180
wait-text 1012 &Finish 60
expect-no-msgbox 1
click 1012
wait-exit 60
EOF
    } >"$STAGE/scenario.txt"
    ;;
esac

# Is a pseudo-terminal held open by anyone but the responder?
lines_held() {
  local pty
  while read -r pty; do
    find /proc/[0-9]*/fd -maxdepth 1 -lname "$pty" 2>/dev/null |
      grep -v "^/proc/$RESPONDER/" | head -n 1 | sed "s|^|$pty by |"
  done <"$STAGE/ptys"
}

if [ "$scenario" = close ]; then
  rounds=${SERIAL_CLOSE_ROUNDS:-4}
  for round in $(seq 1 "$rounds"); do
    port=$(( (round - 1) % port_count + 1 ))
    { install_steps "$RECEIPT_ROW"; cat <<EOF
wait-prompt 180
prompt-select $ROW_9600
prompt-click 1030
wait-text 1011 Checking COM$port: 60
close
wait-exit 30
EOF
    } >"$STAGE/round-$round.txt"
    round_log=$STAGE/round-$round.log
    run_installer "round-$round.txt" "$round_log" "$SHOTS/serial-close-$round-"
    code=$(sed -n 's/^exited: //p' "$round_log")
    same "round $round, closed while checking COM$port: exit code" "$code" 0
    held=""
    for _ in $(seq 100); do held=$(lines_held); [ -z "$held" ] && break; sleep 0.05; done
    same "round $round: lines still held" "${held:-none}" none
    cat "$round_log" >>"$LOG"
    stage_installer
  done
else
  run_installer scenario.txt "$LOG" "$SHOTS/serial-$scenario-"
fi

# --- Checks ------------------------------------------------------------------

ports_after=$(reg_dump "$PORTS_KEY")
receipt_request=100401
label_request=1b213f

case "$scenario" in
  found|others|label)
    printer=KV6X request=$receipt_request
    [ "$scenario" = label ] && printer="3130TF(Label)" request=$label_request
    expect "prompt caption" "[Prompt(automatically select the available serial port) ]"
    expect "prompt owner" installer
    expect "prompt toolwindow" yes
    expect "prompt text" "Do you need the Program to select the available serial port?"
    expect "prompt text" '1.If "Yes",please select the baud rate(That must match the printer device)'
    expect "prompt text" "2.If \"No\",you can set printer port after finish install."
    expect "prompt rates" "300 1200 2400 4800 9600 19200 38400 57600 115200"
    expect "prompt rate selected" 5
    for n in 1 2 3; do expect "seen 1011" "Checking COM$n:"; done
    expect_not "seen 1011" "Checking COM4:"
    expect "text 1011" "The available printer port:  COM3:"
    expect "text 1012" "&Finish"
    expect "msgbox" none
    for n in 1 2 3; do
      same "COM$n received" "$(line_bytes $n)" "$request"
      same "COM$n rate" "$(line_rates $n)" "9600 "
    done
    same "COM4 received" "$(line_bytes 4)" ""
    same "COM3: settings" "$(reg_value "$PORTS_KEY" COM3:)" "9600,n,8,1"
    same "$printer port" "$(reg_value "$PRINTERS_KEY\\$printer" Port)" "COM3:"
    if [ "$scenario" = others ]; then
      same "$OTHER_SERIAL port written back" \
        "$(reg_value "$SOFTWARE_PRINTERS\\$OTHER_SERIAL\\DsSpooler" portName)" "COM5:"
      same "$OTHER_SERIAL port" "$(reg_value "$PRINTERS_KEY\\$OTHER_SERIAL" Port)" "COM5:"
      same "$OTHER_USB untouched" \
        "$(reg_value "$SOFTWARE_PRINTERS\\$OTHER_USB\\DsSpooler" portName)" "stale"
      same "$OTHER_USB port" "$(reg_value "$PRINTERS_KEY\\$OTHER_USB" Port)" "USB001"
    fi
    ;;
  silent)
    for n in 1 2 3 4; do
      expect "seen 1011" "Checking COM$n:"
      same "COM$n received" "$(line_bytes $n)" "$receipt_request"
    done
    expect "text 1011" "Unable to detect available printer.The current printer port is COM1:"
    same "port settings unchanged" "$ports_after" "$ports_before"
    same "KV6X port" "$(reg_value "$PRINTERS_KEY\\KV6X" Port)" "COM1:"
    ;;
  no)
    expect "prompt" closed
    expect "text 1011" "The current printer port is COM1: ,you can set that after the installation"
    for n in 1 2 3 4; do same "COM$n received" "$(line_bytes $n)" ""; done
    same "port settings unchanged" "$ports_after" "$ports_before"
    same "KV6X port" "$(reg_value "$PRINTERS_KEY\\KV6X" Port)" "COM1:"
    ;;
  one)
    expect "text 1011" "The current printer port is COM1:,you can configure after the installation"
    expect "msgbox" none
    same "COM1 received" "$(line_bytes 1)" ""
    same "COM1: settings" "$(reg_value "$PORTS_KEY" COM1:)" "19200,n,8,1"
    same "KV6X port" "$(reg_value "$PRINTERS_KEY\\KV6X" Port)" "COM1:"
    ;;
  close)
    grep -q '^error: ' "$LOG" && fail "a round did not go as planned" || pass "every round closed"
    # Every round that got past COM1 had opened it again, and so found it let
    # go by the round before (a round closed while checking COM1 may end
    # before its request goes out).
    requests=$(line_bytes 1 | grep -o "$receipt_request" | wc -l)
    past_com1=$(( rounds - (rounds + port_count - 1) / port_count ))
    if [ "$requests" -ge "$past_com1" ]; then pass "requests on COM1: $requests"
    else fail "requests on COM1: $requests, expected at least $past_com1"; fi
    ;;
esac

echo "screenshots: $SHOTS/serial-$scenario-*.png"
if [ "$failures" -ne 0 ]; then
  echo "e2e serial $scenario: $failures check(s) failed"
  exit 1
fi
echo "e2e serial $scenario: passed"
exit 0
