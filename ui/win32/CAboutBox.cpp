#include "ui/win32/CAboutBox.h"

#include <string>

#include "res/Resource.h"
#include "ui/win32/CDialogView.h"
#include "ui/win32/Wide.h"

namespace voldrane::win32 {

namespace {

HWND g_open = nullptr;

INT_PTR CALLBACK AboutProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM) {
    switch (msg) {
        case WM_INITDIALOG:
            g_open = dialog;
            CentreOnScreen(dialog);
            SetForegroundWindow(dialog);
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                EndDialog(dialog, LOWORD(wParam));
                return TRUE;
            }
            break;
        case WM_DESTROY:
            g_open = nullptr;
            break;
        default:
            break;
    }
    return FALSE;
}

}  // namespace

void ShowAboutBox(HINSTANCE resources) {
    if (g_open) {
        SetForegroundWindow(g_open);
        return;
    }
    if (DialogBoxParamW(resources, MAKEINTRESOURCEW(res::IDD_ABOUTBOX), nullptr, AboutProc, 0) ==
        -1) {
        // Without the template (a build without resources) the texts still reach the user.
        const std::wstring text = Widen(std::string(res::kAboutVersion) + "\n\n" + res::kAboutText);
        MessageBoxW(nullptr, text.c_str(), L"Voldrane", MB_OK | MB_ICONINFORMATION);
    }
}

}  // namespace voldrane::win32
