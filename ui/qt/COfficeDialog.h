#pragma once

#include <QDialog>
#include <memory>
#include <string>
#include <vector>

#include "platform/Spooler.h"
#include "ui/OfficeDialogPresenter.h"
#include "ui/UserPrompts.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTabWidget;

namespace voldrane::ui {

class IpAddressEdit;

// The office dialog drawn by Qt: lays out the name, the three tabs (Printers, Drive Mapping,
// Network Settings) and OK, Apply, Cancel; forwards the user's actions to
// OfficeDialogPresenter and shows what it says.
class COfficeDialog : public QDialog, private IOfficeView {
    Q_OBJECT

  public:
    // The tabs, by index.
    enum Tab { kPrintersTab = 0, kDriveMappingTab = 1, kNetworkSettingsTab = 2 };

    // A view over `presenter` (not owned).
    explicit COfficeDialog(OfficeDialogPresenter& presenter, QWidget* parent = nullptr);
    // A view with a presenter of its own.
    COfficeDialog(platform::ISpooler& spooler, IUserPrompts& prompts, QWidget* parent = nullptr);
    ~COfficeDialog() override;

    OfficeDialogPresenter& Presenter() { return m_presenter; }

    // Fills the controls (the presenter reads the printers afresh); DoModal calls it.
    void OnInitDialog();
    // Initialises and runs the dialog modally: IDOK or IDCANCEL.
    int DoModal();

  protected:
    void accept() override;  // OK: Apply, then close

  private:
    // IOfficeView
    void ShowForm(const OfficeForm& form, const std::vector<std::string>& printers,
                  const std::vector<std::string>& listed) override;
    OfficeForm FormValues() const override;

    // Shows the controls of the selected tab and hides those of the other two.
    void OnSelChangeTabs();
    void ShowControls(const std::vector<QWidget*>& controls, bool show);
    std::vector<QWidget*> PrintersControls() const;
    std::vector<QWidget*> NetworkControls() const;
    std::vector<IpAddressEdit*> AddressControls() const;

    std::unique_ptr<OfficeDialogPresenter> m_ownPresenter;
    OfficeDialogPresenter& m_presenter;

    // Controls, as their labels name them.
    QLineEdit* m_editName = nullptr;
    QTabWidget* m_tabs = nullptr;
    QLabel* m_lblDefaultPrinter = nullptr;
    QComboBox* m_comboPrinter = nullptr;
    QLabel* m_lblAvailablePrinters = nullptr;
    QListWidget* m_listPrinters = nullptr;
    QLabel* m_lblNotSupported = nullptr;
    IpAddressEdit* m_ctlIPAddress = nullptr;
    IpAddressEdit* m_ctlSubnetMask = nullptr;
    IpAddressEdit* m_ctlDefaultGateway = nullptr;
    IpAddressEdit* m_ctlDHCPServer = nullptr;
    IpAddressEdit* m_ctlDNSServer1 = nullptr;
    IpAddressEdit* m_ctlDNSServer2 = nullptr;
    IpAddressEdit* m_ctlWINSServer = nullptr;
    std::vector<QLabel*> m_networkLabels;  // in the order of the seven address controls
    QPushButton* m_btnOK = nullptr;
    QPushButton* m_btnApply = nullptr;
    QPushButton* m_btnCancel = nullptr;
};

}  // namespace voldrane::ui
