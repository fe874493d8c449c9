# shellcheck shell=bash
# Sourced by run_e2e.sh: installations on a TCP/IP port.
# --- Installations on a TCP/IP port ----------------------------------------
#
# The same receipt model on the TCP/IP row, in a prefix that has our test
# "Standard TCP/IP Port" monitor (tests/fixtures/win32/tcp_monitor; Wine has
# none) with the ports each scenario names. Without a TCP/IP port the
# monitor's add dialog comes up at once, owned by the installer; with ports
# the installer's own TCP/IP port dialog does, and the monitor's dialogs
# come up over it for Add Port and ConfigurePort. Afterwards the spooler's
# printers and ports, and the monitor's registry, tell what was made.

TCPIP_CAPTION="Configure TCP/IP PrinterPort"
TCP_ADD_CAPTION="Add Standard TCP/IP Printer Port"
TCP_CONFIGURE_CAPTION="Configure Standard TCP/IP Port Monitor"
TCPIP_PORTS=""     # "name=host ..." the monitor has before the run

# The monitor, with exactly $TCPIP_PORTS, then what prepare_parallel does
# (no printer or Windows x64 driver of the name, the x86 placeholder, a
# known default printer).
prepare_tcpip() {
  local entry
  tcp_monitor_install "$TCP_MONITOR_DIR" || { echo "FAIL: could not install the TCP/IP port monitor"; exit 1; }
  tcp_monitor_ports_clear
  for entry in $TCPIP_PORTS; do
    tcp_monitor_port_add "${entry%%=*}" "${entry#*=}" ||
      { echo "FAIL: could not add the TCP/IP port ${entry%%=*}"; exit 1; }
  done
  prepare_parallel
}

tcpip_start() {
  parallel_start | sed 's/^list-select 1004 2$/list-select 1004 3/'
}

# The monitor's add dialog: the printer's address, OK.
tcpip_add_port() {  # host
  cat <<EOF
wait-port-dialog add 60
port-dialog-set 1001 $1
port-dialog-click IDOK
port-dialog-gone 30
EOF
}

write_tcpip() {
  local way
  {
    tcpip_start
    case "$scenario" in
      tcpip_wizard)
        echo "wait-port-dialog add 120"
        echo "screenshot wizard"
        tcpip_add_port 10.0.0.5 | tail -n +2
        parallel_finish
        echo ports ;;
      tcpip_wizard_cancel)
        cat <<EOF
wait-port-dialog add 120
port-dialog-click IDCANCEL
port-dialog-gone 30
wait-enabled 1012 60
get-text 1012
expect-no-msgbox 1
close
wait-exit 60
echo after the installer
printers
drivers Windows x64
ports
EOF
        ;;
      tcpip_choose)
        cat <<EOF
wait-dialog $TCPIP_CAPTION 120
dialog-list 1004
dialog-list-selected 1004
screenshot dialog
dialog-list-select 1004 1
dialog-click 1037
dialog-gone 30
EOF
        parallel_finish ;;
      tcpip_manage)
        # Add a port, configure it, delete the one that was there, and
        # install on the new one.
        cat <<EOF
wait-dialog $TCPIP_CAPTION 120
dialog-click 1029
EOF
        tcpip_add_port 10.0.0.9
        cat <<EOF
dialog-wait-rows 1004 2 30
dialog-list 1004
dialog-list-selected 1004
screenshot added
dialog-click 1031
wait-port-dialog configure 60
port-dialog-set 1002 9101
port-dialog-click IDOK
port-dialog-gone 30
dialog-list-select 1004 0
dialog-click 1032
dialog-wait-rows 1004 1 30
dialog-list 1004
dialog-list-selected 1004
dialog-click 1037
dialog-gone 30
EOF
        parallel_finish
        echo ports ;;
      tcpip_empty)
        # The last port deleted: OK asks for one; Add Port makes one; Enter.
        cat <<EOF
wait-dialog $TCPIP_CAPTION 120
dialog-click 1032
dialog-wait-rows 1004 0 30
dialog-click 1037
wait-msgbox 30
screenshot no-port
answer-msgbox IDOK
dialog-click 1029
EOF
        tcpip_add_port 10.0.0.7
        cat <<EOF
dialog-wait-rows 1004 1 30
dialog-list 1004
dialog-list-selected 1004
dialog-key enter
dialog-gone 30
EOF
        parallel_finish ;;
      tcpip_cancel)
        for way in "dialog-click 1039" "dialog-key escape" "dialog-key close"; do
          cat <<EOF
wait-dialog $TCPIP_CAPTION 120
echo ending with $way
$way
dialog-gone 30
wait-enabled 1012 60
get-text 1012
list-select 1004 3
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

check_tcpip_dialog() {
  expect "dialog caption" "[$TCPIP_CAPTION]"
  expect "dialog owner" installer
  expect "dialog installer enabled" no
  expect "dialog control 1030" "Please select/create a TCP/IP printer port"
  expect "dialog control 1004" "list view report single showsel"
  expect "dialog control 1029" "&Add Port"
  expect "dialog control 1031" "&ConfigurePort"
  expect "dialog control 1032" "&Delete Port"
  expect "dialog control 1037" "OK"
  expect "dialog control 1039" "Cancel"
}

# The monitor's ports as the prefix's registry has them, "name=host:number".
monitor_ports() {
  local key="$TCP_MONITOR_KEY\\Ports" name host number
  reg_key_names "$key" | while read -r name; do
    reg_key "$key\\$name" "monitor-port-$name" >/dev/null
    host=$(sed -n 's/^HostName=//p' "$STAGE/monitor-port-$name")
    number=$(sed -n 's/^PortNumber=//p' "$STAGE/monitor-port-$name")
    printf '%s=%s:%d\n' "$name" "$host" "$number"
  done | sort | tr '\n' ' ' | sed 's/ $//'
}
expect_monitor_ports() {
  local actual
  actual=$(monitor_ports)
  if [ "$actual" = "$*" ]; then pass "the monitor's ports: $*"
  else fail "the monitor's ports: [$actual], expected [$*]"; fi
}

check_tcpip() {
  local count
  case "$scenario" in
    tcpip_wizard)
      expect "port-dialog caption" "[$TCP_ADD_CAPTION]"
      expect "port-dialog owner" installer
      if grep -q '^dialog caption: ' "$LOG"; then fail "the installer's TCP/IP dialog came up"
      else pass "no TCP/IP dialog, the wizard at once"; fi
      expect port "IP_10.0.0.5 | Standard TCP/IP Port"
      check_parallel_printer IP_10.0.0.5
      expect_monitor_ports "IP_10.0.0.5=10.0.0.5:9100" ;;
    tcpip_wizard_cancel)
      expect "port-dialog owner" installer
      expect "port-dialog" closed
      expect "enabled 1012" yes
      expect "text 1012" "&Install"
      expect msgbox none
      grep -q '^exited: ' "$LOG" && pass "the close box ended the installer" || fail "the installer did not end"
      if grep -q -F -- "printer: $PARALLEL_NAME | " "$LOG"; then fail "a printer $PARALLEL_NAME was made"
      else pass "no printer $PARALLEL_NAME"; fi
      if grep -q -F -- "driver: $PARALLEL_NAME | Windows x64 |" "$LOG"; then fail "a Windows x64 driver $PARALLEL_NAME was registered"
      else pass "no Windows x64 driver $PARALLEL_NAME"; fi
      if grep -q -- '| Standard TCP/IP Port$' "$LOG"; then fail "a TCP/IP port was made"
      else pass "no TCP/IP port"; fi
      expect_monitor_ports "" ;;
    tcpip_choose)
      check_tcpip_dialog
      expect "dialog list 1004 columns" 2
      expect "dialog list 1004 rows" 2
      expect "dialog list 1004 row 0" "IP_10.0.0.1 | Standard TCP/IP Port"
      expect "dialog list 1004 row 1" "IP_10.0.0.2 | Standard TCP/IP Port"
      expect "dialog list 1004 selected" 0
      check_parallel_printer IP_10.0.0.2 ;;
    tcpip_manage)
      # The monitor's dialogs belong to the TCP/IP dialog, not the main one.
      count=$(grep -c -Fx "port-dialog owner caption: [$TCPIP_CAPTION]" "$LOG")
      if [ "$count" = 2 ]; then pass "both monitor dialogs owned by the TCP/IP dialog"
      else fail "$count monitor dialogs owned by the TCP/IP dialog, not 2"; fi
      expect "port-dialog caption" "[$TCP_CONFIGURE_CAPTION]"
      expect "port-dialog field 1003" IP_10.0.0.9
      expect "dialog rows 1004" 2
      expect "dialog list 1004 row 1" "IP_10.0.0.9 | Standard TCP/IP Port"
      expect "dialog list 1004 selected" 1
      expect "dialog rows 1004" 1
      expect "dialog list 1004 row 0" "IP_10.0.0.9 | Standard TCP/IP Port"
      expect "dialog list 1004 selected" 0
      check_parallel_printer IP_10.0.0.9
      if grep -q '^port: IP_10.0.0.1 ' "$LOG"; then fail "IP_10.0.0.1 is still a port"
      else pass "IP_10.0.0.1 deleted"; fi
      expect_monitor_ports "IP_10.0.0.9=10.0.0.9:9101" ;;
    tcpip_empty)
      expect "msgbox caption" Prompt
      expect "msgbox text" 'There is no available TCP/IP port\r\nClick "Add port" to create a new port'
      expect "dialog rows 1004" 0
      expect "dialog list 1004 row 0" "IP_10.0.0.7 | Standard TCP/IP Port"
      expect "dialog list 1004 selected" 0
      check_parallel_printer IP_10.0.0.7
      expect_monitor_ports "IP_10.0.0.7=10.0.0.7:9100" ;;
    tcpip_cancel)
      check_tcpip_dialog
      count=$(grep -c -Fx "dialog: closed" "$LOG")
      if [ "$count" = 3 ]; then pass "the dialog closed three times"; else fail "the dialog closed $count times, not 3"; fi
      count=$(grep -c -Fx "enabled 1012: yes" "$LOG")
      if [ "$count" = 5 ]; then pass "Install enabled again after each ending"; else fail "Install enabled $count times, not 5"; fi
      count=$(grep -c -Fx "text 1012: &Install" "$LOG")
      if [ "$count" = 3 ]; then pass "Install kept its caption"; else fail "Install kept its caption $count times, not 3"; fi
      expect msgbox none
      grep -q '^exited: ' "$LOG" && pass "the close box ended the installer" || fail "the installer did not end"
      if grep -q -F -- "printer: $PARALLEL_NAME | " "$LOG"; then fail "a printer $PARALLEL_NAME was made"
      else pass "no printer $PARALLEL_NAME"; fi
      if grep -q -F -- "driver: $PARALLEL_NAME | Windows x64 |" "$LOG"; then fail "a Windows x64 driver $PARALLEL_NAME was registered"
      else pass "no Windows x64 driver $PARALLEL_NAME"; fi
      expect_monitor_ports "IP_10.0.0.1=10.0.0.1:9100" ;;
  esac
}

INSTALLER_WINEDEBUG=$WINEDEBUG
case "$scenario" in
  usb_receipt_win10)
    # A receipt model where the printer answers on the second of three
    # ports: the search stops there. Set as the default printer; Finish
    # closes the installer and removes the working folders.
    USB_ENTRY=7 USB_NAME=KV6X USB_ANSWERING=USB002
    USB_TRIED="USB001 USB002" USB_PORT=USB002 ;;
  usb_receipt_win7)
    # Windows 7: every port is written in turn without asking the spooler,
    # even with a printer answering, and the last one stays. Not the
    # default printer: the one set before stays.
    USB_VERSION=win7 USB_ENTRY=14 USB_NAME=WX6X USB_ANSWERING=USB002 USB_DEFAULT=0
    USB_TRIED="" USB_PORT=USB003 ;;
  usb_none_answering)
    # No printer answers: Retry searches all three ports again, Cancel
    # goes on with the printer on the last port.
    USB_ENTRY=9 USB_NAME=KV7X USB_ANSWERING="" USB_FLOW=retry_then_cancel
    USB_TRIED="USB001 USB002 USB003 USB001 USB002 USB003" USB_PORT=USB003 ;;
  usb_label_reinstall)
    USB_ENTRY=20 USB_NAME="47T(Label)" USB_ANSWERING=USB002
    USB_TRIED="USB001 USB002" USB_PORT=USB002 ;;
esac
case "$scenario" in
  startup_win7) write_startup; prepare_prefix win7 ;;
  startup_win10) write_startup; prepare_prefix win10 ;;
  startup_win11) write_startup; prepare_prefix win11 ;;
  close_early) stage_library; stage_package; write_close_early; prepare_prefix win7 ;;
  package) stage_library; stage_package; write_package; prepare_prefix win7 ;;
  no_package) stage_library; write_missing; prepare_prefix win7 ;;
  no_library) stage_package; write_missing; prepare_prefix win7 ;;
  usb_*)
    stage_library; stage_package
    prepare_usb
    if [ "$scenario" = usb_label_reinstall ]; then prepare_stale_printer; fi
    write_usb
    prepare_prefix "$USB_VERSION"
    if [ "$scenario" = usb_label_reinstall ]; then
      # The copy an earlier run left; its monitor is gone now.
      rm -f "$WINEPREFIX/drive_c/windows/syswow64/zqaNLM64.dll"
    fi ;;
  parallel_*)
    stage_library; stage_package
    if [ "$scenario" = parallel_one ]; then LPT_ABSENT="LPT2: LPT3:"; fi
    prepare_parallel
    echo ports >>"$STAGE/prepare.txt"
    write_parallel
    prepare_prefix win10 ;;
  tcpip_*)
    stage_library; stage_package
    case "$scenario" in
      tcpip_choose) TCPIP_PORTS="IP_10.0.0.1=10.0.0.1 IP_10.0.0.2=10.0.0.2" ;;
      tcpip_manage|tcpip_empty|tcpip_cancel) TCPIP_PORTS="IP_10.0.0.1=10.0.0.1" ;;
    esac
    prepare_tcpip
    echo ports >>"$STAGE/prepare.txt"
    write_tcpip
    prepare_prefix win10 ;;
esac
