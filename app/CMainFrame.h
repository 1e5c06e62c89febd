#pragma once

#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/CTrayIcon.h"
#include "app/ConfigDialogPlug.h"
#include "network/NetworkFollower.h"
#include "network/OfficeSelection.h"
#include "offices/CNetworkSettings.h"
#include "offices/COfficeNetwork.h"
#include "offices/CRegistry.h"
#include "platform/DesktopNotices.h"
#include "platform/FileWatch.h"
#include "platform/NetworkSource.h"
#include "platform/NetworkWatch.h"
#include "platform/NotificationArea.h"
#include "platform/Spooler.h"
#include "ui/ConfigHost.h"
#include "ui/UserPrompts.h"

namespace voldrane {

// What the frame reaches outside itself. The toolkit's shell passes the real services; tests
// pass a recording notification area, a settings file in a temp folder, scripted answers and
// hooks of their own.
struct FrameServices {
    platform::INotificationArea& area;
    CRegistry& registry;
    platform::ISpooler& spooler;
    platform::INetworkSource& network;
    ui::IUserPrompts& prompts;                         // the questions and messages
    ConfigDialogFactory makeConfigDialog;              // empty: "Configure Networks" does nothing
    std::function<void()> showAbout;                   // "About..."
    std::function<void(const std::string&)> showHelp;  // the manual at a page ("" contents)
    std::function<void()> exit;                        // "Exit": end the event loop
    std::ostream* out = nullptr;                       // the matcher's line; nullptr: stdout
    // The settle timer for following the network, calling `expired` (the toolkit's event loop
    // runs it); empty: a timer that never expires, so the network is not followed.
    std::function<std::unique_ptr<ISettleTimer>(std::function<void()> expired)> makeSettleTimer;
    // Where a switch made by following the network is told, with Undo; null: not told.
    std::unique_ptr<platform::IDesktopNotices> notices;
};

// The program's hidden hub: owns the offices, the network read at start and the tray icon,
// decides at start which office to apply, keeps the tray menu current and carries out its
// commands.
class CMainFrame final : public platform::INotificationOwner,
                         public ui::IConfigHost,
                         private ISelectionDisplay,
                         private IFollowTarget {
  public:
    // Loads the offices; no icon yet, and the network is not read yet.
    explicit CMainFrame(FrameServices services);
    ~CMainFrame() override;
    CMainFrame(const CMainFrame&) = delete;
    CMainFrame& operator=(const CMainFrame&) = delete;

    // Adds the tray icon and applies an office, or asks to add the current network. -1 when
    // the icon cannot be added: the program cannot run without it.
    int OnCreate();
    // OnCreate in its two steps, for a start-up that does other work in between: the icon
    // (-1 when it cannot be added), then the network read and the office applied or asked for.
    int CreateIcon();
    void ApplyAtStart();

    void OnConfigureNetworks();
    void OnUseNetwork(int command);
    long OnTrayNotify(uint32_t id, platform::NotifyEvent event);
    // Appends one entry per office to the "Use Network" submenu.
    void FillNetworkMenu(platform::MenuEntry& submenu) const;
    // The whole tray menu as it stands now.
    std::vector<platform::MenuEntry> BuildTrayMenu() const;

    int FindMatchingOffice();
    void SelectOffice(int position) override;
    int GetCurrentOffice() const override { return m_nCurrentOffice; }

    // INotificationOwner: the tray icon's notifications and menu commands.
    void OnNotify(uint32_t iconId, platform::NotifyEvent event) override;
    void OnMenuCommand(int command) override;

    // ui::IConfigHost: what the configuration dialog works on.
    COfficeList& Offices() override { return m_offices; }
    const CNetworkSettings& CurrentNetwork() const override { return m_currentNetwork; }
    CRegistry& Registry() override { return m_services.registry; }
    platform::ISpooler& Spooler() override { return m_services.spooler; }
    ui::IUserPrompts& Prompts() override { return m_services.prompts; }
    void SetCurrentOffice(int position) override;
    bool GetAutoDetect() const override { return m_bAutoDetect; }
    void SetAutoDetect(bool on) override;
    void ShowNoOffices() override;
    void OfficesChanged() override { UpdateMenu(); }
    void ShowHelp(const std::string& page) override;

    const CTrayIcon& TrayIcon() const { return m_trayIcon; }

    // Takes over the watch on the settings file, whose calls go to OnSettingsChanged.
    void WatchSettings(std::unique_ptr<platform::IFileWatch> watch);
    // Another program (or this one) changed the settings file: reloads the offices, or when
    // the configuration dialog is open, once it has closed, so that its positions stay valid.
    void OnSettingsChanged();
    // Loads the offices and "Auto Detect" again and makes the menu and tooltip follow. The
    // applied office stays applied by its key; no printer is set. Changes this program could
    // not store yet stay; an unreadable file changes nothing.
    void ReloadOffices();

    // Takes over the network's events, whose calls go to OnNetworkChanged.
    void WatchNetwork(std::unique_ptr<platform::INetworkWatch> watch);
    // The network may have changed: with "Follow Network" and automatic detection on, the
    // office is detected again once the network has settled.
    void OnNetworkChanged() { m_follower.NetworkChanged(); }
    bool GetFollowNetwork() const { return m_bFollowNetwork; }

    // An office name as a menu entry shows it: control characters as spaces, bytes that are
    // not UTF-8 as U+FFFD, '&' doubled (a single one would mark a keyboard shortcut), names
    // of more than 64 characters cut with "...".
    static std::string MenuText(const std::string& name);

  private:
    void ShowAppliedOffice(const COfficeNetwork& office) override;
    void ShowNotRecognised();
    void AskToAddCurrentNetwork();
    void RunConfigDialog(bool bAddCurrentNetwork);
    void UpdateMenu();
    void OnFollowTimer();
    void UndoFollow(const std::string& followedKey, const std::string& previousKey,
                    const std::optional<std::string>& previousPrinter);

    // IFollowTarget
    bool Following() override { return m_bAutoDetect && m_bFollowNetwork; }
    int MatchNetworkNow() override;
    int AppliedOffice() const override { return m_nCurrentOffice; }
    void ApplyFollowedOffice(int position) override;
    void ShowFollowedNoMatch() override;

    FrameServices m_services;
    CTrayIcon m_trayIcon;
    bool m_bAutoDetect = true;
    IConfigDialog* m_pConfigDialog = nullptr;  // set only while a command runs the dialog
    int m_nCurrentOffice = -1;
    COfficeList m_offices;
    CNetworkSettings m_currentNetwork;
    bool m_bStoredAutoDetect = true;  // "Auto Detect" as last read from the store
    bool m_bReloadPending = false;    // the file changed while the dialog was open
    bool m_bFollowNetwork = false;    // "Follow Network" as last read from the store
    bool m_bFollowPending = false;    // the network settled while the dialog was open
    bool m_bNotify = true;            // "Notify" as last read from the store
    // The network when a switch was undone: following leaves it be until the network differs.
    std::optional<CNetworkSettings> m_undoneNetwork;
    std::unique_ptr<ISettleTimer> m_followTimer;
    CNetworkFollower m_follower;
    std::unique_ptr<platform::INetworkWatch> m_networkWatch;
    // Last: it goes first, before anything its call touches.
    std::unique_ptr<platform::IFileWatch> m_settingsWatch;
};

}  // namespace voldrane
