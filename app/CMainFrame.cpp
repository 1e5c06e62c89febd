#include "app/CMainFrame.h"

#include <algorithm>
#include <iostream>

#include "app/DisplayText.h"
#include "network/Detection.h"
#include "network/Matching.h"
#include "offices/OfficeLookup.h"
#include "offices/OfficeStore.h"
#include "res/Resource.h"
#include "res/Strings.h"

namespace voldrane {

using platform::MenuEntry;
using platform::NotifyEvent;

namespace {

// Long enough for any real office name, short enough that the menu stays on the screen.
constexpr size_t kMenuTextMax = 64;

MenuEntry Command(const std::string& text, int command) {
    MenuEntry e;
    e.text = text;
    e.command = command;
    return e;
}

MenuEntry Separator() {
    MenuEntry e;
    e.kind = MenuEntry::Separator;
    return e;
}

// Without an event loop's timer nothing ever settles.
class NeverSettles final : public ISettleTimer {
  public:
    int64_t NowMs() const override { return 0; }
    void Start(int) override {}
};

}  // namespace

CMainFrame::CMainFrame(FrameServices services)
    : m_services(std::move(services)),
      m_trayIcon(m_services.area),
      m_followTimer(m_services.makeSettleTimer
                        ? m_services.makeSettleTimer([this] { OnFollowTimer(); })
                        : std::make_unique<NeverSettles>()),
      m_follower(*this, *m_followTimer) {
    LoadOffices(m_services.registry, m_offices);
}

CMainFrame::~CMainFrame() = default;

int CMainFrame::OnCreate() {
    if (CreateIcon() != 0) return -1;
    ApplyAtStart();
    return 0;
}

int CMainFrame::CreateIcon() {
    m_bAutoDetect = ReadAutoDetect(m_services.registry);
    m_bStoredAutoDetect = m_bAutoDetect;
    m_bFollowNetwork = ReadFollowNetwork(m_services.registry);
    m_bNotify = ReadNotify(m_services.registry);

    if (!m_trayIcon.Create(this, "", res::IDI_OFFICE, res::kTrayIconId)) return -1;
    UpdateMenu();
    return 0;
}

void CMainFrame::ApplyAtStart() {
    // Read once the icon is up: the user sees the program at once, and the network's library
    // need not load before it.
    m_currentNetwork = DetectNetworkSettings(m_services.network);
    if (m_offices.GetSize() == 0) {
        ShowNoOffices();
        AskToAddCurrentNetwork();
    } else if (m_bAutoDetect) {
        m_nCurrentOffice = FindMatchingOffice();
        if (m_nCurrentOffice >= 0) {
            SelectOffice(m_nCurrentOffice);
        } else {
            ShowNotRecognised();
            UpdateMenu();
            AskToAddCurrentNetwork();
        }
    } else {
        // Key names are compared exactly here, unlike the store's own key lookups.
        const std::string wanted = ReadDefaultOffice(m_services.registry);
        int position = 0;
        for (int p = 0; p < m_offices.GetSize(); ++p) {
            if (m_offices.ElementAt(p).m_strKeyName == wanted) {
                position = p;
                break;
            }
        }
        m_nCurrentOffice = position;
        SelectOffice(position);
    }
}

void CMainFrame::AskToAddCurrentNetwork() {
    if (m_services.prompts.AskYesNo(res::kAskAddCurrentNetwork, ui::PromptIcon::Question))
        RunConfigDialog(true);
}

void CMainFrame::RunConfigDialog(bool bAddCurrentNetwork) {
    if (!m_services.makeConfigDialog) return;
    // The dialog opens on the settings as they are now, also when the watch's call for a
    // change made a moment ago has not come yet.
    if (m_bReloadPending || (m_settingsWatch && m_settingsWatch->Pending())) ReloadOffices();
    std::unique_ptr<IConfigDialog> dialog = m_services.makeConfigDialog();
    m_pConfigDialog = dialog.get();
    // "New" from the current network means the network as it is now, not as it was at start.
    m_currentNetwork = DetectNetworkSettings(m_services.network);
    dialog->SetOfficeList(m_offices);
    dialog->SetCurrentNetwork(m_currentNetwork);
    dialog->Run(bAddCurrentNetwork, this);
    m_pConfigDialog = nullptr;
    // The dialog may have added, renamed or deleted offices.
    UpdateMenu();
    if (m_bReloadPending) ReloadOffices();
    if (m_bFollowPending) OnFollowTimer();
}

void CMainFrame::WatchSettings(std::unique_ptr<platform::IFileWatch> watch) {
    m_settingsWatch = std::move(watch);
}

void CMainFrame::OnSettingsChanged() {
    if (m_pConfigDialog)
        m_bReloadPending = true;
    else
        ReloadOffices();
}

namespace {

bool SameOffices(const COfficeList& a, const COfficeList& b) {
    if (a.GetSize() != b.GetSize()) return false;
    for (int p = 0; p < a.GetSize(); ++p) {
        const COfficeNetwork &x = a.ElementAt(p), &y = b.ElementAt(p);
        if (x.m_strKeyName != y.m_strKeyName || x.m_strOfficeName != y.m_strOfficeName ||
            !(x.m_network == y.m_network) || x.m_strDefaultPrinter != y.m_strDefaultPrinter ||
            x.m_unsavedValues != y.m_unsavedValues || x.m_bUnsavedKey != y.m_bUnsavedKey)
            return false;
    }
    return true;
}

}  // namespace

void CMainFrame::ReloadOffices() {
    m_bReloadPending = false;
    COfficeList fresh;
    LoadOffices(m_services.registry, fresh);
    // A file that cannot be read now (being replaced by hand, a folder gone) is no reason to
    // forget the offices: they come back with the next change that can be read.
    if (!m_services.registry.Store().ReadError().empty()) return;

    // What this program changed but could not store is kept over the store's values.
    for (int p = 0; p < m_offices.GetSize(); ++p) {
        const COfficeNetwork& mine = m_offices.ElementAt(p);
        const bool unsaved = std::find(mine.m_unsavedValues.begin(), mine.m_unsavedValues.end(),
                                       true) != mine.m_unsavedValues.end();
        if (mine.m_bUnsavedKey) {
            fresh.Append(std::make_unique<COfficeNetwork>(mine));
            continue;
        }
        const int q = unsaved ? FindOfficeByKey(fresh, mine.m_strKeyName) : -1;
        if (q < 0) continue;  // nothing unsaved, or removed by another program meanwhile
        COfficeNetwork copy = mine;
        COfficeNetwork& theirs = fresh.ElementAt(q);
        for (int i = 0; i < 9; ++i)
            if (mine.m_unsavedValues[static_cast<size_t>(i)])
                OfficeValue(theirs, i) = OfficeValue(copy, i);
        theirs.m_unsavedValues = mine.m_unsavedValues;
    }

    m_bFollowNetwork = ReadFollowNetwork(m_services.registry);
    m_bNotify = ReadNotify(m_services.registry);
    // "Auto Detect" changed in the store: by another program, or by the dialog's Close.
    const bool storedAutoDetect = ReadAutoDetect(m_services.registry);
    const bool autoDetectChanged = storedAutoDetect != m_bStoredAutoDetect;
    m_bStoredAutoDetect = storedAutoDetect;
    if (autoDetectChanged) m_bAutoDetect = storedAutoDetect;
    // This program's own writes come back here too; they change nothing.
    if (!autoDetectChanged && SameOffices(fresh, m_offices)) return;

    const bool hadOffices = !m_offices.IsEmpty();
    std::string appliedKey, appliedName;
    if (m_nCurrentOffice >= 0 && m_nCurrentOffice < m_offices.GetSize()) {
        appliedKey = m_offices.ElementAt(m_nCurrentOffice).m_strKeyName;
        appliedName = m_offices.ElementAt(m_nCurrentOffice).m_strOfficeName;
    }
    m_offices = std::move(fresh);
    m_nCurrentOffice = appliedKey.empty() ? -1 : FindOfficeByKey(m_offices, appliedKey);

    if (m_offices.IsEmpty()) {
        if (hadOffices) ShowNoOffices();
    } else if (m_nCurrentOffice >= 0) {
        // Renamed: the tooltip follows. A changed printer is not set by a reload; the next
        // choice of the office sets it.
        const COfficeNetwork& applied = m_offices.ElementAt(m_nCurrentOffice);
        if (applied.m_strOfficeName != appliedName) ShowAppliedOffice(applied);
    } else if (!appliedKey.empty()) {
        // Its printer stays the default; no other office is applied in its place.
        m_trayIcon.SetIcon(res::IDI_NO_OFFICE);
        m_trayIcon.SetTip(res::kAppliedOfficeRemoved);
        m_trayIcon.Show();
    } else if (!hadOffices) {
        ShowNotRecognised();  // "No Office Networks Specified" is no longer true
    }
    UpdateMenu();
}

void CMainFrame::WatchNetwork(std::unique_ptr<platform::INetworkWatch> watch) {
    m_networkWatch = std::move(watch);
}

void CMainFrame::OnFollowTimer() {
    // Positions must stay valid under the open dialog: follow once it has closed.
    m_bFollowPending = m_pConfigDialog != nullptr;
    if (!m_bFollowPending) m_follower.Settled();
}

int CMainFrame::MatchNetworkNow() {
    m_currentNetwork = DetectNetworkSettings(m_services.network);
    if (m_undoneNetwork) {
        if (*m_undoneNetwork == m_currentNetwork) return m_nCurrentOffice;
        m_undoneNetwork.reset();
    }
    return FindMatchingOffice();
}

void CMainFrame::ApplyFollowedOffice(int position) {
    const bool notify = m_bNotify && m_services.notices;
    std::string previousKey;
    std::optional<std::string> previousPrinter;
    if (notify) {
        if (m_nCurrentOffice >= 0 && m_nCurrentOffice < m_offices.GetSize())
            previousKey = m_offices.ElementAt(m_nCurrentOffice).m_strKeyName;
        previousPrinter = m_services.spooler.GetDefaultPrinter();
    }
    SelectOffice(position);
    if (!notify) return;
    const COfficeNetwork& office = m_offices.ElementAt(position);
    const std::string followedKey = office.m_strKeyName;
    m_services.notices->Show(
        DisplayText(office.m_strOfficeName) + ": " + DisplayText(office.m_strDefaultPrinter) +
            " is now your default printer",
        [this, followedKey, previousKey, previousPrinter](platform::IDesktopNotices::Action a) {
            if (a == platform::IDesktopNotices::Action::Settings)
                OnConfigureNetworks();
            else
                UndoFollow(followedKey, previousKey, previousPrinter);
        });
}

void CMainFrame::UndoFollow(const std::string& followedKey, const std::string& previousKey,
                            const std::optional<std::string>& previousPrinter) {
    // Only while that switch still stands: not over a later one, nor over the user's choice,
    // and not under the open dialog.
    if (m_pConfigDialog || !m_bAutoDetect || m_nCurrentOffice < 0 ||
        m_nCurrentOffice != FindOfficeByKey(m_offices, followedKey))
        return;
    std::string error;
    if (previousPrinter && !m_services.spooler.SetDefaultPrinter(*previousPrinter, &error))
        std::cerr << "voldrane: the default printer was not put back: " << error << '\n';
    m_nCurrentOffice = previousKey.empty() ? -1 : FindOfficeByKey(m_offices, previousKey);
    if (m_nCurrentOffice >= 0)
        ShowAppliedOffice(m_offices.ElementAt(m_nCurrentOffice));
    else
        ShowNotRecognised();
    m_undoneNetwork = m_currentNetwork;
    UpdateMenu();
}

void CMainFrame::ShowFollowedNoMatch() {
    m_nCurrentOffice = -1;
    ShowNotRecognised();
    UpdateMenu();
}

void CMainFrame::OnConfigureNetworks() {
    if (m_pConfigDialog) {
        m_pConfigDialog->BringWindowToTop();
        return;
    }
    RunConfigDialog(false);
}

void CMainFrame::OnUseNetwork(int command) {
    m_undoneNetwork.reset();  // the user's own choice replaces an undone switch
    if (command == res::ID_NETWORK_AUTODETECT) {
        m_bAutoDetect = true;
        // The machine may have moved since start: match the network as it is now.
        m_currentNetwork = DetectNetworkSettings(m_services.network);
        m_nCurrentOffice = FindMatchingOffice();
        if (m_nCurrentOffice >= 0)
            SelectOffice(m_nCurrentOffice);
        else
            ShowNotRecognised();
    } else {
        const int position = command - res::ID_NETWORK_FIRST;
        // The menu only offers offices that exist, but the list may have changed since it
        // was shown.
        if (position < 0 || position >= m_offices.GetSize()) return;
        m_bAutoDetect = false;
        SelectOffice(position);
    }
    UpdateMenu();
}

long CMainFrame::OnTrayNotify(uint32_t id, NotifyEvent event) {
    if (event == NotifyEvent::ContextMenu && id == res::kTrayIconId) {
        // The tray shows the menu itself; make sure it is the current one.
        UpdateMenu();
        return 1;
    }
    return m_trayIcon.HandleMessage(id, event);
}

void CMainFrame::OnNotify(uint32_t iconId, NotifyEvent event) {
    OnTrayNotify(iconId, event);
}

void CMainFrame::OnMenuCommand(int command) {
    if (command == res::ID_CONFIGURE_NETWORKS) {
        OnConfigureNetworks();
    } else if (command >= res::ID_NETWORK_AUTODETECT && command <= res::ID_NETWORK_LAST) {
        OnUseNetwork(command);
    } else if (command == res::ID_HELP_FINDER) {
        ShowHelp("");
    } else if (command == res::ID_APP_ABOUT) {
        if (m_services.showAbout) m_services.showAbout();
    } else if (command == res::ID_APP_EXIT) {
        if (m_services.exit) m_services.exit();
    }
    // Offices from position 100 on have no handler: their entries are disabled.
}

std::string CMainFrame::MenuText(const std::string& name) {
    // Counted in characters of what is shown: a byte that is not UTF-8 shows as one.
    const std::string shown = DisplayText(name);
    std::string text;
    size_t kept = 0;
    for (size_t i = 0; i < shown.size();) {
        const size_t n = Utf8CharLength(shown, i);
        if (kept == kMenuTextMax) {
            text += "...";
            break;
        }
        ++kept;
        if (shown[i] == '&')
            text += "&&";
        else
            text.append(shown, i, n);
        i += n;
    }
    return text;
}

void CMainFrame::FillNetworkMenu(MenuEntry& submenu) const {
    const int count = m_offices.GetSize();
    submenu.children.reserve(submenu.children.size() + static_cast<size_t>(count));
    for (int p = 0; p < count; ++p) {
        MenuEntry e =
            Command(MenuText(m_offices.ElementAt(p).m_strOfficeName), res::ID_NETWORK_FIRST + p);
        e.checked = p == m_nCurrentOffice && !m_bAutoDetect;
        e.enabled = res::ID_NETWORK_FIRST + p <= res::ID_NETWORK_LAST;
        submenu.children.push_back(std::move(e));
    }
}

std::vector<MenuEntry> CMainFrame::BuildTrayMenu() const {
    std::vector<MenuEntry> menu;
    MenuEntry configure = Command(res::kMenuConfigureNetworks, res::ID_CONFIGURE_NETWORKS);
    configure.isDefault = true;
    menu.push_back(configure);

    MenuEntry useNetwork;
    useNetwork.kind = MenuEntry::Submenu;
    useNetwork.text = res::kMenuUseNetwork;
    MenuEntry autoDetect = Command(res::kMenuAutoDetect, res::ID_NETWORK_AUTODETECT);
    autoDetect.checked = m_bAutoDetect;
    useNetwork.children.push_back(autoDetect);
    FillNetworkMenu(useNetwork);
    menu.push_back(std::move(useNetwork));

    menu.push_back(Separator());
    menu.push_back(Command(res::kMenuHelp, res::ID_HELP_FINDER));
    menu.push_back(Command(res::kMenuAbout, res::ID_APP_ABOUT));
    menu.push_back(Separator());
    menu.push_back(Command(res::kMenuExit, res::ID_APP_EXIT));
    return menu;
}

void CMainFrame::UpdateMenu() {
    m_trayIcon.SetMenu(BuildTrayMenu());
}

int CMainFrame::FindMatchingOffice() {
    return voldrane::FindMatchingOffice(m_offices, m_currentNetwork,
                                        m_services.out ? *m_services.out : std::cout);
}

void CMainFrame::SelectOffice(int position) {
    const SelectionOutcome outcome =
        voldrane::SelectOffice(m_offices, position, m_services.spooler, this, m_nCurrentOffice);
    // The office counts as applied either way; the reason only goes to the log.
    if (!outcome.printerSet)
        std::cerr << "voldrane: the default printer was not changed: " << outcome.error << '\n';
    UpdateMenu();
}

void CMainFrame::ShowAppliedOffice(const COfficeNetwork& office) {
    m_trayIcon.SetIcon(res::IDI_OFFICE);
    m_trayIcon.SetTip(office.m_strOfficeName);
    m_trayIcon.Show();
}

void CMainFrame::ShowNotRecognised() {
    m_trayIcon.SetIcon(res::IDI_NO_OFFICE);
    m_trayIcon.SetTip(res::kCannotDetermineOffice);
    m_trayIcon.Show();
}

void CMainFrame::ShowNoOffices() {
    m_trayIcon.SetIcon(res::IDI_NO_OFFICE);
    m_trayIcon.SetTip(res::kNoOfficeNetworks);
    m_trayIcon.Show();
}

void CMainFrame::SetCurrentOffice(int position) {
    m_nCurrentOffice = position;
    UpdateMenu();
}

void CMainFrame::SetAutoDetect(bool on) {
    m_bAutoDetect = on;
    UpdateMenu();
}

void CMainFrame::ShowHelp(const std::string& page) {
    if (m_services.showHelp) m_services.showHelp(page);
}

}  // namespace voldrane
