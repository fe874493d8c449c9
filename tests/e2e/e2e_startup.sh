# shellcheck shell=bash
# Sourced by run_e2e.sh: the start-up scenarios (the status line, the driver
# list, a package, none, no library, a close during the start-up).
# --- Scenario scripts for automate.exe -------------------------------------

write_startup() {
  # A package that holds only this driver-name list: the installer clears
  # whatever stands at C:\DriverName.cfg before it unpacks.
  stage_library
  printf '%s\r\n' '[Model0]' 'PrintName1=4720 Series' '[Model1]' 'PrintName1=4740 Series' \
    '[Model2]' 'PrintName1=4760 Series' 'PrintName2=4760E Series' >"$STAGE/DriverName.cfg"
  python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1], "w").write(sys.argv[2], "DriverName.cfg")' \
    "$STAGE/DriverData.Drv" "$STAGE/DriverName.cfg"
  cat >"$STAGE/scenario.txt" <<EOF
wait-window $CAPTION 60
wait-text 1011 Current System is 60
wait-enabled 1012 30
screenshot startup
get-text 1011
combo-items 1000
get-text 1001
is-checked 1002
is-enabled 1012
list-items 1004
list-selected 1004
combo-select 1000 1
get-text 1001
list-select 1004 1
list-selected 1004
screenshot choices
click 2
wait-exit 30
EOF
}

check_startup() {
  local system=$1
  expect "text 1011" "Current System is Microsoft Windows $system  64 bit"
  expect "combo 1000 count" 4
  expect "combo 1000 item 0" "4720 Series"
  expect "combo 1000 item 1" "4740 Series"
  expect "combo 1000 item 2" "4760 Series"
  expect "combo 1000 item 3" "4760E Series"
  expect "combo 1000 selected" 0
  expect "text 1001" "4720 Series"
  expect "text 1001" "4740 Series"
  expect "checked 1002" 1
  expect "enabled 1012" yes
  expect "list 1004 columns" 2
  expect "list 1004 rows" 4
  expect "list 1004 row 0" "Serial port | The program will select a available serial port during installation"
  expect "list 1004 row 1" "USB port | The program will select a available USB port automatically"
  expect "list 1004 row 2" "Parallel port | The program will prompt you to select a parallel port during installation"
  expect "list 1004 row 3" "TCP/IP port | The program will prompt you to create a TCP/IP port or configure"
  # A default prefix has COM and LPT ports and no USB port: Serial.
  expect "list 1004 selected" 0
  expect "list 1004 selected" 1
  grep -q '^exited: ' "$LOG" && pass "Cancel closed the installer" || fail "Cancel did not close the installer"
  expect_absent_file DriverName.cfg
}

write_package() {
  cat >"$STAGE/scenario.txt" <<EOF
wait-window $CAPTION 60
wait-text 1011 Current System is 90
wait-enabled 1012 30
screenshot ready
combo-items 1000
get-text 1001
list-selected 1004
service-state Spooler
expect-no-msgbox 2
is-enabled 1012
file-exists C:\DriverName.cfg
file-exists C:\Ticket
file-exists C:\Barcode
close
wait-exit 30
EOF
}

check_package() {
  # C:\DriverName.cfg was removed before the run: a filled list and the
  # working folders show that the start-up unpacked the package before it
  # read the list.
  expect "combo 1000 count" 23
  expect "combo 1000 item 0" "6924K Series"
  expect "combo 1000 item 22" "A72I(Label)"
  expect "text 1001" "6924K Series"
  expect 'file C:\DriverName.cfg' yes
  expect 'file C:\Ticket' yes
  expect 'file C:\Barcode' yes
  expect "list 1004 selected" 0
  expect "service Spooler" running
  expect "msgbox" none
  expect "enabled 1012" yes
  grep -q '^exited: ' "$LOG" && pass "close box ended the installer" || fail "installer still running after WM_CLOSE"
  expect_absent_file DriverName.cfg
  expect_absent_file Ticket
  expect_absent_file Barcode
}

# Without the package or the library the start-up goes on silently. The
# status "Reading driver file..." shows too briefly to be caught for sure;
# Wine's loader log of the installer tells instead that the unpacking step
# asked for the library.
write_missing() {
  INSTALLER_WINEDEBUG=-all,+loaddll,warn+module
  cat >"$STAGE/scenario.txt" <<EOF
wait-window $CAPTION 60
wait-text 1011 Current System is 90
wait-enabled 1012 30
expect-no-msgbox 2
screenshot ready
get-text 1011
combo-items 1000
is-enabled 1012
file-exists C:\DriverName.cfg
file-exists C:\Ticket
file-exists C:\Barcode
click 2
wait-exit 30
EOF
}

check_missing() {
  # The last start-up step ran, and nothing was unpacked or complained of:
  # only the installer's own empty folders and list, made before it tried.
  expect "text 1011" "Current System is Microsoft Windows 7  64 bit"
  expect "msgbox" none
  expect "combo 1000 count" 0
  expect "enabled 1012" yes
  expect 'file C:\DriverName.cfg' yes
  expect 'file C:\Ticket' yes
  expect 'file C:\Barcode' yes
  grep -q '^exited: ' "$LOG" && pass "Cancel closed the installer" || fail "Cancel did not close the installer"
  expect_absent_file DriverName.cfg
  expect_absent_file Ticket
  expect_absent_file Barcode
  local out=$STAGE/installer.log loaded unloaded
  tr -d '\r' <"$STAGE/installer.out" >"$out"
  if [ "$scenario" = no_package ]; then
    # Loaded from the program's folder, and let go of again.
    loaded=$(grep -n -m1 'trace:loaddll:.* Loaded L".*\\\\no_package\\\\7-zip32\.dll"' "$out" | cut -d: -f1)
    unloaded=$(grep -n -m1 'trace:loaddll:.* Unloaded module L".*\\\\no_package\\\\7-zip32\.dll"' "$out" | cut -d: -f1)
    if [ -n "$loaded" ]; then pass "the installer loaded the 7-zip32.dll of its folder"
    else fail "the installer never loaded the 7-zip32.dll of its folder"; fi
    if [ -n "$loaded" ] && [ -n "$unloaded" ] && [ "$unloaded" -gt "$loaded" ]; then
      pass "and unloaded it"
    else
      fail "7-zip32.dll was not unloaded after loading"
    fi
  elif grep -q 'warn:module:.*Failed to load module L"7-zip32\.dll"' "$out"; then
    pass "the installer asked for 7-zip32.dll, which is missing"
  else
    fail "the installer never asked for 7-zip32.dll"
  fi
}

# The close box while the start-up worker still runs (the spooler start
# alone takes a while): the dialog must end once the worker is out, and
# clean up after itself.
write_close_early() {
  cat >"$STAGE/scenario.txt" <<EOF
wait-window $CAPTION 60
is-enabled 1012
close
wait-exit 60
EOF
}

check_close_early() {
  expect "enabled 1012" no
  grep -q '^exited: ' "$LOG" && pass "closed during start-up" || fail "installer did not end after WM_CLOSE"
  expect_absent_file DriverName.cfg
  expect_absent_file Ticket
}
