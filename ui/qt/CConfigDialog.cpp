#include "ui/qt/CConfigDialog.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>
#include <functional>
#include <memory>

#include "offices/OfficeStore.h"
#include "platform/Autostart.h"
#include "res/Strings.h"
#include "ui/qt/COfficeDialog.h"
#include "ui/qt/DialogSupport.h"

namespace voldrane::ui {

namespace {

constexpr int kPositionRole = Qt::UserRole;
constexpr const char* kNewOfficeName = "New Office";

QString FromStd(const std::string& s) {
    return QString::fromStdString(s);
}

// The store's own words for a failure, for the message that reports it.
QString Reason(const std::string& error) {
    return error.empty() ? QObject::tr("unknown error") : FromStd(error);
}

// Double clicks anywhere in the list, also on its empty part, edit the selected office.
class DoubleClickFilter final : public QObject {
  public:
    DoubleClickFilter(QObject* parent, std::function<void()> onDoubleClick)
        : QObject(parent), m_onDoubleClick(std::move(onDoubleClick)) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonDblClick) {
            m_onDoubleClick();
            return true;  // not also the start of an in-place label edit
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    std::function<void()> m_onDoubleClick;
};

}  // namespace

CConfigDialog::CConfigDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::WindowContextHelpButtonHint) {
    setObjectName(QStringLiteral("configDialog"));
    setWindowTitle(tr("Voldrane Configuration"));

    m_listOffices = new QListWidget(this);
    m_listOffices->setObjectName(QStringLiteral("offices"));
    m_listOffices->setSelectionMode(QAbstractItemView::SingleSelection);
    m_listOffices->setIconSize(QSize(16, 16));
    m_listOffices->setEditTriggers(QAbstractItemView::EditKeyPressed |
                                   QAbstractItemView::SelectedClicked);
    m_listOffices->setWhatsThis(
        tr("The office networks Voldrane knows. Select one to use, edit or delete it; double "
           "click it to edit it."));
    m_listOffices->viewport()->installEventFilter(
        new DoubleClickFilter(this, [this] { OnEdit(); }));

    auto makeButton = [this](const QString& text, const char* name, const QString& help) {
        auto* button = new QPushButton(text, this);
        button->setObjectName(QString::fromLatin1(name));
        button->setWhatsThis(help);
        return button;
    };
    m_btnSelect = makeButton(tr("&Select"), "select",
                             tr("Uses the selected office now: its printer becomes the default "
                                "printer. Automatic detection is not changed."));
    m_btnNew = makeButton(tr("&New"), "new",
                          tr("Adds an office, if you like with the settings of the network "
                             "this computer is attached to now."));
    m_btnEdit = makeButton(tr("&Edit"), "edit",
                           tr("Changes the selected office's name, printer or network settings."));
    m_btnDelete = makeButton(tr("&Delete"), "delete", tr("Deletes the selected office."));
    m_btnClose = makeButton(tr("&Close"), "close",
                            tr("Saves the Auto-detect Network setting and closes this window."));
    m_btnHelp = makeButton(tr("&Help"), "help", tr("Opens the manual."));

    m_checkAutoDetect = new QCheckBox(tr("A&uto-detect Network"), this);
    m_checkAutoDetect->setObjectName(QStringLiteral("autoDetect"));
    m_checkAutoDetect->setWhatsThis(
        tr("When checked, Voldrane recognises the office from the network each time it "
           "starts. Saved when you press Close."));
    m_checkFollow = new QCheckBox(tr("&Follow network changes"), this);
    m_checkFollow->setObjectName(QStringLiteral("followNetwork"));
    m_checkFollow->setWhatsThis(
        tr("When checked together with Auto-detect Network, Voldrane recognises the office "
           "again whenever the network changes, for example after waking up somewhere else. "
           "Saved when you press Close."));
    m_checkNotify = new QCheckBox(tr("&Tell me when the printer changes"), this);
    m_checkNotify->setObjectName(QStringLiteral("notify"));
    m_checkNotify->setWhatsThis(
        tr("When checked, following a network change says on the desktop which printer is "
           "now your default printer. Saved when you press Close."));

    auto* group = new QGroupBox(tr("Office Networks"), this);
    auto* buttonColumn = new QVBoxLayout;
    for (QPushButton* b : {m_btnSelect, m_btnNew, m_btnEdit, m_btnDelete})
        buttonColumn->addWidget(b);
    buttonColumn->addStretch(1);
    auto* groupLayout = new QHBoxLayout(group);
    groupLayout->addWidget(m_listOffices, 1);
    groupLayout->addLayout(buttonColumn);

    auto* bottom = new QHBoxLayout;
    auto* switches = new QVBoxLayout;
    for (QCheckBox* c : {m_checkAutoDetect, m_checkFollow, m_checkNotify}) switches->addWidget(c);
    bottom->addLayout(switches);
    bottom->addStretch(1);
    bottom->addWidget(m_btnClose);
    bottom->addWidget(m_btnHelp);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group, 1);
    layout->addLayout(bottom);
    layout->addWidget(MakeAutostartBox());
    resize(420, 300);

    // Enter in the list does not press a button; only a button with the focus answers it.
    for (QPushButton* b : {m_btnSelect, m_btnNew, m_btnEdit, m_btnDelete, m_btnClose, m_btnHelp})
        b->setDefault(false);

    connect(m_btnSelect, &QPushButton::clicked, this, &CConfigDialog::OnSelect);
    connect(m_btnNew, &QPushButton::clicked, this, &CConfigDialog::OnNew);
    connect(m_btnEdit, &QPushButton::clicked, this, &CConfigDialog::OnEdit);
    connect(m_btnDelete, &QPushButton::clicked, this, &CConfigDialog::OnDelete);
    connect(m_btnClose, &QPushButton::clicked, this, &CConfigDialog::OnCloseButton);
    connect(m_btnHelp, &QPushButton::clicked, this, &CConfigDialog::OnHelp);
    connect(m_listOffices, &QListWidget::itemSelectionChanged, this,
            &CConfigDialog::OnItemChangedOffices);
    connect(m_listOffices, &QListWidget::itemChanged, this, &CConfigDialog::OnLabelEdited);
    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(help, &QShortcut::activated, this, &CConfigDialog::OnHelp);
}

CConfigDialog::~CConfigDialog() = default;

void CConfigDialog::SetOfficeList(COfficeList* offices) {
    m_pOffices = offices;
}

void CConfigDialog::SetCurrentNetwork(const CNetworkSettings* network) {
    m_pCurrentNetwork = network;
}

int CConfigDialog::Run(bool bAddCurrentNetwork, IConfigHost* host) {
    m_pHost = host;
    if (!m_pOffices) m_pOffices = &host->Offices();
    if (!m_pCurrentNetwork) m_pCurrentNetwork = &host->CurrentNetwork();
    OnInitDialog();
    if (!bAddCurrentNetwork) {
        m_bInteractive = true;
        exec();
        return IDCANCEL;  // Close, Escape and the close box all leave the same way
    }
    m_bInteractive = false;
    OnNew();
    return 0;
}

void CConfigDialog::BringToTop() {
    QWidget* top = m_pOfficeDialog ? static_cast<QWidget*>(m_pOfficeDialog.data()) : this;
    if (!top->isVisible()) return;
    top->raise();
    top->activateWindow();
}

void CConfigDialog::OnInitDialog() {
    m_listOffices->clear();
    for (int i = 0; i < m_pOffices->GetSize(); ++i) InsertEntry(m_pOffices->ElementAt(i), i);
    m_bAutoDetectNetwork = m_pHost->GetAutoDetect();
    m_bStoredAutoDetect = ReadAutoDetect(m_pHost->Registry());
    m_checkAutoDetect->setChecked(m_bAutoDetectNetwork);
    m_bStoredFollow = ReadFollowNetwork(m_pHost->Registry());
    m_bStoredNotify = ReadNotify(m_pHost->Registry());
    m_checkFollow->setChecked(m_bStoredFollow);
    m_checkNotify->setChecked(m_bStoredNotify);
    m_listOffices->clearSelection();
    OnItemChangedOffices();
    m_checkAutostart->setChecked(platform::AutostartEnabled());
}

void CConfigDialog::OnItemChangedOffices() {
    // The check box is left alone: a change the user has not yet stored with Close stays.
    const bool selected = SelectedEntry() != nullptr;
    m_btnEdit->setEnabled(selected);
    m_btnSelect->setEnabled(selected);
    m_btnDelete->setEnabled(selected);
}

void CConfigDialog::OnLabelEdited(QListWidgetItem* item) {
    if (m_bSettingText) return;
    // Names change only through the office dialog: an in-place edit goes back.
    const int position = PositionOf(item);
    if (position < 0 || position >= m_pOffices->GetSize()) return;
    SetEntryText(item, FromStd(m_pOffices->ElementAt(position).m_strOfficeName));
}

void CConfigDialog::OnSelect() {
    const QListWidgetItem* item = SelectedEntry();
    if (!item) return;
    const int position = PositionOf(item);
    if (position < 0 || position >= m_pOffices->GetSize()) return;
    m_pHost->SelectOffice(position);
}

void CConfigDialog::OnNew() {
    COfficeDialog dialog(m_pHost->Spooler(), m_pHost->Prompts(), m_bInteractive ? this : nullptr);
    const int n = m_pOffices->GetSize();
    auto office = std::make_unique<COfficeNetwork>();
    office->m_strOfficeName = kNewOfficeName;
    office->m_strKeyName = MakeOfficeKeyName(m_pHost->Registry());
    dialog.SetOffice(office.get());
    dialog.UseCurrentNetwork(m_pCurrentNetwork, m_bInteractive);
    if (RunOfficeDialog(dialog) != IDOK) return;  // the new office goes with `office`

    COfficeNetwork& added = *office;
    m_pOffices->Append(std::move(office));
    InsertEntry(added, n);
    std::string error;
    // Saved under a key that no other office has, even one added meanwhile by another copy.
    if (!AddOffice(m_pHost->Registry(), added, &error)) {
        added.m_bUnsavedKey = true;
        ReportStoreFailure(
            tr("The office network \"%1\" could not be saved:\n%2\n\nIt is kept while Voldrane "
               "runs and is saved the next time you change it.")
                .arg(FromStd(added.m_strOfficeName), Reason(error)));
    }
    m_pHost->OfficesChanged();
    // The first office ever made is applied at once.
    if (m_pOffices->GetSize() == 1) m_pHost->SelectOffice(n);
}

void CConfigDialog::OnEdit() {
    const QListWidgetItem* selected = SelectedEntry();
    if (!selected) return;
    const int position = PositionOf(selected);
    if (position < 0 || position >= m_pOffices->GetSize()) return;
    COfficeNetwork& office = m_pOffices->ElementAt(position);

    const std::string listedName = office.m_strOfficeName;

    COfficeDialog dialog(m_pHost->Spooler(), m_pHost->Prompts(), this);
    dialog.SetOffice(&office);
    const int result = RunOfficeDialog(dialog);
    // Values applied before a Cancel stay in the record, unsaved until the next save.
    for (size_t i = 0; i < office.m_unsavedValues.size(); ++i)
        office.m_unsavedValues[i] = office.m_unsavedValues[i] || dialog.ChangedValues()[i];
    if (result != IDOK) return;

    std::string error;
    bool saved = false;
    bool gone = false;
    if (office.m_bUnsavedKey) {
        saved = AddOffice(m_pHost->Registry(), office, &error);
        if (saved) office.m_bUnsavedKey = false;
    } else {
        // Only what was changed here: another program's change to the other values stays,
        // and an office another program removed is not brought back.
        saved = UpdateOffice(m_pHost->Registry(), office, office.m_unsavedValues, gone, &error);
    }
    if (gone) {
        ReportStoreFailure(tr("The office network \"%1\" was removed by another program, so "
                              "the change was not saved.")
                               .arg(FromStd(listedName)));
        RemoveOffice(position);
        if (m_pOffices->IsEmpty()) m_pHost->ShowNoOffices();
        return;
    }
    if (saved) {
        office.m_unsavedValues = {};
        // The values another program changed meanwhile come in too, so that the office
        // applied below is the one stored.
        ReadOffice(m_pHost->Registry(), office);
    } else
        ReportStoreFailure(
            tr("The office network \"%1\" could not be saved:\n%2\n\nThe change is kept while "
               "Voldrane runs and is saved the next time you change this office.")
                .arg(FromStd(office.m_strOfficeName), Reason(error)));
    // A changed printer or name of the office in use takes effect at once.
    if (m_pHost->GetCurrentOffice() == position) m_pHost->SelectOffice(position);
    for (int row = 0; row < m_listOffices->count(); ++row)
        if (PositionOf(m_listOffices->item(row)) == position)
            SetEntryText(m_listOffices->item(row), FromStd(office.m_strOfficeName));
    m_pHost->OfficesChanged();
}

void CConfigDialog::OnDelete() {
    const bool yes = m_pHost->Prompts().AskYesNo(res::kAskDeleteOffice, PromptIcon::Exclamation);
    QListWidgetItem* item = yes ? SelectedEntry() : nullptr;
    const int p = item ? PositionOf(item) : -1;
    if (p >= 0 && p < m_pOffices->GetSize()) {
        const std::string keyName = m_pOffices->ElementAt(p).m_strKeyName;
        const QString name = FromStd(m_pOffices->ElementAt(p).m_strOfficeName);
        const bool stored = !m_pOffices->ElementAt(p).m_bUnsavedKey;
        RemoveOffice(p);
        std::string error;
        if (stored && !DeleteOfficeKey(m_pHost->Registry(), keyName, &error))
            ReportStoreFailure(tr("The office network \"%1\" could not be removed from the "
                                  "settings:\n%2\n\nIt is gone while Voldrane runs, but will be "
                                  "back at the next start.")
                                   .arg(name, Reason(error)));
    }
    if (m_pOffices->IsEmpty()) m_pHost->ShowNoOffices();
}

void CConfigDialog::RemoveOffice(int p) {
    for (int row = 0; row < m_listOffices->count(); ++row) {
        if (PositionOf(m_listOffices->item(row)) == p) {
            delete m_listOffices->takeItem(row);
            break;
        }
    }
    m_pOffices->RemoveAt(p);
    // Positions behind the removed office move up one place, wherever they are held.
    for (int row = 0; row < m_listOffices->count(); ++row) {
        QListWidgetItem* entry = m_listOffices->item(row);
        if (PositionOf(entry) > p) entry->setData(kPositionRole, PositionOf(entry) - 1);
    }
    const int current = m_pHost->GetCurrentOffice();
    if (current > p)
        m_pHost->SetCurrentOffice(current - 1);
    else if (current == p)
        m_pHost->SetCurrentOffice(-1);  // its icon and printer stay as they are
    m_pHost->OfficesChanged();
    // No other office becomes selected in its place: the next Delete needs a new choice.
    m_listOffices->clearSelection();
    OnItemChangedOffices();
}

void CConfigDialog::OnCloseButton() {
    // Only a box the user changed is stored: an untouched one leaves another program's change.
    std::string error;
    if (m_checkFollow->isChecked() != m_bStoredFollow &&
        !WriteFollowNetwork(m_pHost->Registry(), m_checkFollow->isChecked(), &error))
        ReportStoreFailure(tr("The setting \"Follow network changes\" could not be saved:\n%1")
                               .arg(Reason(error)));
    if (m_checkNotify->isChecked() != m_bStoredNotify &&
        !WriteNotify(m_pHost->Registry(), m_checkNotify->isChecked(), &error))
        ReportStoreFailure(tr("The setting \"Tell me when the printer changes\" could not be "
                              "saved:\n%1")
                               .arg(Reason(error)));
    // The switch left as it was shown while another program changed the stored setting: that
    // change stands, and the main frame takes it up when it reloads the settings.
    if (m_checkAutoDetect->isChecked() == m_bAutoDetectNetwork &&
        ReadAutoDetect(m_pHost->Registry()) != m_bStoredAutoDetect) {
        done(IDCANCEL);
        return;
    }
    m_bAutoDetectNetwork = m_checkAutoDetect->isChecked();
    m_pHost->SetAutoDetect(m_bAutoDetectNetwork);
    if (!WriteAutoDetect(m_pHost->Registry(), m_bAutoDetectNetwork, &error))
        ReportStoreFailure(tr("The setting \"Auto-detect Network\" could not be saved:\n%1\n\n"
                              "It applies while Voldrane runs.")
                               .arg(Reason(error)));
    done(IDCANCEL);
}

QCheckBox* CConfigDialog::MakeAutostartBox() {
    m_checkAutostart = new QCheckBox(tr("Start Voldrane when I &log in"), this);
    m_checkAutostart->setObjectName(QStringLiteral("autostart"));
    m_checkAutostart->setWhatsThis(
        tr("When checked, your desktop starts Voldrane each time you log in. Saved at once."));
    // Not an office setting, so not left for Close: the desktop reads it at the next login.
    connect(m_checkAutostart, &QCheckBox::clicked, this, [this](bool on) {
        std::string error;
        if (platform::SetAutostart(on, QCoreApplication::applicationFilePath().toStdString(),
                                   &error))
            return;
        m_checkAutostart->setChecked(!on);
        ReportStoreFailure(tr("Voldrane could not change whether it starts when you log in:\n%1")
                               .arg(Reason(error)));
    });
    return m_checkAutostart;
}

void CConfigDialog::OnHelp() {
    m_pHost->ShowHelp("config");
}

QListWidgetItem* CConfigDialog::SelectedEntry() const {
    const QList<QListWidgetItem*> selected = m_listOffices->selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

int CConfigDialog::PositionOf(const QListWidgetItem* item) {
    bool ok = false;
    const int position = item->data(kPositionRole).toInt(&ok);
    return ok ? position : -1;
}

QListWidgetItem* CConfigDialog::InsertEntry(const COfficeNetwork& office, int position) {
    const QString name = FromStd(office.m_strOfficeName);
    auto* item = new QListWidgetItem(OfficeNetworkIcon(), name);
    item->setFlags(item->flags() | Qt::ItemIsEditable);
    item->setData(kPositionRole, position);
    m_bSettingText = true;
    m_listOffices->insertItem(SortedRow(m_listOffices, name), item);
    m_bSettingText = false;
    return item;
}

void CConfigDialog::SetEntryText(QListWidgetItem* item, const QString& text) {
    m_bSettingText = true;
    item->setText(text);
    m_bSettingText = false;
}

int CConfigDialog::RunOfficeDialog(COfficeDialog& dialog) {
    dialog.SetHelpHandler([this](const std::string& page) { m_pHost->ShowHelp(page); });
    m_pOfficeDialog = &dialog;
    const int result = dialog.DoModal();
    m_pOfficeDialog = nullptr;
    return result;
}

void CConfigDialog::ReportStoreFailure(const QString& message) {
    m_pHost->Prompts().ShowMessage(message.toStdString(), PromptIcon::Exclamation);
}

}  // namespace voldrane::ui
