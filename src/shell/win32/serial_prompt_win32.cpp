#include "shell/win32/serial_prompt_win32.h"

#include <string>

#include "base/dialog_ids.h"
#include "base/port_types.h"

namespace win32 {
namespace {

constexpr INT_PTR kYesBase = 0x1200;
constexpr INT_PTR kNo = 0xCCCC;

INT_PTR CALLBACK SerialPromptProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG: {
            const HWND rates = ::GetDlgItem(dialog, IDC_BAUD_COMBO);
            for (int rate : ports::kBaudRates) {
                const std::string text = std::to_string(rate);
                ::SendMessageA(rates, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
            }
            ::SendMessageA(rates, CB_SETCURSEL, ports::kPreselectedBaudRow, 0);
            return TRUE;
        }
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDC_PROMPT_YES: {
                    const LRESULT row =
                        ::SendDlgItemMessageA(dialog, IDC_BAUD_COMBO, CB_GETCURSEL, 0, 0);
                    ::EndDialog(dialog, kYesBase + row);
                    return TRUE;
                }
                case IDC_PROMPT_NO: ::EndDialog(dialog, kNo); return TRUE;
                case IDOK:
                case IDCANCEL: ::EndDialog(dialog, LOWORD(wParam)); return TRUE;
                default: return FALSE;
            }
        default: return FALSE;
    }
}

}  // namespace

int SerialPromptDialog(HWND owner) {
    return static_cast<int>(::DialogBoxParamA(::GetModuleHandleA(nullptr),
                                              MAKEINTRESOURCEA(IDD_SERIAL_PROMPT), owner,
                                              SerialPromptProc, 0));
}

}  // namespace win32
