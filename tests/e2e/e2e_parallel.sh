# shellcheck shell=bash
# Sourced by run_e2e.sh: installations on a parallel port.
# --- Installations on a parallel port --------------------------------------
#
# A receipt model on the Parallel row. With LPT1:-LPT3: the parallel port
# dialog comes up and is operated; with only LPT1: left, none may show (a
# dialog would hold the installation, and the wait for its completion ends
# at once on any window of the installer other than the main dialog).
# Afterwards the spooler's printers and drivers tell what was made.

PARALLEL_ENTRY=7            # KV6X in the sample package's driver list
PARALLEL_NAME=KV6X
PARALLEL_CAPTION="Select A Parallel Port"

# No printer or "Windows x64" driver of the name left by an earlier run, the
# "Windows NT x86" placeholder Wine's AddPrinterA looks the driver up in
# (see prepare_usb), a known default printer.
prepare_parallel() {
  cat >>"$STAGE/prepare.txt" <<EOF
registry-set $DEVICE_KEY | Device | $SEEDED_DEVICE
printer-delete $PARALLEL_NAME
driver-delete Windows x64 | $PARALLEL_NAME
driver-add $PARALLEL_NAME
EOF
}

# Up to the Install click: the entry, on the Parallel row.
parallel_start() {
  cat <<EOF
wait-window $CAPTION 60
wait-text 1011 Current System is 120
wait-enabled 1012 30
combo-select 1000 $PARALLEL_ENTRY
get-text 1001
list-select 1004 2
click 1012
EOF
}

# After the installation: Finish closes the installer, then the spooler's view.
parallel_finish() {
  cat <<EOF
wait-status 1011 The installation is completed. 300
expect-no-msgbox 1
get-text 1012
screenshot installed
click 1012
wait-exit 60
echo after the installer
printers
default-printer
drivers Windows x64
EOF
}

write_parallel() {
  local way
  {
    parallel_start
    case "$scenario" in
      parallel_choose)
        cat <<EOF
wait-dialog $PARALLEL_CAPTION 120
dialog-list 1004
dialog-list-selected 1004
screenshot dialog
dialog-list-select 1004 1
dialog-list-selected 1004
screenshot chosen
dialog-click 1037
dialog-gone 30
EOF
        parallel_finish ;;
      parallel_keys)
        # OK with no row asks for one; Enter then takes the last row.
        cat <<EOF
wait-dialog $PARALLEL_CAPTION 120
dialog-list-select 1004 none
dialog-list-selected 1004
dialog-click 1037
wait-msgbox 30
screenshot no-row
answer-msgbox IDOK
dialog-list-selected 1004
dialog-list-select 1004 2
dialog-key enter
dialog-gone 30
EOF
        parallel_finish ;;
      parallel_one)
        parallel_finish ;;
      parallel_cancel)
        # Cancel, Escape and the close box, each on an Install of its own.
        # Closing the dialog preselects a port type anew: the Parallel row
        # is chosen again each time.
        for way in "dialog-click 1039" "dialog-key escape" "dialog-key close"; do
          cat <<EOF
wait-dialog $PARALLEL_CAPTION 120
echo ending with $way
$way
dialog-gone 30
wait-enabled 1012 60
get-text 1012
list-select 1004 2
EOF
          [ "$way" = "dialog-key close" ] || echo "click 1012"
        done
        cat <<EOF
expect-no-msgbox 1
is-enabled 1012
screenshot after
close
wait-exit 60
echo after the installer
printers
drivers Windows x64
EOF
        ;;
    esac
  } >"$STAGE/scenario.txt"
}

check_parallel_dialog() {
  expect "dialog caption" "[$PARALLEL_CAPTION]"
  expect "dialog owner" installer
  expect "dialog installer enabled" no
  expect "dialog control 1030" "Please select a port from the following ports"
  expect "dialog control 1004" "list view report single showsel"
  expect "dialog control 1037" "&Ok"
  expect "dialog control 1039" "&Cancel"
}

# One printer of the name, on the port, with the driver this run
# registered; the default printer is the new one.
check_parallel_printer() {  # port
  local count
  expect "text 1001" "$PARALLEL_NAME"
  expect "text 1011" "The installation is completed."
  expect "msgbox" none
  expect "text 1012" "&Finish"
  grep -q '^exited: ' "$LOG" && pass "Finish closed the installer" || fail "Finish did not close the installer"
  if grep -q -F -- "driver: $PARALLEL_NAME | Windows x64 |" "$STAGE/prepare.log"; then
    fail "before: the Windows x64 driver $PARALLEL_NAME is still there"
  else
    pass "before: no Windows x64 driver $PARALLEL_NAME"
  fi
  count=$(grep -c -F -- "printer: $PARALLEL_NAME | " "$LOG")
  if [ "$count" = 1 ]; then pass "one printer $PARALLEL_NAME"; else fail "$count printers $PARALLEL_NAME"; fi
  expect printer "$PARALLEL_NAME | $1 | $PARALLEL_NAME"
  expect driver "$PARALLEL_NAME | Windows x64 | 3"
  expect "default printer" "$PARALLEL_NAME"
  reg_key "$PRINTERS_KEY\\$PARALLEL_NAME" printer-key
  expect_reg printer-key Port "$1"
}

check_parallel() {
  local count
  case "$scenario" in
    parallel_choose)
      check_parallel_dialog
      expect "dialog list 1004 columns" 2
      expect "dialog list 1004 rows" 3
      expect "dialog list 1004 row 0" "LPT1: | Local Port"
      expect "dialog list 1004 row 1" "LPT2: | Local Port"
      expect "dialog list 1004 row 2" "LPT3: | Local Port"
      expect "dialog list 1004 selected" 0
      expect "dialog list 1004 selected" 1
      check_parallel_printer LPT2: ;;
    parallel_keys)
      expect "dialog list 1004 selected" none
      expect "msgbox caption" Prompt
      expect "msgbox text" "Please select a port from the list."
      expect "msgbox answer" 1
      check_parallel_printer LPT3: ;;
    parallel_one)
      if grep -Fxq "port: LPT1: | Local Port" "$STAGE/prepare.log" &&
         ! grep -q '^port: LPT[02-9]' "$STAGE/prepare.log"; then
        pass "before: LPT1: is the prefix's only LPT port"
      else
        fail "before: the prefix's LPT ports are not LPT1: alone"
      fi
      check_parallel_printer LPT1: ;;
    parallel_cancel)
      check_parallel_dialog
      count=$(grep -c -Fx "dialog: closed" "$LOG")
      if [ "$count" = 3 ]; then pass "the dialog closed three times"; else fail "the dialog closed $count times, not 3"; fi
      count=$(grep -c -Fx "enabled 1012: yes" "$LOG")
      # The start, after each of the three endings, and at the end.
      if [ "$count" = 5 ]; then pass "Install enabled again after each ending"; else fail "Install enabled $count times, not 5"; fi
      count=$(grep -c -Fx "text 1012: &Install" "$LOG")
      if [ "$count" = 3 ]; then pass "Install kept its caption"; else fail "Install kept its caption $count times, not 3"; fi
      expect msgbox none
      grep -q '^exited: ' "$LOG" && pass "the close box ended the installer" || fail "the installer did not end"
      if grep -q -F -- "printer: $PARALLEL_NAME | " "$LOG"; then fail "a printer $PARALLEL_NAME was made"
      else pass "no printer $PARALLEL_NAME"; fi
      if grep -q -F -- "driver: $PARALLEL_NAME | Windows x64 |" "$LOG"; then fail "a Windows x64 driver $PARALLEL_NAME was registered"
      else pass "no Windows x64 driver $PARALLEL_NAME"; fi ;;
  esac
}
