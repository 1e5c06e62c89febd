#pragma once

// Before windows.h: its IDOK and IDCANCEL macros would replace the presenter's constants.
#include "ui/OfficeDialogPresenter.h"

#include <windows.h>

#include <string>

#include "ui/win32/CDialogView.h"

namespace voldrane::win32 {

// The office dialog (template IDD_OFFICE) over its presenter: the name, the tabs "Printers",
// "Drive Mapping" and "Network Settings", the printer choice and list, the seven address
// controls, OK, Apply and Cancel.
class COfficeDialogView final : public CDialogView, public ui::IOfficeView {
  public:
    COfficeDialogView(ui::OfficeDialogPresenter& presenter, HINSTANCE resources);
    ~COfficeDialogView() override;

    // Runs modally, owned by `owner` (or on its own): IDOK or IDCANCEL, -1 when it cannot be
    // created.
    int DoModal(HWND owner);

    void ShowForm(const ui::OfficeForm& form, const std::vector<std::string>& printers,
                  const std::vector<std::string>& listed) override;
    ui::OfficeForm FormValues() const override;

  private:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    LRESULT OnNotify(const NMHDR& header) override;
    void OnHelp() override { m_presenter.OnHelp(); }
    HBRUSH OnCtlColorStatic(HDC dc, HWND control) override;
    // Shows the controls of the chosen tab and hides those of the other two.
    void ShowTab(int tab);

    ui::OfficeDialogPresenter& m_presenter;
    HINSTANCE m_resources;
    HIMAGELIST m_smallImages = nullptr;
    HBRUSH m_tabBrush = nullptr;  // the tab control's page, drawn once
    std::string m_lastName;       // the name before the edit being made
};

}  // namespace voldrane::win32
