#include "ui/ConfigDialogPresenter.h"

#include <memory>

#include "offices/OfficeStore.h"
#include "platform/Autostart.h"
#include "res/Strings.h"
#include "ui/NameOrder.h"

namespace voldrane::ui {

namespace {

constexpr const char* kNewOfficeName = "New Office";

// The store's own words for a failure, for the message that reports it.
std::string Reason(const std::string& error) {
    return error.empty() ? "unknown error" : error;
}

std::string Quoted(const std::string& name) {
    return "\"" + name + "\"";
}

}  // namespace

ConfigDialogPresenter::ConfigDialogPresenter(IConfigHost& host, IConfigView& view)
    : m_host(host), m_view(view) {}

int ConfigDialogPresenter::Run(bool bAddCurrentNetwork) {
    if (!m_pOffices) m_pOffices = &m_host.Offices();
    if (!m_pCurrentNetwork) m_pCurrentNetwork = &m_host.CurrentNetwork();
    Init();
    if (!bAddCurrentNetwork) {
        m_bInteractive = true;
        m_view.RunModal();
        return IDCANCEL;  // Close, Escape and the close box all leave the same way
    }
    m_bInteractive = false;
    OnNew();
    return 0;
}

void ConfigDialogPresenter::Init() {
    m_view.ClearRows();
    m_rows.clear();
    for (int i = 0; i < m_pOffices->GetSize(); ++i) InsertEntry(m_pOffices->ElementAt(i), i);
    m_bAutoDetectShown = m_host.GetAutoDetect();
    m_bStoredAutoDetect = ReadAutoDetect(m_host.Registry());
    m_bStoredFollow = ReadFollowNetwork(m_host.Registry());
    m_bStoredNotify = ReadNotify(m_host.Registry());
    m_view.ShowSwitches({m_bAutoDetectShown, m_bStoredFollow, m_bStoredNotify});
    m_view.ClearSelection();
    OnSelectionChanged();
    m_view.ShowAutostart(platform::AutostartEnabled());
}

void ConfigDialogPresenter::OnSelectionChanged() {
    // The switches are left alone: a change the user has not yet stored with Close stays.
    m_view.EnableOfficeButtons(m_view.SelectedRow() >= 0);
}

int ConfigDialogPresenter::SelectedPosition() const {
    const int row = m_view.SelectedRow();
    if (row < 0 || row >= static_cast<int>(m_rows.size())) return -1;
    const int position = m_rows[static_cast<size_t>(row)].position;
    return position < m_pOffices->GetSize() ? position : -1;
}

void ConfigDialogPresenter::OnRowTextEdited(int row) {
    if (row < 0 || row >= static_cast<int>(m_rows.size())) return;
    Row& entry = m_rows[static_cast<size_t>(row)];
    if (entry.position >= m_pOffices->GetSize()) return;
    entry.text = m_pOffices->ElementAt(entry.position).m_strOfficeName;
    m_view.SetRowText(row, entry.text);
}

void ConfigDialogPresenter::OnSelect() {
    const int position = SelectedPosition();
    if (position >= 0) m_host.SelectOffice(position);
}

void ConfigDialogPresenter::OnNew() {
    OfficeDialogPresenter dialog(m_host.Spooler(), m_host.Prompts());
    const int n = m_pOffices->GetSize();
    auto office = std::make_unique<COfficeNetwork>();
    office->m_strOfficeName = kNewOfficeName;
    office->m_strKeyName = MakeOfficeKeyName(m_host.Registry());
    dialog.SetOffice(office.get());
    dialog.UseCurrentNetwork(m_pCurrentNetwork, m_bInteractive);
    if (!RunOfficeDialog(dialog)) return;  // the new office goes with `office`

    COfficeNetwork& added = *office;
    m_pOffices->Append(std::move(office));
    InsertEntry(added, n);
    std::string error;
    // Saved under a key that no other office has, even one added meanwhile by another copy.
    if (!AddOffice(m_host.Registry(), added, &error)) {
        added.m_bUnsavedKey = true;
        ReportStoreFailure("The office network " + Quoted(added.m_strOfficeName) +
                           " could not be saved:\n" + Reason(error) +
                           "\n\nIt is kept while Voldrane runs and is saved the next time you "
                           "change it.");
    }
    m_host.OfficesChanged();
    // The first office ever made is applied at once.
    if (m_pOffices->GetSize() == 1) m_host.SelectOffice(n);
}

void ConfigDialogPresenter::OnEdit() {
    const int position = SelectedPosition();
    if (position < 0) return;
    COfficeNetwork& office = m_pOffices->ElementAt(position);
    const std::string listedName = office.m_strOfficeName;

    OfficeDialogPresenter dialog(m_host.Spooler(), m_host.Prompts());
    dialog.SetOffice(&office);
    const bool ok = RunOfficeDialog(dialog);
    // Values applied before a Cancel stay in the record, unsaved until the next save.
    for (size_t i = 0; i < office.m_unsavedValues.size(); ++i)
        office.m_unsavedValues[i] = office.m_unsavedValues[i] || dialog.ChangedValues()[i];
    if (!ok) return;

    std::string error;
    bool saved = false;
    bool gone = false;
    if (office.m_bUnsavedKey) {
        saved = AddOffice(m_host.Registry(), office, &error);
        if (saved) office.m_bUnsavedKey = false;
    } else {
        // Only what was changed here: another program's change to the other values stays,
        // and an office another program removed is not brought back.
        saved = UpdateOffice(m_host.Registry(), office, office.m_unsavedValues, gone, &error);
    }
    if (gone) {
        ReportStoreFailure("The office network " + Quoted(listedName) +
                           " was removed by another program, so the change was not saved.");
        RemoveOffice(position);
        if (m_pOffices->IsEmpty()) m_host.ShowNoOffices();
        return;
    }
    if (saved) {
        office.m_unsavedValues = {};
        // The values another program changed meanwhile come in too, so that the office
        // applied below is the one stored.
        ReadOffice(m_host.Registry(), office);
    } else {
        ReportStoreFailure("The office network " + Quoted(office.m_strOfficeName) +
                           " could not be saved:\n" + Reason(error) +
                           "\n\nThe change is kept while Voldrane runs and is saved the next "
                           "time you change this office.");
    }
    // A changed printer or name of the office in use takes effect at once.
    if (m_host.GetCurrentOffice() == position) m_host.SelectOffice(position);
    for (size_t row = 0; row < m_rows.size(); ++row) {
        if (m_rows[row].position != position) continue;
        m_rows[row].text = office.m_strOfficeName;
        m_view.SetRowText(static_cast<int>(row), office.m_strOfficeName);
    }
    m_host.OfficesChanged();
}

void ConfigDialogPresenter::OnDelete() {
    const bool yes = m_host.Prompts().AskYesNo(res::kAskDeleteOffice, PromptIcon::Exclamation);
    const int p = yes ? SelectedPosition() : -1;
    if (p >= 0) {
        const std::string keyName = m_pOffices->ElementAt(p).m_strKeyName;
        const std::string name = m_pOffices->ElementAt(p).m_strOfficeName;
        const bool stored = !m_pOffices->ElementAt(p).m_bUnsavedKey;
        RemoveOffice(p);
        std::string error;
        if (stored && !DeleteOfficeKey(m_host.Registry(), keyName, &error))
            ReportStoreFailure("The office network " + Quoted(name) +
                               " could not be removed from the settings:\n" + Reason(error) +
                               "\n\nIt is gone while Voldrane runs, but will be back at the "
                               "next start.");
    }
    if (m_pOffices->IsEmpty()) m_host.ShowNoOffices();
}

void ConfigDialogPresenter::RemoveOffice(int p) {
    m_pOffices->RemoveAt(p);
    for (size_t row = 0; row < m_rows.size(); ++row) {
        if (m_rows[row].position == p) {
            m_rows.erase(m_rows.begin() + static_cast<std::ptrdiff_t>(row));
            m_view.RemoveRow(static_cast<int>(row));
            break;
        }
    }
    // Positions behind the removed office move up one place, wherever they are held.
    for (Row& entry : m_rows)
        if (entry.position > p) --entry.position;
    const int current = m_host.GetCurrentOffice();
    if (current > p)
        m_host.SetCurrentOffice(current - 1);
    else if (current == p)
        m_host.SetCurrentOffice(-1);  // its icon and printer stay as they are
    m_host.OfficesChanged();
    // No other office becomes selected in its place: the next Delete needs a new choice.
    m_view.ClearSelection();
    OnSelectionChanged();
}

void ConfigDialogPresenter::OnClose(const ConfigSwitches& shown) {
    // Only a switch the user changed is stored: an untouched one leaves another program's
    // change.
    std::string error;
    if (shown.followNetwork != m_bStoredFollow &&
        !WriteFollowNetwork(m_host.Registry(), shown.followNetwork, &error))
        ReportStoreFailure("The setting \"Follow network changes\" could not be saved:\n" +
                           Reason(error));
    if (shown.notify != m_bStoredNotify && !WriteNotify(m_host.Registry(), shown.notify, &error))
        ReportStoreFailure(
            "The setting \"Tell me when the printer changes\" could not be saved:\n" +
            Reason(error));
    // The switch left as it was shown while another program changed the stored setting: that
    // change stands, and the main frame takes it up when it reloads the settings.
    if (shown.autoDetect == m_bAutoDetectShown &&
        ReadAutoDetect(m_host.Registry()) != m_bStoredAutoDetect) {
        m_view.EndDialog();
        return;
    }
    m_bAutoDetectShown = shown.autoDetect;
    m_host.SetAutoDetect(shown.autoDetect);
    if (!WriteAutoDetect(m_host.Registry(), shown.autoDetect, &error))
        ReportStoreFailure("The setting \"Auto-detect Network\" could not be saved:\n" +
                           Reason(error) + "\n\nIt applies while Voldrane runs.");
    m_view.EndDialog();
}

void ConfigDialogPresenter::OnHelp() {
    m_host.ShowHelp("config");
}

void ConfigDialogPresenter::OnAutostartClicked(bool on, const std::string& program) {
    // Not an office setting, so not left for Close: the desktop reads it at the next login.
    std::string error;
    if (platform::SetAutostart(on, program, &error)) return;
    m_view.ShowAutostart(!on);
    ReportStoreFailure("Voldrane could not change whether it starts when you log in:\n" +
                       Reason(error));
}

void ConfigDialogPresenter::InsertEntry(const COfficeNetwork& office, int position) {
    std::vector<std::string> texts;
    texts.reserve(m_rows.size());
    for (const Row& entry : m_rows) texts.push_back(entry.text);
    const int row = SortedRow(texts, office.m_strOfficeName);
    m_rows.insert(m_rows.begin() + row, Row{position, office.m_strOfficeName});
    m_view.InsertRow(row, office.m_strOfficeName);
}

bool ConfigDialogPresenter::RunOfficeDialog(OfficeDialogPresenter& dialog) {
    dialog.SetHelpHandler([this](const std::string& page) { m_host.ShowHelp(page); });
    return m_view.RunOfficeDialog(dialog, m_bInteractive);
}

void ConfigDialogPresenter::ReportStoreFailure(const std::string& message) {
    m_host.Prompts().ShowMessage(message, PromptIcon::Exclamation);
}

}  // namespace voldrane::ui
