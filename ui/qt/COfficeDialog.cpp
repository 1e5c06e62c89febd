#include "ui/qt/COfficeDialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QValidator>

#include "offices/CRegistry.h"
#include "offices/OfficeStore.h"
#include "offices/OfficeValues.h"
#include "printers/CPrinterList.h"
#include "res/Strings.h"
#include "ui/qt/DialogSupport.h"
#include "ui/qt/IpAddressEdit.h"

namespace voldrane::ui {

namespace {

// Refuses an edit that would make the text longer, in UTF-8 bytes, than the store can give
// back: a longer name would be saved but come back empty at the next start.
class Utf8LengthValidator final : public QValidator {
  public:
    Utf8LengthValidator(qsizetype maxBytes, QObject* parent)
        : QValidator(parent), m_maxBytes(maxBytes) {}
    State validate(QString& input, int&) const override {
        return input.toUtf8().size() <= m_maxBytes ? Acceptable : Invalid;
    }

  private:
    qsizetype m_maxBytes;
};

QString FromStd(const std::string& s) {
    return QString::fromStdString(s);
}

}  // namespace

COfficeDialog::COfficeDialog(platform::ISpooler& spooler, IUserPrompts& prompts, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::WindowContextHelpButtonHint),
      m_spooler(spooler),
      m_prompts(prompts) {
    setObjectName(QStringLiteral("officeDialog"));
    setWindowTitle(tr("Office Network"));

    auto* nameLabel = new QLabel(tr("Name"), this);
    m_editName = new QLineEdit(this);
    m_editName->setObjectName(QStringLiteral("name"));
    m_editName->setValidator(new Utf8LengthValidator(
        static_cast<qsizetype>(kOfficeValues[kOfficeNamePlace].maxBytes), m_editName));
    nameLabel->setBuddy(m_editName);
    m_editName->setWhatsThis(tr("The office's name, as the tray menu and its tooltip show it."));

    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("tabs"));
    m_tabs->setWhatsThis(
        tr("Printers: the printer that becomes the default at this office. Network Settings: "
           "the values by which the office's network is recognised."));

    // Printers.
    auto* printersPage = new QWidget(m_tabs);
    auto* printersLayout = new QVBoxLayout(printersPage);
    m_lblDefaultPrinter = new QLabel(tr("Default Printer"), printersPage);
    m_comboPrinter = new QComboBox(printersPage);
    m_comboPrinter->setObjectName(QStringLiteral("defaultPrinter"));
    m_comboPrinter->setWhatsThis(
        tr("The printer that becomes your default printer while this office is in use."));
    m_lblDefaultPrinter->setBuddy(m_comboPrinter);
    m_lblAvailablePrinters = new QLabel(tr("Available Printers"), printersPage);
    m_listPrinters = new QListWidget(printersPage);
    m_listPrinters->setObjectName(QStringLiteral("availablePrinters"));
    m_listPrinters->setWhatsThis(tr("The printers installed on this computer, for reference."));
    m_listPrinters->setIconSize(QSize(16, 16));
    m_lblAvailablePrinters->setBuddy(m_listPrinters);
    printersLayout->addWidget(m_lblDefaultPrinter);
    printersLayout->addWidget(m_comboPrinter);
    printersLayout->addWidget(m_lblAvailablePrinters);
    printersLayout->addWidget(m_listPrinters, 1);

    // Drive Mapping.
    auto* drivesPage = new QWidget(m_tabs);
    auto* drivesLayout = new QVBoxLayout(drivesPage);
    m_lblNotSupported = new QLabel(tr("Not supported in this version"), drivesPage);
    m_lblNotSupported->setObjectName(QStringLiteral("notSupported"));
    drivesLayout->addWidget(m_lblNotSupported);
    drivesLayout->addStretch(1);

    // Network Settings.
    auto* networkPage = new QWidget(m_tabs);
    auto* networkLayout = new QGridLayout(networkPage);
    struct AddressRow {
        IpAddressEdit** control;
        const char* objectName;
        QString label;
        QString help;
    };
    const AddressRow rows[] = {
        {&m_ctlIPAddress, "ipAddress", tr("IP Address"),
         tr("This computer's IP address at the office.")},
        {&m_ctlSubnetMask, "subnetMask", tr("Subnet Mask"),
         tr("The subnet mask at the office; with the IP address it gives the office's network.")},
        {&m_ctlDefaultGateway, "defaultGateway", tr("Default Gateway"),
         tr("The office's default gateway. It is kept with the office but not used to "
            "recognise it.")},
        {&m_ctlDHCPServer, "dhcpServer", tr("DHCP Server"),
         tr("The DHCP server that gives this computer its address at the office.")},
        {&m_ctlDNSServer1, "dnsServer1", tr("Primary DNS Server"),
         tr("The office's first DNS server.")},
        {&m_ctlDNSServer2, "dnsServer2", tr("Secondary DNS Server"),
         tr("The office's second DNS server.")},
        {&m_ctlWINSServer, "winsServer", tr("Primary WINS Server"),
         tr("The office's WINS server, where it has one.")},
    };
    int row = 0;
    for (const AddressRow& r : rows) {
        auto* label = new QLabel(r.label, networkPage);
        auto* control = new IpAddressEdit(networkPage);
        control->setObjectName(QString::fromLatin1(r.objectName));
        control->setWhatsThis(r.help);
        label->setBuddy(control);
        networkLayout->addWidget(label, row, 0);
        networkLayout->addWidget(control, row, 1);
        *r.control = control;
        m_networkLabels.push_back(label);
        ++row;
    }
    networkLayout->setColumnStretch(2, 1);
    networkLayout->setRowStretch(row, 1);

    m_tabs->addTab(printersPage, tr("Printers"));
    m_tabs->addTab(drivesPage, tr("Drive Mapping"));
    m_tabs->addTab(networkPage, tr("Network Settings"));

    m_btnOK = new QPushButton(tr("OK"), this);
    m_btnOK->setObjectName(QStringLiteral("ok"));
    m_btnOK->setDefault(true);
    m_btnApply = new QPushButton(tr("Apply"), this);
    m_btnApply->setObjectName(QStringLiteral("apply"));
    m_btnCancel = new QPushButton(tr("Cancel"), this);
    m_btnCancel->setObjectName(QStringLiteral("cancel"));
    // In this order on every desktop: OK, Apply, Cancel.
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton* b : {m_btnOK, m_btnApply, m_btnCancel}) buttons->addWidget(b);
    connect(m_btnOK, &QPushButton::clicked, this, &COfficeDialog::accept);
    connect(m_btnApply, &QPushButton::clicked, this, &COfficeDialog::OnApply);
    connect(m_btnCancel, &QPushButton::clicked, this, &COfficeDialog::reject);

    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(nameLabel);
    nameRow->addWidget(m_editName, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(nameRow);
    layout->addWidget(m_tabs, 1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    m_tabs->setMinimumSize(360, 300);

    // Until initialisation only the Drive Mapping text is visible, as the controls of the
    // other tabs wait for their values.
    ShowControls(PrintersControls(), false);
    ShowControls(NetworkControls(), false);

    connect(m_tabs, &QTabWidget::currentChanged, this, &COfficeDialog::OnSelChangeTabs);
    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(help, &QShortcut::activated, this, [this] {
        if (m_showHelp) m_showHelp("office");
    });
}

COfficeDialog::~COfficeDialog() = default;

void COfficeDialog::SetOffice(COfficeNetwork* office) {
    m_pOffice = office;
    m_strName = office->m_strOfficeName;
    const CNetworkSettings& n = office->m_network;
    m_addrIPAddress = n.m_strIPAddress;
    m_addrSubnetMask = n.m_strSubnetMask;
    m_addrDefaultGateway = n.m_strDefaultGateway;
    m_addrDHCPServer = n.m_strDHCPServer;
    m_addrDNSServer1 = n.m_strDNSServer1;
    m_addrDNSServer2 = n.m_strDNSServer2;
    m_addrWINSServer = n.m_strWINSServer;
}

void COfficeDialog::UseCurrentNetwork(const CNetworkSettings* current, bool bAsk) {
    m_bNewOffice = true;
    if (!current) return;
    if (bAsk && !m_prompts.AskYesNo(res::kAskUseCurrentNetwork, PromptIcon::Question)) return;
    m_addrIPAddress = current->m_strIPAddress;
    m_addrSubnetMask = current->m_strSubnetMask;
    m_addrDefaultGateway = current->m_strDefaultGateway;
    m_addrDHCPServer = current->m_strDHCPServer;
    m_addrDNSServer1 = current->m_strDNSServer1;
    m_addrDNSServer2 = current->m_strDNSServer2;
    m_addrWINSServer = current->m_strWINSServer;
}

void COfficeDialog::SetHelpHandler(std::function<void(const std::string&)> showHelp) {
    m_showHelp = std::move(showHelp);
}

int COfficeDialog::DoModal() {
    if (!m_bInitialised) OnInitDialog();
    return exec() == QDialog::Accepted ? IDOK : IDCANCEL;
}

void COfficeDialog::OnInitDialog() {
    m_bInitialised = true;
    m_editName->setText(FromStd(m_strName));
    LoadPrinters();
    m_tabs->blockSignals(true);
    m_tabs->setCurrentIndex(kPrintersTab);
    m_tabs->blockSignals(false);
    FillPrinterList();
    FillDefaultPrinterCombo();

    ShowControls({m_lblNotSupported}, false);
    ShowControls(PrintersControls(), true);

    m_ctlDNSServer2->SetStartText(m_addrDNSServer2);
    m_ctlDHCPServer->SetStartText(m_addrDHCPServer);
    m_ctlDefaultGateway->SetStartText(m_addrDefaultGateway);
    m_ctlWINSServer->SetStartText(m_addrWINSServer);
    m_ctlDNSServer1->SetStartText(m_addrDNSServer1);
    m_ctlSubnetMask->SetStartText(m_addrSubnetMask);
    m_ctlIPAddress->SetStartText(m_addrIPAddress);
    m_shown = ControlValues();
    m_editName->setFocus(Qt::OtherFocusReason);
}

void COfficeDialog::LoadPrinters() {
    // Read afresh at every opening. A spooler that cannot be asked gives an empty catalogue:
    // empty printer controls, and Apply leaves the office's printer as it was.
    const CPrinterList catalogue(m_spooler);
    m_nPrinterCount = catalogue.GetCount();
    m_printers.clear();
    for (int i = 0; i < m_nPrinterCount; ++i) m_printers.push_back(catalogue.GetPrinterName(i));
}

void COfficeDialog::FillPrinterList() {
    m_listPrinters->clear();
    const QIcon icon = PrinterIcon();
    for (int i = 0; i < m_nPrinterCount; ++i) {
        const QString name = FromStd(m_printers[static_cast<size_t>(i)]);
        m_listPrinters->insertItem(SortedRow(m_listPrinters, name),
                                   new QListWidgetItem(icon, name));
    }
}

void COfficeDialog::FillDefaultPrinterCombo() {
    m_comboPrinter->clear();
    // Appended in catalogue order, so item i is entry i of the table.
    for (const std::string& name : m_printers) m_comboPrinter->addItem(FromStd(name));
    // The office's printer, or for an office without one the user's default printer.
    m_comboPrinter->setCurrentIndex(SelectDefaultPrinterEntry(
        m_printers, m_pOffice ? m_pOffice->m_strDefaultPrinter : std::string(),
        DefaultPrinterName(m_spooler)));
}

void COfficeDialog::OnSelChangeTabs() {
    switch (m_tabs->currentIndex()) {
        case kPrintersTab:
            ShowControls(PrintersControls(), true);
            ShowControls(NetworkControls(), false);
            ShowControls({m_lblNotSupported}, false);
            break;
        case kDriveMappingTab:
            ShowControls(PrintersControls(), false);
            ShowControls(NetworkControls(), false);
            ShowControls({m_lblNotSupported}, true);
            break;
        case kNetworkSettingsTab:
            ShowControls(PrintersControls(), false);
            ShowControls(NetworkControls(), true);
            ShowControls({m_lblNotSupported}, false);
            break;
        default:
            break;
    }
}

void COfficeDialog::OnApply() {
    if (!m_pOffice) return;
    m_strName = m_editName->text().toStdString();
    m_nPrinter = m_comboPrinter->currentIndex();
    const std::array<std::string, kOfficeValueCount> now = ControlValues();
    // An office being edited takes only the values the user changed, so that a save writes
    // nothing else over what another program stored meanwhile, and a value the controls show
    // in another form ("N/A" as 255.255.255.255, a printer not installed here as the default
    // printer) stays as it was.
    for (int i = 0; i < kOfficeValueCount; ++i) {
        const auto k = static_cast<size_t>(i);
        const bool changed = now[k] != m_shown[k];
        if (!changed && !m_changed[k] && !m_bNewOffice) continue;
        m_changed[k] = true;
        if (i == kDefaultPrinterPlace) {
            // Without a chosen printer (none installed, or the office's is gone) the office
            // keeps the printer it had.
            if (m_nPrinter >= 0 && m_nPrinter < m_nPrinterCount)
                m_pOffice->m_strDefaultPrinter = now[k];
            continue;
        }
        OfficeValue(*m_pOffice, i) = now[k];
    }
}

std::array<std::string, kOfficeValueCount> COfficeDialog::ControlValues() const {
    const int printer = m_comboPrinter->currentIndex();
    return {m_editName->text().toStdString(),
            m_ctlIPAddress->Text().toStdString(),
            m_ctlSubnetMask->Text().toStdString(),
            m_ctlDefaultGateway->Text().toStdString(),
            m_ctlDHCPServer->Text().toStdString(),
            m_ctlDNSServer1->Text().toStdString(),
            m_ctlDNSServer2->Text().toStdString(),
            m_ctlWINSServer->Text().toStdString(),
            printer >= 0 && printer < m_nPrinterCount ? m_printers[static_cast<size_t>(printer)]
                                                      : std::string()};
}

void COfficeDialog::accept() {
    OnApply();
    QDialog::accept();
}

void COfficeDialog::ShowControls(const std::vector<QWidget*>& controls, bool show) {
    for (QWidget* control : controls) control->setVisible(show);
}

std::vector<QWidget*> COfficeDialog::PrintersControls() const {
    return {m_listPrinters, m_comboPrinter, m_lblDefaultPrinter, m_lblAvailablePrinters};
}

std::vector<QWidget*> COfficeDialog::NetworkControls() const {
    std::vector<QWidget*> controls = {m_ctlIPAddress,  m_ctlSubnetMask, m_ctlDefaultGateway,
                                      m_ctlDHCPServer, m_ctlDNSServer1, m_ctlDNSServer2,
                                      m_ctlWINSServer};
    controls.insert(controls.end(), m_networkLabels.begin(), m_networkLabels.end());
    return controls;
}

}  // namespace voldrane::ui
