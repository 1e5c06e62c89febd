#pragma once

#include <QDialog>
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "offices/CNetworkSettings.h"
#include "offices/COfficeNetwork.h"
#include "offices/OfficeValues.h"
#include "platform/Spooler.h"
#include "ui/UserPrompts.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTabWidget;

namespace voldrane::ui {

class IpAddressEdit;

// Modal results, as the configuration dialog tests them.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

// Edits one office: its name, the printer that becomes the default there, and the seven
// network values that identify its network. It changes only the record in memory ("Apply"
// and "OK" copy the controls into it); the caller stores it when the result is IDOK.
class COfficeDialog : public QDialog {
    Q_OBJECT

  public:
    // The tabs, by index.
    enum Tab { kPrintersTab = 0, kDriveMappingTab = 1, kNetworkSettingsTab = 2 };

    COfficeDialog(platform::ISpooler& spooler, IUserPrompts& prompts, QWidget* parent = nullptr);
    ~COfficeDialog() override;

    // The office to edit (not owned); its name and network become the starting values.
    void SetOffice(COfficeNetwork* office);
    // For a new office: the current network's seven values become the starting values,
    // after asking "Use Current Network Settings?" when `bAsk` is set (No keeps them).
    void UseCurrentNetwork(const CNetworkSettings* current, bool bAsk);
    // Where F1 sends the user: the manual, opened at a page.
    void SetHelpHandler(std::function<void(const std::string& page)> showHelp);

    // Initialises and runs the dialog modally: IDOK or IDCANCEL.
    int DoModal();
    // Fills the controls from the office and the printers; DoModal calls it.
    void OnInitDialog();

    // The printer side: the catalogue copied into the dialog, the sorted display list, and
    // the combo box in catalogue order with the office's (or the system's) printer chosen.
    void LoadPrinters();
    void FillPrinterList();
    void FillDefaultPrinterCombo();
    // Shows the controls of the selected tab and hides those of the other two.
    void OnSelChangeTabs();
    // Copies the controls into the office record; the dialog stays open.
    void OnApply();

    const std::vector<std::string>& Printers() const { return m_printers; }

    // Which of the office's nine values (numbered as the store numbers them: the name, the
    // seven addresses, the printer) an Apply or OK took from controls the user changed.
    const std::array<bool, 9>& ChangedValues() const { return m_changed; }

  protected:
    void accept() override;  // OK: Apply, then close

  private:
    void ShowControls(const std::vector<QWidget*>& controls, bool show);
    std::vector<QWidget*> PrintersControls() const;
    std::vector<QWidget*> NetworkControls() const;
    // The nine values as the controls show them now; the printer "" when none is chosen.
    std::array<std::string, kOfficeValueCount> ControlValues() const;

    platform::ISpooler& m_spooler;
    IUserPrompts& m_prompts;
    std::function<void(const std::string&)> m_showHelp;

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

    std::string m_strName;
    int m_nPrinter = -1;
    COfficeNetwork* m_pOffice = nullptr;
    std::vector<std::string> m_printers;  // catalogue order; combo item i is entry i
    int m_nPrinterCount = 0;

    // Starting values of the address controls, read once by OnInitDialog.
    std::string m_addrDNSServer2;
    std::string m_addrDHCPServer;
    std::string m_addrDefaultGateway;
    std::string m_addrWINSServer;
    std::string m_addrDNSServer1;
    std::string m_addrSubnetMask;
    std::string m_addrIPAddress;
    bool m_bInitialised = false;

    std::array<std::string, kOfficeValueCount>
        m_shown;  // ControlValues() when the dialog was filled
    std::array<bool, 9> m_changed{};
    bool m_bNewOffice = false;  // takes every value the controls show
};

}  // namespace voldrane::ui
