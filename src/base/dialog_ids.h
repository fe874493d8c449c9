// Control IDs of dialog templates 103, 129, 136 and 137 and the dialog's private messages;
// shared by the logic, the resource script and the test automation.
#pragma once

#define IDD_INSTALLER 103
#define IDC_DRIVER_COMBO 1000
#define IDC_PRINTER_NAME 1001
#define IDC_SET_DEFAULT 1002
#define IDC_PORT_TEXT 1003
#define IDC_PORT_TYPE_LIST 1004
#define IDC_PROGRESS 1007
#define IDC_PORT_GROUP 1008
#define IDC_DRIVER_LABEL 1009
#define IDC_PRINTER_LABEL 1010
#define IDC_STATUS 1011
#define IDC_INSTALL 1012

// The serial port prompt, dialog template 136.
#define IDD_SERIAL_PROMPT 136
#define IDC_PROMPT_YES 1030
#define IDC_BAUD_COMBO 1034
#define IDC_PROMPT_NO 1036

// The port dialogs: parallel (template 137) and TCP/IP (template 129). They
// share the prompt, the list and the OK and Cancel buttons.
#define IDD_TCPIP_PORT 129
#define IDD_PARALLEL_PORT 137
#define IDC_PORT_LIST 1004
#define IDC_ADD_PORT 1029
#define IDC_PORT_PROMPT 1030
#define IDC_CONFIGURE_PORT 1031
#define IDC_DELETE_PORT 1032
#define IDC_PORT_OK 1037
#define IDC_PORT_CANCEL 1039

// WM_USER + 7: the serial channel received a byte.
#define WM_SERIAL_BYTE_RECEIVED 0x0407
// WM_APP + 1: the start-up worker has ended.
#define WM_STARTUP_FINISHED 0x8001
// The dialog's only timer: serial probing.
#define PROBE_TIMER_ID 1
