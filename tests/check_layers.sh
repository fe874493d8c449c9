#!/usr/bin/env bash
# Includes point down only. One table says, for each folder of src/, which
# folders its files may include besides their own; an include of any other
# folder of src/ is an arrow back up (or sideways) and fails the check. The
# portable logic must compile on Linux: no Windows header outside the Win32
# adapters, the shell, the resource script and the archive library's DLL part.
set -u
cd "$(dirname "$0")/.."

# folder -> the folders it may include (lower ones only). The README's
# "How it is arranged" shows this table.
LAYERS=(
  "shell/win32      app install ports base package platform platform/win32 archive"
  "app              install ports base package platform"
  "install          ports base package platform"
  "ports            base platform"
  "base             package platform"
  "package          platform"
  "platform/win32   platform"
  "platform         -"
  "archive          -"
  "resources        base"
)
WINDOWS_HEADERS='(windows|winspool|winreg|winsvc|commctrl|winbase|winuser|sddl)\.h'
WINDOWS_ALLOWED='^src/(platform/win32|shell/win32|resources|archive/win32)/'

status=0
report() {  # title, hits
  if [ -n "$2" ]; then
    echo "$1:"
    echo "$2"
    status=1
  fi
}

# The folder of src/ a file belongs to: the longest row of the table that
# is a prefix of its path.
folder_of() {  # path below src/
  local best="" row name
  for row in "${LAYERS[@]}"; do
    name=${row%% *}
    case "$1" in "$name"/*) [ ${#name} -gt ${#best} ] && best=$name ;; esac
  done
  echo "$best"
}

allowed() {  # folder
  local row
  for row in "${LAYERS[@]}"; do
    if [ "${row%% *}" = "$1" ]; then
      # shellcheck disable=SC2086
      echo ${row#* }
      return
    fi
  done
}

hits=""
unknown=""
while IFS= read -r file; do
  rel=${file#src/}
  own=$(folder_of "$rel")
  if [ -z "$own" ]; then
    unknown+="$file"$'\n'
    continue
  fi
  may=" $own $(allowed "$own") "
  while IFS=: read -r line target; do
    [ -n "$target" ] || continue
    # The resource script names its headers from its own folder, one below src/.
    case "$target" in ../*) target=${target#../} ;; esac
    to=$(folder_of "$target")
    # Includes of files beside it, of the C++ library or of the archive
    # engine's own headers (included by bare name) are no arrows.
    [ -n "$to" ] || continue
    case "$may" in *" $to "*) ;; *) hits+="$file:$line: $own includes $target"$'\n' ;; esac
  done < <(grep -nE '^\s*#\s*include\s*"[^"]+/[^"]+"' "$file" |
           sed -E 's/^([0-9]+):\s*#\s*include\s*"([^"]+)".*/\1:\2/')
done < <(find src -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.c' -o -name '*.rc' \) | sort)

report "Arrows back up: these includes leave the table's lower folders" "${hits%$'\n'}"
report "Files in a folder the table does not know (add the folder to LAYERS)" "${unknown%$'\n'}"
report "Windows headers in the portable logic" \
  "$(grep -rnE "#\s*include\s*[<\"]$WINDOWS_HEADERS[>\"]" src --include='*.h' --include='*.cpp' \
       --include='*.c' --include='*.rc' | grep -vE "$WINDOWS_ALLOWED")"

[ "$status" -eq 0 ] && echo "includes point down only, as the table says; the portable logic includes no Windows header"
exit "$status"
