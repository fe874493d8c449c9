#!/usr/bin/env bash
# Includes point down only. The ground (src/platform, interfaces and Win32
# adapters alike) includes nothing of the installer, and neither it nor the
# logic includes the program's shell (src/shell/win32). The portable logic must
# compile on Linux: no Windows header outside the Win32 adapters, the shell,
# the resource script and the archive library's DLL part.
set -u
cd "$(dirname "$0")/.."
sources=(--include='*.h' --include='*.hpp' --include='*.cpp' --include='*.c' --include='*.rc')
status=0

report() {  # title, hits
  if [ -n "$2" ]; then
    echo "$1:"
    echo "$2"
    status=1
  fi
}

report "The platform layer includes the installer or its shell" \
  "$(grep -rnE '#\s*include\s*[<"](app|install|ports|package|serial|shell)/' src/platform "${sources[@]}")"
report "The logic includes the program's shell" \
  "$(grep -rnE '#\s*include\s*[<"]shell/' src "${sources[@]}" | grep -v '^src/shell/')"
report "Windows headers in the portable logic" \
  "$(grep -rnE '#\s*include\s*[<"](windows|winspool|winreg|winsvc|commctrl|winbase|winuser)\.h[>"]' src \
       "${sources[@]}" | grep -vE '^src/(platform/win32|shell/win32|resources|archive/win32)/')"

[ "$status" -eq 0 ] && echo "includes point down only; the portable logic includes no Windows header"
exit "$status"
