#!/bin/bash
# Runs the contract cases against the Win32 adapters under Wine, in a prefix
# of their own so they cannot disturb the end-to-end prefix.
set -u
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/wine-env.sh"

[ -d "$WIN_BUILD_DIR" ] || skip "no Windows build at $WIN_BUILD_DIR (configure it with cmake/mingw-$WIN_ARCH.cmake)"
program="$WIN_BUILD_DIR/tests/contract/contract_win32.exe"
if [ ! -f "$program" ]; then
  echo "contract_win32.exe is missing from $WIN_BUILD_DIR: build the Windows tree first" >&2
  exit 1
fi

export WINEPREFIX="$BUILD_ROOT/wineprefix-contract"
wine_watchdog
trap 'wine_watchdog_stop; wine_prefix_kill "$WINEPREFIX"' EXIT
wine_prefix_ready || exit 1
# The prefix's word size, for the cases to check the program's own answers against.
case "$(grep -m1 '^#arch=' "$WINEPREFIX/system.reg")" in
  '#arch=win64') bits=64 ;;
  '#arch=win32') bits=32 ;;
  *) bits= ;;
esac
# Links as a standard user could plant them, leading outside drive C:.
links="$WINEPREFIX/drive_c/ContractLinks" outside="$WINEPREFIX/outside"
rm -rf "$links" "$outside"
mkdir -p "$links" "$outside/folder"
echo keep >"$outside/folder/keep.txt"
echo outside >"$outside/file.txt"
echo "two names" >"$outside/second.txt"
ln -s "$outside/folder" "$links/folder"
ln -s "$outside/file.txt" "$links/file.txt"
ln "$outside/second.txt" "$links/second.txt"
"$WINE" "$program" ${bits:+--windows-bits=$bits}
status=$?
# What the links led to is as it was.
[ "$(cat "$outside/folder/keep.txt" "$outside/file.txt" "$outside/second.txt" 2>&1)" = "$(printf 'keep\noutside\ntwo names')" ] || {
  echo "FAIL: a file behind a planted link changed" >&2
  status=1
}
exit $status
