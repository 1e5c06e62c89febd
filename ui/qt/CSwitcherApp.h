#pragma once

#include <QApplication>
#include <QPointer>
#include <memory>
#include <sstream>

#include "app/CSingleInstance.h"
#include "ui/UserPrompts.h"

namespace voldrane {

class CAboutDialog;
class CMainFrame;
class CRegistry;
namespace platform {
class INetworkSource;
class INotificationArea;
class IRegistryStore;
class ISpooler;
}  // namespace platform

// The program drawn by Qt: lets one copy run, waits for the desktop's tray, creates the hidden
// main frame (which applies an office or asks to add the network) with the Qt services, and
// then runs the event loop.
class CSwitcherApp final : public QApplication {
  public:
    CSwitcherApp(int& argc, char** argv);
    ~CSwitcherApp() override;

    // True to run the event loop; false to end at once with ExitCode().
    bool InitInstance();
    int ExitCode() const { return m_exitCode; }
    // "Exit" was chosen before the event loop ran (from a question or dialog at start-up).
    bool ExitRequested() const { return m_bExitRequested; }

    // Uses `area` instead of the desktop's own (tests: a recording area). Before InitInstance.
    void UseNotificationArea(std::unique_ptr<platform::INotificationArea> area);
    // Uses `prompts` (not owned) instead of message boxes (tests: recorded answers).
    void UsePrompts(ui::IUserPrompts& prompts) { m_prompts = &prompts; }

    void OnAppAbout();
    void OnHelp(const std::string& page);

    CSingleInstance m_singleInstance;

  private:
    void ReportStoreProblems();

    int m_exitCode = 0;
    bool m_bExitRequested = false;
    std::ostringstream m_storeDiagnostics;
    std::unique_ptr<platform::INotificationArea> m_area;
    std::unique_ptr<ui::IUserPrompts> m_messageBoxes;
    ui::IUserPrompts* m_prompts;
    std::unique_ptr<platform::IRegistryStore> m_store;
    std::unique_ptr<CRegistry> m_registry;
    std::unique_ptr<platform::ISpooler> m_spooler;
    std::unique_ptr<platform::INetworkSource> m_network;
    std::unique_ptr<CMainFrame> m_pMainFrame;
    QPointer<CAboutDialog> m_about;
};

}  // namespace voldrane
