# shellcheck shell=bash
# Sourced by run_e2e.sh: installations on a USB printer.
# --- Installations on a USB printer ----------------------------------------
#
# Each installs one entry of the sample list on the USB row and answers
# what comes up. The stand-in spooler logs, at each of its starts, the port
# of every printer ("Seen"), and counts its starts: the ports the USB
# search tried, in order, are the ones logged for the printer after the
# count read just before Install.

USB_ENTRY=""        # index in the driver list
USB_NAME=""         # what the entry reads, and the printer's name
USB_ANSWERING=""    # the port whose printer answers, "" for none
USB_VERSION=win10
USB_DEFAULT=1       # "Set Default Printer" left checked
USB_TRIED=""        # the ports the search must try, in order
USB_PORT=""         # the port the printer must end on
USB_FLOW=""         # how the install is answered (see write_usb)

# The prefix: the stand-in answering on $USB_ANSWERING, a log of its own,
# no printer or "Windows x64" driver of the name left by an earlier run, a
# known default printer.
#
# The installer registers its driver for "Windows x64", as a 32-bit program
# must for the 64-bit spooler of 64-bit Windows. Wine's spooler runs inside
# the 32-bit installer and looks a new printer's driver up in "Windows NT
# x86" instead (AddPrinterA fails with 87 without one there). A placeholder
# record of the same name there stands in for that lookup; which driver the
# installer registered is judged from the "Windows x64" records alone.
prepare_usb() {
  cat >>"$STAGE/prepare.txt" <<EOF
registry-set $STAND_IN_KEY | AnsweringPort | $USB_ANSWERING
registry-delete $STAND_IN_KEY | Seen
registry-set $DEVICE_KEY | Device | $SEEDED_DEVICE
printer-delete $USB_NAME
driver-delete Windows x64 | $USB_NAME
drivers Windows x64
driver-add $USB_NAME
EOF
}

write_usb() {
  local uncheck="" answer
  if [ "$USB_DEFAULT" = 0 ]; then
    uncheck=$'click 1002\nwait-checked 1002 0 10'
  fi
  case "$USB_FLOW" in
    retry_then_cancel)
      answer="wait-msgbox 600
screenshot msgbox-1
answer-msgbox IDRETRY
wait-msgbox 600
screenshot msgbox-2
answer-msgbox IDCANCEL
wait-status 1011 The installation is completed. 120" ;;
    *)
      # No message box: one ends the wait as a failure.
      answer="wait-status 1011 The installation is completed. 600" ;;
  esac
  cat >"$STAGE/scenario.txt" <<EOF
wait-window $CAPTION 60
wait-text 1011 Current System is 120
wait-enabled 1012 30
list-selected 1004
combo-select 1000 $USB_ENTRY
get-text 1001
list-select 1004 1
$uncheck
is-checked 1002
registry $STAND_IN_KEY | Starts
click 1012
$answer
expect-no-msgbox 1
get-text 1012
screenshot installed
file-exists C:\DriverName.cfg
file-exists C:\Ticket
file-exists C:\Barcode
click 1012
wait-exit 60
echo after the installer
registry $STAND_IN_KEY | Starts
registry $STAND_IN_KEY | Seen
printers
default-printer
registry $DEVICE_KEY | Device
drivers Windows x64
monitors
EOF
}

# The values of one key of the prefix's registry, through reg.exe, as
# "name=data" lines in $STAGE/<file>.
reg_key() {  # key file
  "$WINE" reg query "$1" >"$STAGE/$2.raw" 2>/dev/null
  tr -d '\r' <"$STAGE/$2.raw" |
    sed -n 's/^    \(.*[^ ]\)    REG_[A-Z_]*    \(.*\)$/\1=\2/p' >"$STAGE/$2"
  sed "s/^/  $2 | /" "$STAGE/$2"
}
# The names of a key's subkeys, one a line.
reg_key_names() {  # key
  "$WINE" reg query "$1" >"$STAGE/names.raw" 2>/dev/null
  tr -d '\r' <"$STAGE/names.raw" | sed -n 's/^HKEY_[A-Z_]*\\.*\\\([^\\]*\)$/\1/p' |
    grep -vFx -- "${1##*\\}"
}
expect_reg() {  # file name data
  if grep -Fxq -- "$2=$3" "$STAGE/$1"; then pass "$1: $2 = $3"; else fail "$1: expected $2 = $3"; fi
}

check_usb() {
  local before after tried count
  expect "list 1004 selected" 1
  expect "text 1001" "$USB_NAME"
  expect "checked 1002" "$USB_DEFAULT"
  expect "text 1011" "The installation is completed."
  expect "msgbox" none
  expect "text 1012" "&Finish"
  # The working folders were there until Finish closed the installer.
  expect 'file C:\DriverName.cfg' yes
  expect 'file C:\Ticket' yes
  expect 'file C:\Barcode' yes
  grep -q '^exited: ' "$LOG" && pass "Finish closed the installer" || fail "Finish did not close the installer"
  expect_absent_file DriverName.cfg
  expect_absent_file Ticket
  expect_absent_file Barcode

  # The spooler's view: one printer of the name, on the port, with the
  # driver of the same name, registered for the 32-bit program's "Windows x64"
  # by this run (the set-up removed it).
  if grep -q -F -- "driver: $USB_NAME | Windows x64 |" "$STAGE/prepare.log"; then
    fail "before: the Windows x64 driver $USB_NAME is still there"
  else
    pass "before: no Windows x64 driver $USB_NAME"
  fi
  count=$(grep -c -F -- "printer: $USB_NAME | " "$LOG")
  if [ "$count" = 1 ]; then pass "one printer $USB_NAME"; else fail "$count printers $USB_NAME"; fi
  expect printer "$USB_NAME | $USB_PORT | $USB_NAME"
  expect driver "$USB_NAME | Windows x64 | 3"

  # The ports the search tried: whatever the spooler saw at each start
  # after Install, and no start the search did not make.
  before=$(grep -m1 '^registry Starts: ' "$LOG" | sed 's/^registry Starts: //')
  after=$(sed -n 's/^registry Starts: //p' "$LOG" | tail -n 1)
  tried=$(sed -n 's/^registry Seen: \([0-9]*\)|\(.*\)$/\1 \2/p' "$LOG" |
    while read -r start rest; do
      [ "$start" -gt "${before:-0}" ] || continue
      [ "${rest%|*}" = "$USB_NAME" ] && printf '%s ' "${rest##*|}"
    done)
  tried=${tried% }
  if [ "$tried" = "$USB_TRIED" ]; then pass "the search tried: ${USB_TRIED:-no port with a spooler restart}"
  else fail "the search tried '$tried', not '$USB_TRIED'"; fi
  count=$(echo $USB_TRIED | wc -w)
  if [ -n "$before" ] && [ -n "$after" ] && [ $((after - before)) -eq "$count" ]; then
    pass "the spooler started $count times during the installation"
  else
    fail "the spooler started $((${after:-0} - ${before:-0})) times during the installation, not $count"
  fi

  if [ "$USB_DEFAULT" = 1 ]; then
    expect "default printer" "$USB_NAME"
  else
    expect "default printer" "${SEEDED_DEVICE%%,*}"
    expect "registry Device" "$SEEDED_DEVICE"
  fi

  # The same from the registry files of the prefix, through reg.exe.
  reg_key "$PRINTERS_KEY\\$USB_NAME" printer-key
  expect_reg printer-key Port "$USB_PORT"
  expect_reg printer-key "Printer Driver" "$USB_NAME"
  reg_key "$DRIVERS_KEY\\$USB_NAME" driver-key
  if grep -q '^Driver=.' "$STAGE/driver-key"; then pass "$USB_NAME registered under Windows x64\\Drivers\\Version-3"
  else fail "no $USB_NAME under Windows x64\\Drivers\\Version-3"; fi
}

check_none_answering() {
  local text='Failed to select USB port,please check the port is connected.\r\n\r\nClick Retry:Retry to select usb port\r\nClick Cancel:Continue installation, you can select the port after installation'
  local count
  count=$(grep -c -Fx -- "msgbox caption: Fail to select port" "$LOG")
  if [ "$count" = 2 ]; then pass "two boxes 'Fail to select port'"; else fail "$count boxes 'Fail to select port', not 2"; fi
  count=$(grep -c -Fx -- "msgbox text: $text" "$LOG")
  if [ "$count" = 2 ]; then pass "both say: $text"; else fail "$count boxes say: $text"; fi
  expect "msgbox answer" 4
  expect "msgbox answer" 2
}

# The label entry, with a printer of its name already there: left by an
# earlier installation, on LPT1: with another driver, and marked in its
# registry key. The installer must delete it and add its own.
STALE_DRIVER="E2E Stale Driver"
prepare_stale_printer() {
  cat >>"$STAGE/prepare.txt" <<EOF
monitor-delete Windows x64 | $MONITOR
monitors
driver-add $STALE_DRIVER
printer-add $USB_NAME | LPT1: | $STALE_DRIVER
registry-set $PRINTERS_KEY\\$USB_NAME | E2EStale | left by an earlier installation
printers
EOF
}

check_label_reinstall() {
  local monitor_dll=$WIN_BUILD_DIR/tests/fixtures/win32/language_monitor.dll
  # The set-up gave the installer something to re-add, and no monitor.
  if grep -Fxq "printer: $USB_NAME | LPT1: | $STALE_DRIVER" "$STAGE/prepare.log"; then
    pass "before: $USB_NAME on LPT1: with $STALE_DRIVER"
  else
    fail "the stale printer $USB_NAME could not be set up"
  fi
  if grep -q "^monitor: $MONITOR |" "$STAGE/prepare.log"; then fail "before: $MONITOR still there"
  else pass "before: no $MONITOR"; fi
  # A new key: the stale one's mark went with it.
  if ! grep -Fxq "Name=$USB_NAME" "$STAGE/printer-key"; then fail "the printer key of $USB_NAME could not be read"
  elif grep -q '^E2EStale=' "$STAGE/printer-key"; then fail "the printer key of $USB_NAME is the stale one"
  else pass "the printer key of $USB_NAME was made anew"; fi
  expect monitor "$MONITOR | Windows NT x86 | C:\\windows\\SysWOW64\\zqaNLM64.dll"
  if cmp -s "$monitor_dll" "$WINEPREFIX/drive_c/windows/syswow64/zqaNLM64.dll"; then
    pass "the monitor DLL is in SysWOW64"
  else
    fail "SysWOW64\\zqaNLM64.dll is not the package's monitor DLL"
  fi
}
