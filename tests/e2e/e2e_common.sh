# Sourced by the Wine end-to-end scripts, after scripts/wine-env.sh: how they
# report, take the prefixes' lock, and clean up after themselves.
#
#   fail / pass <text>            a failed or passed check (skip, in
#                                 wine-env.sh, fails: a test that cannot run
#                                 says why)
#   expect / expect_not <k> <v>   a "k: v" line automate.exe printed (or never
#                                 printed) into $LOG
#   same <what> <actual> <expected>
#   e2e_lock                      one Wine test at a time on this build, and
#                                 a watchdog below the test runner's limit
#   e2e_cleanup_on_exit           at exit, however the script ends: end the
#                                 installer ($INSTALLER_PID), the serial
#                                 responder ($RESPONDER), every process of the
#                                 prefix and the virtual display
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }
expect() {
  if grep -Fxq -- "$1: $2" "$LOG"; then pass "$1: $2"; else fail "expected '$1: $2'"; fi
}
expect_not() {
  if grep -Fxq -- "$1: $2" "$LOG"; then fail "unexpected '$1: $2'"; else pass "never '$1: $2'"; fi
}
same() {  # what, actual, expected
  if [ "$2" = "$3" ]; then pass "$1: $2"; else fail "$1: '$2', expected '$3'"; fi
}

e2e_lock() {
  mkdir -p "$BUILD_ROOT" "$SHOTS"
  exec 9>"$BUILD_ROOT/.e2e-wine.lock"
  flock 9
  wine_watchdog
}

RESPONDER=""
INSTALLER_PID=""
e2e_cleanup() {
  if [ -n "$INSTALLER_PID" ]; then kill "$INSTALLER_PID" 2>/dev/null || true; fi
  if [ -n "$RESPONDER" ]; then kill "$RESPONDER" 2>/dev/null || true; fi
  wine_watchdog_stop
  wine_prefix_kill "$WINEPREFIX"
  display_stop
}
e2e_cleanup_on_exit() { trap e2e_cleanup EXIT; }
