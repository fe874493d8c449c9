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
  WINE_LOADER=/usr/lib/wine/wine
  WIN_ARCH=${WIN_ARCH:-i686}
else
  WINE_LOADER=/usr/lib/wine/wine64
  WIN_ARCH=${WIN_ARCH:-x86_64}
fi
export WINE_LOADER
WINE=$REPO/scripts/wine-exec.sh
WINESERVER=$REPO/scripts/wineserver-exec.sh
WIN_BUILD_DIR=${WIN_BUILD_DIR:-$BUILD_ROOT/win-$WIN_ARCH}
export WINEPREFIX=${WINEPREFIX:-$BUILD_ROOT/wineprefix}
# How long the first start of Wine in a prefix may take: about 15 s on a
# machine that runs 32-bit programs itself, several times that under qemu.
if [ "${I386_MODE:-}" = qemu ]; then WINE_START_LIMIT=${WINE_START_LIMIT:-180}
else WINE_START_LIMIT=${WINE_START_LIMIT:-90}; fi

# A Wine test that cannot run fails and says why, so that a green run
# always means the test ran. Only with the explicit opt-in for machines
# that cannot run the 32-bit product at all (ALLOW_X86_64_STANDIN=1) does a
# test skip, when it needs what the 64-bit stand-in cannot give.
skip() {
  if [ "${ALLOW_X86_64_STANDIN:-}" = 1 ] && [ "$WIN_ARCH" != i686 ]; then
    echo "SKIP: $*"; exit 77
  fi
  echo "FAIL: cannot run: $*"
  exit 1
}

# Ends every process of a prefix: its wineserver and every Wine program
# that names the prefix in its environment (a server that never came up
# cannot be asked to end its processes). Other programs of the test (the
# virtual display, a responder, the shell and its parents) are spared.
wine_prefix_kill() {  # prefix
  local prefix=$1 env pid spared=" $$ " p=$BASHPID
  while [ -n "$p" ] && [ "$p" != 0 ] && [ "$p" != 1 ]; do
    spared="$spared$p "
    p=$(awk '/^PPid:/ {print $2}' "/proc/$p/status" 2>/dev/null)
  done
  WINEPREFIX=$prefix "$WINESERVER" -k >/dev/null 2>&1 || true
  for env in $(grep -lxzF "WINEPREFIX=$prefix" /proc/[0-9]*/environ 2>/dev/null); do
    pid=${env#/proc/}; pid=${pid%/environ}
    case "$spared" in *" $pid "*) continue ;; esac
    case "$(readlink "/proc/$pid/exe" 2>/dev/null)" in
      */wine*|*/qemu-i386*) kill -9 "$pid" 2>/dev/null || true ;;
    esac
  done
  WINEPREFIX=$prefix timeout 30 "$WINESERVER" -w >/dev/null 2>&1 || true
}

# A booted prefix per kind (WINEARCH, or the loader's default), made once
# per build folder; each scenario gets a copy of it. Creating a prefix costs
# about 15 s natively and a minute under qemu, a copy well under a second,
# and a copy is as isolated as a new prefix: nothing one scenario leaves in
# its prefix reaches the next. The first start of Wine in a new prefix is
# bounded: when it does not end in time, its processes are ended and it is
# tried once more; a second failure is final.
WINE_TEMPLATES=$BUILD_ROOT/wine-templates
wine_template_ready() {
  local kind
  kind=${WINEARCH:-default}-$(basename "$WINE_LOADER")
  WINE_TEMPLATE=$WINE_TEMPLATES/$kind
  [ -f "$WINE_TEMPLATE/system.reg" ] && return 0
  mkdir -p "$WINE_TEMPLATES"
  (
    exec 8>"$WINE_TEMPLATES/.$kind.lock"
    flock 8
    [ -f "$WINE_TEMPLATE/system.reg" ] && exit 0
    new=$WINE_TEMPLATE.new
    for attempt in 1 2; do
      rm -rf "$new"
      mkdir -p "$new"
      if WINEPREFIX=$new timeout "$WINE_START_LIMIT" "$WINE" wineboot -i >/dev/null 2>&1 &&
         WINEPREFIX=$new timeout "$WINE_START_LIMIT" "$WINESERVER" -w &&
         [ -f "$new/system.reg" ]; then
        mv "$new" "$WINE_TEMPLATE"
        exit 0
      fi
      echo "NOTE: Wine did not come up in a new $kind prefix within ${WINE_START_LIMIT}s (attempt $attempt): ending its processes" >&2
      wine_prefix_kill "$new"
    done
    rm -rf "$new"
    echo "FAIL: Wine did not come up in a new $kind prefix twice in a row" >&2
    exit 1
  )
}

# A fresh prefix at $WINEPREFIX, a copy of the booted one of its kind.
wine_prefix_ready() {
  wine_template_ready || return 1
  wine_prefix_kill "$WINEPREFIX"
  rm -rf "$WINEPREFIX"
  mkdir -p "$(dirname "$WINEPREFIX")"
  wine_prefix_copy "$WINE_TEMPLATE" "$WINEPREFIX"
}

# A prefix is over a gigabyte, nearly all of it Wine's own DLLs in
# system32, syswow64 and winsxs, which nothing here writes to: those are
# hard links to the booted prefix's files. Everything else (the registry
# files, which the scripts edit in place, drive C, and the spooler's folders
# under system32, where the installer copies drivers) is copied.
wine_prefix_copy() {  # from, to
  local from=$1 to=$2 d
  mkdir -p "$to"
  tar -C "$from" --exclude=./drive_c/windows/system32 --exclude=./drive_c/windows/syswow64 \
    --exclude=./drive_c/windows/winsxs -cf - . | tar -C "$to" -xf -
  for d in system32 syswow64 winsxs; do
    [ -d "$from/drive_c/windows/$d" ] || continue
    cp -al "$from/drive_c/windows/$d" "$to/drive_c/windows/$d"
    if [ -d "$from/drive_c/windows/$d/spool" ]; then
      rm -rf "$to/drive_c/windows/$d/spool"
      cp -a "$from/drive_c/windows/$d/spool" "$to/drive_c/windows/$d/spool"
    fi
  done
}

# Runs the first Wine program of a scenario in its new prefix, within
# $WINE_START_LIMIT; when it does not end in time, ends the prefix's
# processes and runs it once more. Returns the program's status, or 1 after
# a second time-out, with the reason said.
# With --persistent the prefix's server is started again, persistent, for
# the second try (the serial lines' device map lives as long as it does).
wine_first_call() {  # [--persistent] command...
  local attempt status persistent=""
  if [ "$1" = --persistent ]; then persistent=yes; shift; fi
  for attempt in 1 2; do
    timeout "$WINE_START_LIMIT" "$@"
    status=$?
    [ "$status" -ne 124 ] && return "$status"
    echo "NOTE: the first Wine program in $WINEPREFIX did not end within ${WINE_START_LIMIT}s (attempt $attempt): ending the prefix's processes" >&2
    wine_prefix_kill "$WINEPREFIX"
    if [ -n "$persistent" ]; then "$WINESERVER" -p; fi
  done
  echo "FAIL: Wine did not come up in $WINEPREFIX twice in a row" >&2
  return 1
}

# A watchdog for a scenario, below the test runner's own time limit (which
# ends the script without letting it clean up): past the limit it ends the
# prefix's processes, so that what the script waits on returns, and the
# script ends through its clean-up. TEST_TIME_LIMIT comes from the test list.
WATCHDOG=""
wine_watchdog() {
  [ -n "${TEST_TIME_LIMIT:-}" ] || return 0
  local main=$$ limit=$TEST_TIME_LIMIT
  (
    exec 8>&- 9>&-
    trap - EXIT
    for ((i = 0; i < limit; i++)); do sleep 1; done
    echo "FAIL: past the scenario's own limit of ${limit}s: ending its Wine processes" >&2
    kill -TERM "$main" 2>/dev/null
    wine_prefix_kill "$WINEPREFIX"
  ) &
  WATCHDOG=$!
  trap 'exit 1' TERM
}
wine_watchdog_stop() {
  if [ -n "$WATCHDOG" ]; then kill "$WATCHDOG" 2>/dev/null || true; WATCHDOG=""; fi
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
#
# automate.exe prints a line at the end of every command, and each of its
# waits is bounded, its window messages by seconds. When it prints nothing
# for $AUTOMATION_SILENCE_LIMIT seconds, Wine itself has stopped answering
# (seen under qemu: a message with a few seconds' time-out that returned
# after thirteen minutes): the prefix's Wine processes are ended, so that
# the test fails now and says why, instead of at its time limit.
AUTOMATION_SILENCE_LIMIT=${AUTOMATION_SILENCE_LIMIT:-300}
run_automation() {  # automate.exe, command file, log, shots prefix
  local automate=$1 commands=$2 log=$3 prefix=$4 line name status
  AUTOMATE_SCREENSHOT_ACK=1 "$WINE" "$automate" "$commands" 2>>"$log.err" | {
    while :; do
      IFS= read -r -t "$AUTOMATION_SILENCE_LIMIT" line
      status=$?
      if [ "$status" -gt 128 ]; then
        line="error: Wine stopped answering: automate.exe printed nothing for ${AUTOMATION_SILENCE_LIMIT}s; ending the prefix's Wine processes"
        printf '%s\n' "$line" >>"$log"
        printf '  | %s\n' "$line"
        wine_prefix_kill "$WINEPREFIX"
        cat >/dev/null
        break
      fi
      [ "$status" -eq 0 ] || break
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
  }
  return "${PIPESTATUS[0]}"
}
