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

#include "ui/qt/DialogSupport.h"
#include "ui/qt/IpAddressEdit.h"

namespace voldrane::ui {

namespace {

// Refuses an edit that would make the name longer than the store can give back: a longer
// name would be saved but come back empty at the next start.
class NameValidator final : public QValidator {
  public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        return OfficeDialogPresenter::NameFits(input.toStdString()) ? Acceptable : Invalid;
    }
};

}  // namespace

COfficeDialog::COfficeDialog(platform::ISpooler& spooler, IUserPrompts& prompts, QWidget* parent)
    : COfficeDialog(*std::make_unique<OfficeDialogPresenter>(spooler, prompts).release(), parent) {
    m_ownPresenter.reset(&m_presenter);
}

COfficeDialog::COfficeDialog(OfficeDialogPresenter& presenter, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::WindowContextHelpButtonHint),
      m_presenter(presenter) {
    setObjectName(QStringLiteral("officeDialog"));
    setWindowTitle(tr("Office Network"));

    auto* nameLabel = new QLabel(tr("Name"), this);
    m_editName = new QLineEdit(this);
    m_editName->setObjectName(QStringLiteral("name"));
    m_editName->setValidator(new NameValidator(m_editName));
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
    connect(m_btnApply, &QPushButton::clicked, this, [this] { m_presenter.OnApply(); });
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
    connect(help, &QShortcut::activated, this, [this] { m_presenter.OnHelp(); });
}

COfficeDialog::~COfficeDialog() = default;

int COfficeDialog::DoModal() {
    if (!m_presenter.Initialised()) OnInitDialog();
    return exec() == QDialog::Accepted ? IDOK : IDCANCEL;
}

void COfficeDialog::OnInitDialog() {
    m_presenter.Init(*this);
    m_editName->setFocus(Qt::OtherFocusReason);
}

void COfficeDialog::ShowForm(const OfficeForm& form, const std::vector<std::string>& printers,
                             const std::vector<std::string>& listed) {
    m_editName->setText(QString::fromStdString(form.name));
    m_tabs->blockSignals(true);
    m_tabs->setCurrentIndex(kPrintersTab);
    m_tabs->blockSignals(false);

    m_listPrinters->clear();
    const QIcon icon = PrinterIcon();
    for (const std::string& name : listed)
        m_listPrinters->addItem(new QListWidgetItem(icon, QString::fromStdString(name)));
    m_comboPrinter->clear();
    for (const std::string& name : printers) m_comboPrinter->addItem(QString::fromStdString(name));
    m_comboPrinter->setCurrentIndex(form.printer);

    ShowControls({m_lblNotSupported}, false);
    ShowControls(PrintersControls(), true);

    const std::vector<IpAddressEdit*> addresses = AddressControls();
    for (size_t i = 0; i < addresses.size(); ++i) addresses[i]->SetStartText(form.addresses[i]);
}

OfficeForm COfficeDialog::FormValues() const {
    OfficeForm form;
    form.name = m_editName->text().toStdString();
    const std::vector<IpAddressEdit*> addresses = AddressControls();
    for (size_t i = 0; i < addresses.size(); ++i)
        form.addresses[i] = addresses[i]->Text().toStdString();
    form.printer = m_comboPrinter->currentIndex();
    return form;
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

void COfficeDialog::accept() {
    m_presenter.OnOk();
    QDialog::accept();
}

void COfficeDialog::ShowControls(const std::vector<QWidget*>& controls, bool show) {
    for (QWidget* control : controls) control->setVisible(show);
}

std::vector<QWidget*> COfficeDialog::PrintersControls() const {
    return {m_listPrinters, m_comboPrinter, m_lblDefaultPrinter, m_lblAvailablePrinters};
}

std::vector<IpAddressEdit*> COfficeDialog::AddressControls() const {
    return {m_ctlIPAddress,  m_ctlSubnetMask, m_ctlDefaultGateway, m_ctlDHCPServer,
            m_ctlDNSServer1, m_ctlDNSServer2, m_ctlWINSServer};
}

std::vector<QWidget*> COfficeDialog::NetworkControls() const {
    std::vector<QWidget*> controls;
    for (IpAddressEdit* control : AddressControls()) controls.push_back(control);
    controls.insert(controls.end(), m_networkLabels.begin(), m_networkLabels.end());
    return controls;
}

}  // namespace voldrane::ui
