#include "ui/qt/ConfigDialogPlug.h"

#include "ui/qt/CConfigDialog.h"

namespace voldrane {

namespace {

class ConfigDialog final : public IConfigDialog {
  public:
    void SetOfficeList(COfficeList& offices) override { m_dialog.SetOfficeList(&offices); }
    void SetCurrentNetwork(const CNetworkSettings& network) override {
        m_dialog.SetCurrentNetwork(&network);
    }
    int Run(bool bAddCurrentNetwork, ui::IConfigHost* host) override {
        return m_dialog.Run(bAddCurrentNetwork, host);
    }
    void BringWindowToTop() override { m_dialog.BringToTop(); }

  private:
    ui::CConfigDialog m_dialog;  // no parent: the frame has no window
};

}  // namespace

std::unique_ptr<IConfigDialog> CreateConfigDialog() {
    return std::make_unique<ConfigDialog>();
}

}  // namespace voldrane
