#pragma once

#include <windows.h>

#include <commctrl.h>

#include <string>

namespace voldrane::win32 {

// A dialog from a resource template, its messages passed to the virtual handlers below. The
// views derive from it; what the dialog shows and does is their presenter's.
class CDialogView {
  public:
    virtual ~CDialogView();
    CDialogView(const CDialogView&) = delete;
    CDialogView& operator=(const CDialogView&) = delete;

    // Runs the dialog modally: the result passed to End, or -1 when it cannot be created.
    INT_PTR RunModal(HINSTANCE resources, int templateId, HWND owner);
    // Creates the dialog without showing it (its WM_INITDIALOG runs); false when it cannot.
    bool CreateHidden(HINSTANCE resources, int templateId, HWND owner);
    void Destroy();

    HWND Hwnd() const { return m_hwnd; }
    HWND Item(int id) const { return GetDlgItem(m_hwnd, id); }
    // Ends a modal run with `result`.
    void End(int result);
    // Brings the dialog, or the window it has opened above itself, to the front.
    void BringToTop();

    // Control helpers, texts in UTF-8.
    std::string ItemText(int id) const;
    void SetItemText(int id, const std::string& text);
    void EnableItem(int id, bool on);
    void ShowItem(int id, bool show);
    bool IsChecked(int id) const;
    void SetChecked(int id, bool on);

  protected:
    CDialogView() = default;
    virtual BOOL OnInitDialog() = 0;
    // A WM_COMMAND; true when handled.
    virtual bool OnCommand(int id, int code, HWND control) = 0;
    virtual LRESULT OnNotify(const NMHDR& header) {
        (void)header;
        return 0;
    }
    // F1 or the title bar's "?" button.
    virtual void OnHelp() {}
    // WM_CTLCOLORSTATIC: the brush for a static control's background, or null for the
    // dialog's own.
    virtual HBRUSH OnCtlColorStatic(HDC dc, HWND control) {
        (void)dc;
        (void)control;
        return nullptr;
    }

  private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    HWND m_hwnd = nullptr;
    bool m_modal = false;
};

// Centres a window on the work area of its monitor.
void CentreOnScreen(HWND window);

}  // namespace voldrane::win32
