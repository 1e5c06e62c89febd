#pragma once

// Before windows.h: its IDOK and IDCANCEL macros would replace the presenters' constants.
#include "app/ConfigDialogPlug.h"
#include "ui/ConfigDialogPresenter.h"

#include <windows.h>

#include <memory>

#include "ui/win32/CDialogView.h"

namespace voldrane::win32 {

// The configuration dialog (template IDD_CONFIG) over its presenter: the offices' list view
// with Select, New, Edit and Delete, the switches, Close and Help. The window is made hidden
// before the presenter fills it; a modal run shows it, the add-current-network mode never.
class CConfigDialogView final : public CDialogView, public ui::IConfigView {
  public:
    explicit CConfigDialogView(HINSTANCE resources);
    ~CConfigDialogView() override;

    int Run(bool bAddCurrentNetwork, ui::IConfigHost& host, COfficeList* offices,
            const CNetworkSettings* network);
    // Brings the open office dialog to the front, or else this window: in the
    // add-current-network mode the office dialog is the only one shown.
    void Raise();

    void ClearRows() override;
    void InsertRow(int row, const std::string& name) override;
    void SetRowText(int row, const std::string& name) override;
    void RemoveRow(int row) override;
    int SelectedRow() const override;
    void ClearSelection() override;
    void EnableOfficeButtons(bool enabled) override;
    void ShowSwitches(const ui::ConfigSwitches& switches) override;
    void ShowAutostart(bool on) override;
    void RunModal() override;
    void EndDialog() override;
    bool RunOfficeDialog(ui::OfficeDialogPresenter& office, bool aboveWindow) override;

  private:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    LRESULT OnNotify(const NMHDR& header) override;
    void OnHelp() override;

    HINSTANCE m_resources;
    std::unique_ptr<ui::ConfigDialogPresenter> m_presenter;
    HIMAGELIST m_smallImages = nullptr;
    bool m_running = false;
    CDialogView* m_officeDialog = nullptr;  // while New or Edit runs it
};

// The configuration dialog as the main frame runs it, drawn with the dialogs of `resources`.
std::unique_ptr<IConfigDialog> CreateConfigDialog(HINSTANCE resources);

}  // namespace voldrane::win32
