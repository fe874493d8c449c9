# Sourced by the run and test scripts: picks the Wine loader this machine can
# execute, keeps an isolated prefix under the build folder, and provides a
# virtual display when there is none.
#
# The 32-bit loader runs where this machine executes 32-bit programs, or
# inside the qemu namespace of i386.sh; then the 32-bit product is what runs
# under Wine. Only where neither is possible does the 64-bit Windows build
# of the same sources stand in. WIN_ARCH names the Windows build to use.

REPO=${REPO:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
BUILD_ROOT=${BUILD_ROOT:-$REPO/build}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  WINE=/usr/lib/wine/wine
  WIN_ARCH=${WIN_ARCH:-i686}
else
  WINE=/usr/lib/wine/wine64
  WIN_ARCH=${WIN_ARCH:-x86_64}
fi
WINESERVER=/usr/lib/wine/wineserver
WIN_BUILD_DIR=${WIN_BUILD_DIR:-$BUILD_ROOT/win-$WIN_ARCH}
export WINEPREFIX=${WINEPREFIX:-$BUILD_ROOT/wineprefix}

# Creates the prefix on first use (about 15 s), then returns at once.
wine_prefix_ready() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    "$WINE" wineboot -i >/dev/null 2>&1 || true
    "$WINESERVER" -w || true
  fi
}

# Sets the Windows version the prefix reports: win7, win8, win81, win10, winxp...
wine_set_version() {
  "$WINE" reg add 'HKCU\Software\Wine' /v Version /d "$1" /f >/dev/null 2>&1
}

# Starts Xvfb on a free display number when no display is set; sets XVFB_PID.
XVFB_PID=""
display_ready() {
  if [ -n "${DISPLAY:-}" ]; then return 0; fi
  local n
  for n in $(seq 90 140); do
    if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then
      Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
      XVFB_PID=$!
      export DISPLAY=":$n"
      for _ in $(seq 50); do
        [ -e "/tmp/.X11-unix/X$n" ] && return 0
        sleep 0.1
      done
    fi
  done
  echo "no virtual display could be started" >&2
  return 1
}

display_stop() {
  if [ -n "$XVFB_PID" ]; then kill "$XVFB_PID" 2>/dev/null || true; XVFB_PID=""; fi
}

# Runs automate.exe on a command file in the current folder, echoing and
# logging each line it prints. automate.exe announces "screenshot: <name>"
# and waits for <name>.ack; the picture goes to <shots-prefix><name>.png.
# Returns automate.exe's exit code.
run_automation() {  # automate.exe, command file, log, shots prefix
  local automate=$1 commands=$2 log=$3 prefix=$4 line name
  AUTOMATE_SCREENSHOT_ACK=1 "$WINE" "$automate" "$commands" 2>>"$log.err" |
    while IFS= read -r line; do
      line=${line%$'\r'}
      printf '%s\n' "$line" >>"$log"
      printf '  | %s\n' "$line"
      case "$line" in
        "screenshot: "*)
          name=${line#screenshot: }
          import -window root "$prefix$name.png" 2>/dev/null || echo "  (screenshot $name failed)"
          : >"$name.ack"
          ;;
      esac
    done
  return "${PIPESTATUS[0]}"
}
