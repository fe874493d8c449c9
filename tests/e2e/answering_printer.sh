# Sourced by the Wine test scripts, after scripts/wine-env.sh: turns a test
# prefix into a machine where a printer answers on one USB port.
#
#   answering_ports_add USB001 USB002 USB003   ports the Local Port monitor offers
#   answering_profile_prepare                  lets the installer create its
#                                              hardware-profile printer keys
#   answering_spooler_install <exe>            the Spooler service runs our stand-in
#   answering_port_set <PORT>                  the port whose printer answers
#                                              ("" for none); read at each start
#   answering_spooler_starts                   how often the stand-in started
#   answering_spooler_restore                  the Spooler runs Wine's spoolsv.exe
#
# <exe> is answering_spooler.exe: either a path relative to $WINEPREFIX
# (drive_c/...), used where it is, or any other file, copied to
# C:\DriverInstallerTests\answering_spooler.exe first.

ANSWERING_PARAMETERS='HKLM\System\CurrentControlSet\Services\Spooler\Parameters'
ANSWERING_EXE=""

answering_ports_add() {
  local port
  for port in "$@"; do
    "$WINE" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\Ports' \
      /v "$port" /t REG_SZ /d "" /f >/dev/null 2>&1 || return 1
  done
}

# Wine keeps "Hardware Profiles\Current\System" volatile (its display code
# creates it at every start), and a volatile key takes no non-volatile
# child: RegCreateKeyEx of HKEY_CURRENT_CONFIG\System\CurrentControlSet\
# Control\Print\Printers\<printer> fails with 1021. Written into the
# registry file while no wineserver runs, the chain down to Printers loads
# as ordinary keys, as on Windows, and the display code's volatile Video key
# still fits under it. Waits for the prefix's wineserver to end first.
answering_profile_prepare() {
  local reg="$WINEPREFIX/system.reg"
  local key='[System\\CurrentControlSet\\Hardware Profiles\\Current\\System\\CurrentControlSet\\Control\\Print\\Printers]'
  [ -f "$reg" ] || { echo "answering_profile_prepare: no prefix at $WINEPREFIX" >&2; return 1; }
  "$WINESERVER" -w
  grep -qiF "$key" "$reg" || printf '\n%s %s\n' "$key" "$(date +%s)" >>"$reg"
}

# A path under $WINEPREFIX/drive_c as Windows writes it.
answering_windows_path() {
  local relative=${1#"$(realpath "$WINEPREFIX")"/}
  relative=${relative#drive_c/}
  printf 'C:\\%s' "${relative//\//\\}"
}

answering_spooler_install() {
  local exe=$1
  if [ -f "$WINEPREFIX/$exe" ]; then
    exe=$WINEPREFIX/$exe
  elif [ -f "$exe" ] && [[ "$(realpath "$exe")" != "$(realpath "$WINEPREFIX")/drive_c/"* ]]; then
    mkdir -p "$WINEPREFIX/drive_c/DriverInstallerTests"
    cp "$exe" "$WINEPREFIX/drive_c/DriverInstallerTests/answering_spooler.exe" || return 1
    exe=$WINEPREFIX/drive_c/DriverInstallerTests/answering_spooler.exe
  elif [ ! -f "$exe" ]; then
    echo "answering_spooler_install: no $1" >&2
    return 1
  fi
  ANSWERING_EXE=$(answering_windows_path "$(realpath "$exe")")
  "$WINE" "$ANSWERING_EXE" install >/dev/null 2>&1 || return 1
}

answering_spooler_restore() {
  local exe=${ANSWERING_EXE:-'C:\DriverInstallerTests\answering_spooler.exe'}
  "$WINE" "$exe" restore >/dev/null 2>&1
}

answering_port_set() {
  "$WINE" reg add "$ANSWERING_PARAMETERS" /v AnsweringPort /t REG_SZ /d "$1" /f >/dev/null 2>&1
}

# Through a file: services Wine starts on the way would hold a pipe open.
answering_spooler_starts() {
  local file line
  file=$(mktemp)
  "$WINE" reg query "$ANSWERING_PARAMETERS" /v Starts >"$file" 2>/dev/null
  line=$(tr -d '\r' <"$file" | grep Starts)
  rm -f "$file"
  printf '%d\n' "${line##* }" 2>/dev/null || echo 0
}
