#!/usr/bin/env bash
# Times the serial port search per port under Wine: COM1 answers the status
# request (serial_responder.py), COM2 is silent, COM97 and up do not exist.
# Also prints the CPU the wineserver spent meanwhile (the channel's idle
# look at the input queue is a call into it every 10 ms).
#   bash bench/serial_probe_bench.sh [rounds]
set -euo pipefail
REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$REPO/scripts/i386.sh"
i386_reexec "$REPO/bench/serial_probe_bench.sh" "$@"
export WINEPREFIX=${BENCH_PREFIX:-$REPO/build/wineprefix-serial-bench}
export WINEARCH=win32
source "$REPO/scripts/wine-env.sh"
source "$REPO/tests/serial/serial_lines.sh"
program=$WIN_BUILD_DIR/bench/win32/serial_probe_bench.exe
[ -f "$program" ] || { echo "build first: bash scripts/build.sh" >&2; exit 1; }
stage=$BUILD_ROOT/serial-bench
rm -rf "$stage"
mkdir -p "$stage"
wine_prefix_ready

python3 "$REPO/tests/serial/serial_responder.py" printer --ptys 2 --names "$stage/ptys" \
  --answer 1 --baud 9600 --log "$stage/lines.log" &
responder=$!
trap 'kill $responder 2>/dev/null || true; "$WINESERVER" -k >/dev/null 2>&1 || true' EXIT
serial_wait_file "$stage/ptys"
serial_ports_map "$stage/ptys"
"$WINESERVER" -p 2>>"$stage/wineserver.err"
"$WINE" reg query 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' >/dev/null 2>&1 || true

# This prefix's wineserver works in a folder named after the prefix's
# device and inode.
server_dir=$(printf 'server-%x-%x' "$(stat -c %d "$WINEPREFIX")" "$(stat -c %i "$WINEPREFIX")")
server_cpu_ticks() {  # user + system clock ticks of that wineserver
  local pid
  for pid in $(pgrep -x 'wineserver(32|64)?' || true); do
    case "$(readlink "/proc/$pid/cwd" 2>/dev/null)" in
      */"$server_dir") awk '{ print $14 + $15 }' "/proc/$pid/stat"; return ;;
    esac
  done
  echo 0
}
echo "== serial port search per port ($WIN_ARCH build, 32-bit programs: $I386_MODE)"
before=$(server_cpu_ticks)
start=$(date +%s.%N)
status=0
"$WINE" "$program" "${1:-5}" || status=$?
end=$(date +%s.%N)
after=$(server_cpu_ticks)
awk -v t=$((after - before)) -v hz="$(getconf CLK_TCK)" -v s="$start" -v e="$end" \
  'BEGIN { printf "wineserver CPU over the run  %.2f s in %.1f s (%.1f %%)\n", t / hz, e - s, 100 * t / hz / (e - s) }'
exit $status
