#include "ui/win32/CDialogView.h"

#include <vector>

#include "ui/win32/Wide.h"

namespace voldrane::win32 {

CDialogView::~CDialogView() {
    Destroy();
}

INT_PTR CDialogView::RunModal(HINSTANCE resources, int templateId, HWND owner) {
    m_modal = true;
    const INT_PTR result =
        DialogBoxParamW(resources, MAKEINTRESOURCEW(templateId), owner, &CDialogView::DialogProc,
                        reinterpret_cast<LPARAM>(this));
    m_modal = false;
    return result;
}

bool CDialogView::CreateHidden(HINSTANCE resources, int templateId, HWND owner) {
    m_modal = false;
    return CreateDialogParamW(resources, MAKEINTRESOURCEW(templateId), owner,
                              &CDialogView::DialogProc, reinterpret_cast<LPARAM>(this)) != nullptr;
}

void CDialogView::Destroy() {
    if (m_hwnd && !m_modal) DestroyWindow(m_hwnd);
}

void CDialogView::End(int result) {
    if (m_hwnd && m_modal) EndDialog(m_hwnd, result);
}

void CDialogView::BringToTop() {
    if (!m_hwnd) return;
    HWND above = GetLastActivePopup(m_hwnd);
    HWND target = above && IsWindowVisible(above) ? above : m_hwnd;
    if (IsIconic(m_hwnd)) ShowWindow(m_hwnd, SW_RESTORE);
    BringWindowToTop(target);
    SetForegroundWindow(target);
}

std::string CDialogView::ItemText(int id) const {
    HWND item = Item(id);
    const int n = GetWindowTextLengthW(item);
    std::wstring text(static_cast<size_t>(n) + 1, L'\0');
    GetWindowTextW(item, text.data(), n + 1);
    text.resize(static_cast<size_t>(n));
    return Narrow(text);
}

void CDialogView::SetItemText(int id, const std::string& text) {
    SetDlgItemTextW(m_hwnd, id, Widen(text).c_str());
}

void CDialogView::EnableItem(int id, bool on) {
    EnableWindow(Item(id), on);
}

void CDialogView::ShowItem(int id, bool show) {
    ShowWindow(Item(id), show ? SW_SHOW : SW_HIDE);
}

bool CDialogView::IsChecked(int id) const {
    return IsDlgButtonChecked(m_hwnd, id) == BST_CHECKED;
}

void CDialogView::SetChecked(int id, bool on) {
    CheckDlgButton(m_hwnd, id, on ? BST_CHECKED : BST_UNCHECKED);
}

INT_PTR CALLBACK CDialogView::DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_INITDIALOG) {
        auto* self = reinterpret_cast<CDialogView*>(lParam);
        self->m_hwnd = hwnd;
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        return self->OnInitDialog();
    }
    auto* self = reinterpret_cast<CDialogView*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    if (!self) return FALSE;
    switch (msg) {
        case WM_COMMAND:
            return self->OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam))
                       ? TRUE
                       : FALSE;
        case WM_NOTIFY: {
            // A nonzero answer is the dialog's; zero leaves the control's default.
            const LRESULT result = self->OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
            if (result == 0) return FALSE;
            SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, result);
            return TRUE;
        }
        case WM_HELP:
            self->OnHelp();
            return TRUE;
        case WM_CTLCOLORSTATIC:
            // A brush is the answer itself; FALSE leaves the default.
            return reinterpret_cast<INT_PTR>(self->OnCtlColorStatic(
                reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam)));
        case WM_NCDESTROY:
            SetWindowLongPtrW(hwnd, DWLP_USER, 0);
            self->m_hwnd = nullptr;
            return FALSE;
        default:
            return FALSE;
    }
}

void CentreOnScreen(HWND window) {
    RECT r;
    GetWindowRect(window, &r);
    MONITORINFO mi{};
    mi.cbSize = sizeof mi;
    GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &mi);
    const RECT& w = mi.rcWork;
    SetWindowPos(window, nullptr, w.left + (w.right - w.left - (r.right - r.left)) / 2,
                 w.top + (w.bottom - w.top - (r.bottom - r.top)) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace voldrane::win32
