#pragma once

#include <QApplication>
#include <QPointer>
#include <memory>
#include <string>

#include "app/CSwitcherCore.h"
#include "ui/UserPrompts.h"

namespace voldrane {

class CAboutDialog;

// The program drawn by Qt: the QApplication, with the Qt notification area, message boxes,
// dialogs, about box and manual, around the toolkit-neutral start-up (CSwitcherCore).
class CSwitcherApp final : public QApplication {
  public:
    CSwitcherApp(int& argc, char** argv);
    ~CSwitcherApp() override;

    // True to run the event loop; false to end at once with ExitCode().
    bool InitInstance();
    int ExitCode() const { return m_core.ExitCode(); }
    // "Exit" was chosen before the event loop ran (from a question or dialog at start-up).
    bool ExitRequested() const { return m_bExitRequested; }

    // Uses `area` instead of the desktop's own (tests: a recording area). Before InitInstance.
    void UseNotificationArea(std::unique_ptr<platform::INotificationArea> area);
    // Uses `prompts` (not owned) instead of message boxes (tests: recorded answers).
    void UsePrompts(ui::IUserPrompts& prompts) { m_prompts = &prompts; }

    void OnAppAbout();
    void OnHelp(const std::string& page);

  private:
    bool m_bExitRequested = false;
    std::unique_ptr<platform::INotificationArea> m_area;
    std::unique_ptr<ui::IUserPrompts> m_messageBoxes;
    ui::IUserPrompts* m_prompts;
    QPointer<CAboutDialog> m_about;
    CSwitcherCore m_core;  // last: the frame goes before the rest, and before QApplication
};

}  // namespace voldrane
