#!/usr/bin/env bash
# Closes the real installer under Wine at random moments, many times: during
# the start-up, during an installation on a USB printer and during the
# serial port search. Every round must end with the installer gone within
# its bound (whatever it still asked answered the quickest way), with exit
# code 0 (no crash), with nothing left of the working folders on drive C and
# with the serial lines let go.
#
#   tests/e2e/run_random_close.sh [rounds]   (default RANDOM_CLOSE_ROUNDS or 24)
#
# The rounds take the phases in turn (0 start-up, 1 USB installation,
# 2 serial search), starting at a phase the seed picks, so that every run
# closes each phase equally often; RANDOM_CLOSE_PHASES limits them to some
# phases. The moments come from a seeded generator (RANDOM_CLOSE_SEED,
# printed), so a failing round can be run again as it was. The test
# command runs 24 rounds, a new seed each time; the long run is
# `bash tests/e2e/run_random_close.sh 120`. Runs in a 32-bit prefix of its
# own. Exit 0 passed, 1 failed, 77 skipped.
set -uo pipefail

REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
BUILD_ROOT=${BUILD_ROOT:-$REPO/build}
source "$REPO/scripts/wine-env.sh"
export WINEPREFIX=$BUILD_ROOT/wineprefix-close WINEARCH=win32
source "$REPO/tests/e2e/answering_printer.sh"
source "$REPO/tests/serial/serial_lines.sh"
source "$REPO/tests/e2e/e2e_common.sh"

ROUNDS=${1:-${RANDOM_CLOSE_ROUNDS:-24}}
SEED=${RANDOM_CLOSE_SEED:-$(date +%s)}
SAMPLE_PACKAGE=${SAMPLE_PACKAGE:-$BUILD_ROOT/host/DriverData.Drv}
INSTALLER_EXE=$WIN_BUILD_DIR/src/shell/win32/DriverInstaller.exe
AUTOMATE_EXE=$WIN_BUILD_DIR/tests/e2e/automate.exe
ARCHIVE_DLL=$WIN_BUILD_DIR/src/archive/7-zip32.dll
STAND_IN_EXE=$WIN_BUILD_DIR/tests/fixtures/win32/answering_spooler.exe
SHOTS=$BUILD_ROOT/screenshots
STAGE=$BUILD_ROOT/e2e-stage/random-close
CAPTION="Configure & Install v1.4"
RECEIPT_ROW=7     # KV6X
USB_ROW=1         # the port-type list: Serial, USB, Parallel, TCP/IP
SERIAL_ROW=0
SERIAL_PORTS=2


"$WINE" --version >/dev/null 2>&1 || skip "no Wine loader this machine can run ($WINE)"
[ "$WIN_ARCH" = i686 ] || skip "the installations need the 32-bit product and prefix"
for f in "$INSTALLER_EXE" "$AUTOMATE_EXE" "$ARCHIVE_DLL" "$STAND_IN_EXE" "$SAMPLE_PACKAGE"; do
  [ -f "$f" ] || skip "missing $f"
done

e2e_lock
e2e_cleanup_on_exit

rm -rf "$STAGE"
mkdir -p "$STAGE"
display_ready || { echo "FAIL: no display"; exit 1; }
wine_prefix_ready
answering_profile_prepare || { echo "FAIL: could not prepare the hardware profile"; exit 1; }

# Two serial lines whose printer never answers, so every search runs its
# whole course unless closed; three USB ports, the printer answering on none.
python3 "$REPO/tests/serial/serial_responder.py" printer --ptys "$SERIAL_PORTS" \
  --names "$STAGE/ptys" --answer 0 --baud 9600 --log "$STAGE/lines.log" \
  2>"$STAGE/responder.err" &
RESPONDER=$!
serial_wait_file "$STAGE/ptys" || { echo "FAIL: the responder made no lines"; exit 1; }
serial_ports_map "$STAGE/ptys"
"$WINESERVER" -p 2>>"$STAGE/wineserver.err"
wine_first_call --persistent "$WINE" reg add 'HKCU\Software\Wine' /v Version /d win10 /f >/dev/null 2>&1 ||
  { echo "FAIL: Wine did not start in $WINEPREFIX"; exit 1; }
serial_device_map_only "$SERIAL_PORTS" || { echo "FAIL: the COM ports could not be mapped"; exit 1; }
"$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
answering_ports_add USB001 USB002 USB003 || { echo "FAIL: no USB ports"; exit 1; }
answering_spooler_install "$STAND_IN_EXE" || { echo "FAIL: could not install the answering spooler"; exit 1; }
answering_port_set ""

cp "$INSTALLER_EXE" "$ARCHIVE_DLL" "$STAGE/"
cp "$SAMPLE_PACKAGE" "$STAGE/DriverData.Drv"

lines_held() {
  local pty
  while read -r pty; do
    find /proc/[0-9]*/fd -maxdepth 1 -lname "$pty" 2>/dev/null |
      grep -v "^/proc/$RESPONDER/" | head -n 1 | sed "s|^|$pty by |"
  done <"$STAGE/ptys"
}

echo "random closes: $ROUNDS rounds, seed $SEED"
RANDOM=$SEED
declare -A phases=()
read -r -a turn <<<"${RANDOM_CLOSE_PHASES:-0 1 2}"
first=$((RANDOM % ${#turn[@]}))
for round in $(seq 1 "$ROUNDS"); do
  # Start-up, a USB installation or a serial search, in turn; a moment
  # within it. The installations run for seconds, the start-up for about one.
  phase=${turn[$(( (first + round - 1) % ${#turn[@]} ))]}
  if [ "$phase" = 0 ]; then delay=$((RANDOM % 1500)); else delay=$((RANDOM % 4000)); fi
  {
    echo "wait-window $CAPTION 120"
    case $phase in
      0) ;;
      1) printf '%s\n' "wait-enabled 1012 120" "combo-select 1000 $RECEIPT_ROW" \
           "list-select 1004 $USB_ROW" "click 1012" ;;
      2) printf '%s\n' "wait-enabled 1012 120" "combo-select 1000 $RECEIPT_ROW" \
           "list-select 1004 $SERIAL_ROW" "click 1012" "wait-prompt 120" "prompt-select 4" \
           "prompt-click 1030" ;;
    esac
    echo "sleep $delay"
    echo "close-until-exit 120"
  } >"$STAGE/round.txt"
  name=(start-up usb serial)
  what="round $round (${name[$phase]}, closed after $delay ms)"
  log=$STAGE/round-$round.log
  (cd "$STAGE" && "$WINE" DriverInstaller.exe >>"$STAGE/installer.out" 2>&1) &
  INSTALLER_PID=$!
  (cd "$STAGE" && run_automation "$AUTOMATE_EXE" round.txt "$log" "$SHOTS/random-close-$round-") >/dev/null
  status=$?
  if [ "$status" -ne 0 ]; then
    # The automation gave up: see why, then end the installer.
    import -window root "$SHOTS/random-close-$round-failure.png" 2>/dev/null || true
    for _ in $(seq 100); do kill -0 "$INSTALLER_PID" 2>/dev/null || break; sleep 0.1; done
    "$WINE" taskkill /f /im DriverInstaller.exe >/dev/null 2>&1
    kill "$INSTALLER_PID" 2>/dev/null
  fi
  wait "$INSTALLER_PID" 2>/dev/null
  INSTALLER_PID=""
  code=$(sed -n 's/^exited: //p' "$log")
  if [ "$status" -ne 0 ] || [ "$code" != 0 ]; then
    fail "$what: automate $status, installer exit '${code:-none}'"
    sed 's/^/    | /' "$log"
  fi
  for left in DriverName.cfg Ticket Barcode; do
    if [ -e "$WINEPREFIX/drive_c/$left" ]; then
      fail "$what: C:\\$left left behind"
      rm -rf "${WINEPREFIX:?}/drive_c/$left"
    fi
  done
  held=""
  for _ in $(seq 100); do held=$(lines_held); [ -z "$held" ] && break; sleep 0.05; done
  [ -z "$held" ] || fail "$what: serial line still held: $held"
  phases[$phase]=$(( ${phases[$phase]:-0} + 1 ))
done
echo "rounds: ${phases[0]:-0} in the start-up, ${phases[1]:-0} in a USB installation," \
  "${phases[2]:-0} in a serial search (seed $SEED)"
if [ "$failures" -ne 0 ]; then
  echo "random closes: $failures failure(s)"
  exit 1
fi
echo "random closes: passed"
exit 0
