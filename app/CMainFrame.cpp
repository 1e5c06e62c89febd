#include "app/CMainFrame.h"

#include <QString>
#include <iostream>

#include "app/DisplayText.h"
#include "network/Detection.h"
#include "network/Matching.h"
#include "offices/OfficeStore.h"
#include "res/Resource.h"
#include "res/Strings.h"
#include "ui/Prompt.h"

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

}  // namespace

CMainFrame::CMainFrame(FrameServices services)
    : m_services(std::move(services)), m_trayIcon(m_services.area) {
    LoadOffices(m_services.registry, m_offices);
    m_currentNetwork = DetectNetworkSettings(m_services.network);
}

CMainFrame::~CMainFrame() = default;

int CMainFrame::OnCreate() {
    m_bAutoDetect = ReadAutoDetect(m_services.registry);

    if (!m_trayIcon.Create(this, "", res::IDI_OFFICE, res::kTrayIconId)) return -1;
    UpdateMenu();

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
    return 0;
}

void CMainFrame::AskToAddCurrentNetwork() {
    if (ui::Prompt().AskYesNo(nullptr, QString::fromUtf8(res::kAskAddCurrentNetwork),
                              ui::PromptIcon::Question))
        RunConfigDialog(true);
}

void CMainFrame::RunConfigDialog(bool bAddCurrentNetwork) {
    if (!m_services.makeConfigDialog) return;
    std::unique_ptr<IConfigDialog> dialog = m_services.makeConfigDialog();
    m_pConfigDialog = dialog.get();
    dialog->SetOfficeList(m_offices);
    dialog->SetCurrentNetwork(m_currentNetwork);
    dialog->Run(bAddCurrentNetwork, this);
    m_pConfigDialog = nullptr;
    // The dialog may have added, renamed or deleted offices.
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
    if (command == res::ID_NETWORK_AUTODETECT) {
        m_bAutoDetect = true;
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
