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

#include "ui/qt/COfficeDialog.h"
#include "ui/qt/DialogSupport.h"

namespace voldrane::ui {

namespace {

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
        new DoubleClickFilter(this, [this] { m_presenter->OnEdit(); }));

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

    m_checkAutoDetect = MakeCheckBox(
        tr("A&uto-detect Network"), "autoDetect",
        tr("When checked, Voldrane recognises the office from the network each time it "
           "starts. Saved when you press Close."));
    m_checkFollow = MakeCheckBox(
        tr("&Follow network changes"), "followNetwork",
        tr("When checked together with Auto-detect Network, Voldrane recognises the office "
           "again whenever the network changes, for example after waking up somewhere else. "
           "Saved when you press Close."));
    m_checkNotify = MakeCheckBox(
        tr("&Tell me when the printer changes"), "notify",
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
    // Made last, so that it comes last in the focus chain too.
    m_checkAutostart = MakeCheckBox(
        tr("Start Voldrane when I &log in"), "autostart",
        tr("When checked, your desktop starts Voldrane each time you log in. Saved at once."));
    layout->addWidget(m_checkAutostart);
    resize(420, 300);

    // Enter in the list does not press a button; only a button with the focus answers it.
    for (QPushButton* b : {m_btnSelect, m_btnNew, m_btnEdit, m_btnDelete, m_btnClose, m_btnHelp})
        b->setDefault(false);

    // The presenter exists from Run on, when the window can first be used.
    connect(m_btnSelect, &QPushButton::clicked, this, [this] { m_presenter->OnSelect(); });
    connect(m_btnNew, &QPushButton::clicked, this, [this] { m_presenter->OnNew(); });
    connect(m_btnEdit, &QPushButton::clicked, this, [this] { m_presenter->OnEdit(); });
    connect(m_btnDelete, &QPushButton::clicked, this, [this] { m_presenter->OnDelete(); });
    connect(m_btnClose, &QPushButton::clicked, this, [this] {
        m_presenter->OnClose({m_checkAutoDetect->isChecked(), m_checkFollow->isChecked(),
                              m_checkNotify->isChecked()});
    });
    connect(m_btnHelp, &QPushButton::clicked, this, [this] { m_presenter->OnHelp(); });
    connect(m_listOffices, &QListWidget::itemSelectionChanged, this,
            [this] { m_presenter->OnSelectionChanged(); });
    connect(m_listOffices, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        if (!m_bSettingText) m_presenter->OnRowTextEdited(m_listOffices->row(item));
    });
    connect(m_checkAutostart, &QCheckBox::clicked, this, [this](bool on) {
        m_presenter->OnAutostartClicked(on, QCoreApplication::applicationFilePath().toStdString());
    });
    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(help, &QShortcut::activated, this, [this] { m_presenter->OnHelp(); });
}

CConfigDialog::~CConfigDialog() {
    // The presenter goes before the list: the list's last signals must not reach it.
    disconnect(m_listOffices, nullptr, this, nullptr);
}

int CConfigDialog::Run(bool bAddCurrentNetwork, IConfigHost* host) {
    IConfigView& view = *this;
    m_presenter = std::make_unique<ConfigDialogPresenter>(*host, view);
    m_presenter->SetOfficeList(m_pOffices);
    m_presenter->SetCurrentNetwork(m_pCurrentNetwork);
    return m_presenter->Run(bAddCurrentNetwork);
}

void CConfigDialog::BringToTop() {
    QWidget* top = m_pOfficeDialog ? static_cast<QWidget*>(m_pOfficeDialog.data()) : this;
    if (!top->isVisible()) return;
    top->raise();
    top->activateWindow();
}

QCheckBox* CConfigDialog::MakeCheckBox(const QString& text, const char* name, const QString& help) {
    auto* box = new QCheckBox(text, this);
    box->setObjectName(QString::fromLatin1(name));
    box->setWhatsThis(help);
    return box;
}

void CConfigDialog::ClearRows() {
    m_listOffices->clear();
}

void CConfigDialog::InsertRow(int row, const std::string& name) {
    auto* item = new QListWidgetItem(OfficeNetworkIcon(), QString::fromStdString(name));
    item->setFlags(item->flags() | Qt::ItemIsEditable);
    m_bSettingText = true;
    m_listOffices->insertItem(row, item);
    m_bSettingText = false;
}

void CConfigDialog::SetRowText(int row, const std::string& name) {
    m_bSettingText = true;
    m_listOffices->item(row)->setText(QString::fromStdString(name));
    m_bSettingText = false;
}

void CConfigDialog::RemoveRow(int row) {
    delete m_listOffices->takeItem(row);
}

int CConfigDialog::SelectedRow() const {
    const QList<QListWidgetItem*> selected = m_listOffices->selectedItems();
    return selected.isEmpty() ? -1 : m_listOffices->row(selected.first());
}

void CConfigDialog::ClearSelection() {
    m_listOffices->clearSelection();
}

void CConfigDialog::EnableOfficeButtons(bool enabled) {
    for (QPushButton* b : {m_btnEdit, m_btnSelect, m_btnDelete}) b->setEnabled(enabled);
}

void CConfigDialog::ShowSwitches(const ConfigSwitches& switches) {
    m_checkAutoDetect->setChecked(switches.autoDetect);
    m_checkFollow->setChecked(switches.followNetwork);
    m_checkNotify->setChecked(switches.notify);
}

void CConfigDialog::ShowAutostart(bool on) {
    m_checkAutostart->setChecked(on);
}

void CConfigDialog::RunModal() {
    exec();
}

void CConfigDialog::EndDialog() {
    done(IDCANCEL);
}

bool CConfigDialog::RunOfficeDialog(OfficeDialogPresenter& office, bool aboveWindow) {
    COfficeDialog dialog(office, aboveWindow ? this : nullptr);
    m_pOfficeDialog = &dialog;
    const int result = dialog.DoModal();
    m_pOfficeDialog = nullptr;
    return result == IDOK;
}

}  // namespace voldrane::ui
