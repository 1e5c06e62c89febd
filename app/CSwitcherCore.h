#pragma once

#include <functional>
#include <memory>
#include <sstream>
#include <string>

#include "app/CMainFrame.h"
#include "app/CSingleInstance.h"
#include "app/ConfigDialogPlug.h"
#include "network/NetworkFollower.h"
#include "offices/CRegistry.h"
#include "platform/DesktopNotices.h"
#include "platform/FileWatch.h"
#include "platform/NetworkSource.h"
#include "platform/NetworkWatch.h"
#include "platform/NotificationArea.h"
#include "platform/RegistryStore.h"
#include "platform/Spooler.h"
#include "ui/UserPrompts.h"

namespace voldrane {

// What the toolkit that draws the program gives its start-up: its notification area, message
// boxes, dialogs and commands, and the watches and timers its event loop runs.
struct ShellServices {
    // The desktop's notification area; made only once this copy may run.
    std::function<std::unique_ptr<platform::INotificationArea>()> makeArea;
    ui::IUserPrompts& prompts;
    ConfigDialogFactory makeConfigDialog;
    std::function<void()> showAbout;
    std::function<void(const std::string&)> showHelp;
    std::function<void()> exit;
    std::function<std::unique_ptr<ISettleTimer>(std::function<void()> expired)> makeSettleTimer;
    std::function<std::unique_ptr<platform::IFileWatch>(
        const std::string& path, int quietMs, int maxDelayMs, std::function<void()> changed)>
        watchFile;
    // The network's changes, told through `changed` on the event loop; null (having said why)
    // when they cannot be followed. Each OS has its own sources of them.
    std::function<std::unique_ptr<platform::INetworkWatch>(std::function<void()> changed)>
        watchNetwork;
    std::function<std::unique_ptr<platform::IDesktopNotices>()> makeNotices;
    // The print spooler; empty: the OS's, asked out of process where that keeps the print
    // client's libraries out of the program.
    std::function<std::unique_ptr<platform::ISpooler>()> makeSpooler;
};

// The program's start-up, whichever toolkit draws it: lets one copy run, waits for the
// desktop's tray, opens the settings, the print server and the network, creates the hidden
// main frame (which applies an office or asks to add the network), says once what of the
// settings could not be read, and lets the frame follow the settings file and the network.
class CSwitcherCore {
  public:
    CSwitcherCore();
    // The frame goes first: its icon leaves the tray while the area still exists.
    ~CSwitcherCore();
    CSwitcherCore(const CSwitcherCore&) = delete;
    CSwitcherCore& operator=(const CSwitcherCore&) = delete;

    // True to run the event loop; false to end at once with ExitCode().
    bool Start(ShellServices shell);
    int ExitCode() const { return m_exitCode; }
    CMainFrame* Frame() const { return m_pMainFrame.get(); }

    CSingleInstance m_singleInstance;

  private:
    void ReportStoreProblems(ui::IUserPrompts& prompts);

    int m_exitCode = 0;
    std::ostringstream m_storeDiagnostics;
    std::unique_ptr<platform::INotificationArea> m_area;
    std::unique_ptr<platform::IRegistryStore> m_store;
    std::unique_ptr<CRegistry> m_registry;
    std::unique_ptr<platform::ISpooler> m_spooler;
    std::unique_ptr<platform::INetworkSource> m_network;
    std::unique_ptr<CMainFrame> m_pMainFrame;
};

// How long to wait for the desktop's notification area: at login the program may start before
// the panel that hosts tray icons. VOLDRANE_TRAY_WAIT_MS (0 to 600000) changes the 10 seconds.
int TrayWaitMs();

// The message that says what of the settings file could not be read at start (the reason it
// could not be read at all, the diagnostics of the parts left out); empty when all was read.
std::string StoreProblemsText(const std::string& readError, const std::string& diagnostics);

}  // namespace voldrane
