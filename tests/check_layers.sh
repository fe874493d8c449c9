#!/usr/bin/env bash
# The portable logic must compile on Linux: no Windows header outside the
# Win32 adapters, the resource script and the archive library's DLL part.
set -u
cd "$(dirname "$0")/.."
hits=$(grep -rnE '#\s*include\s*[<"](windows|winspool|winreg|winsvc|commctrl|winbase|winuser)\.h[>"]' src \
  --include='*.h' --include='*.hpp' --include='*.cpp' --include='*.c' \
  | grep -vE '^src/(platform/win32|resources|archive/win32)/' || true)
if [ -n "$hits" ]; then
  echo "Windows headers in the portable logic:"
  echo "$hits"
  exit 1
fi
echo "portable logic includes no Windows header"
