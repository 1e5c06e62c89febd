#include "ui/qt/CSwitcherApp.h"

#include <iostream>

#include "platform/DesktopNotices.h"
#include "platform/FileWatch.h"
#include "platform/GuiPlatform.h"
#include "platform/NetworkEvents.h"
#include "platform/NetworkWatch.h"
#include "res/Icons.h"
#include "res/Resource.h"
#include "res/Strings.h"
#include "ui/qt/CAboutDialog.h"
#include "ui/qt/ConfigDialogPlug.h"
#include "ui/qt/Help.h"
#include "ui/qt/QtSettleTimer.h"
#include "ui/qt/QtUserPrompts.h"

namespace voldrane {

CSwitcherApp::CSwitcherApp(int& argc, char** argv)
    : QApplication(argc, argv),
      m_messageBoxes(std::make_unique<ui::qt::QtUserPrompts>()),
      m_prompts(m_messageBoxes.get()) {
    setApplicationName(QString::fromUtf8(res::kAppTitle));
    setApplicationVersion(QStringLiteral(VOLDRANE_VERSION));
    setDesktopFileName(QString::fromUtf8(res::kDesktopId));
    // The program has no main window: closing a dialog must not end it.
    setQuitOnLastWindowClosed(false);
}

CSwitcherApp::~CSwitcherApp() = default;

bool CSwitcherApp::InitInstance() {
    return m_core.Start(ShellServices{
        [this] {
            // This copy may run: it shows its pictures from now on.
            setWindowIcon(res::LoadIcon(res::IDI_OFFICE));
            if (m_area) return std::move(m_area);
            return platform::CreateNotificationArea(
                [](int id) { return res::IconPath(id).toStdString(); });
        },
        *m_prompts,
        &CreateConfigDialog,
        [this] { OnAppAbout(); },
        [this](const std::string& page) { OnHelp(page); },
        [this] {
            // Ends the loops of open dialogs too; exec() would not see a request made
            // before it started, hence the flag.
            m_bExitRequested = true;
            QCoreApplication::exit(0);
        },
        [](std::function<void()> expired) {
            return std::make_unique<ui::qt::QtSettleTimer>(std::move(expired));
        },
        &platform::WatchFile,
        [](std::function<void()> changed) {
            std::string error;
            auto events = platform::OpenNetworkEvents("", &error);
            if (!events)
                std::cerr << "voldrane: network changes cannot be followed: " << error << '\n';
            return platform::WatchNetwork(std::move(events), std::move(changed));
        },
        &platform::CreateDesktopNotices,
        {},  // the out-of-process spooler
    });
}

void CSwitcherApp::UseNotificationArea(std::unique_ptr<platform::INotificationArea> area) {
    m_area = std::move(area);
}

void CSwitcherApp::OnAppAbout() {
    // A second "About..." raises the box that is open.
    if (m_about) {
        m_about->raise();
        m_about->activateWindow();
        return;
    }
    CAboutDialog about;
    m_about = &about;
    about.exec();
}

void CSwitcherApp::OnHelp(const std::string& page) {
    std::string error;
    if (!OpenManual(page, &error)) m_prompts->ShowMessage(error, ui::PromptIcon::Exclamation);
}

}  // namespace voldrane
