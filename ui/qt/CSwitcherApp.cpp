#include "ui/qt/CSwitcherApp.h"

#include <iostream>

#include "app/CMainFrame.h"
#include "app/Startup.h"
#include "offices/CRegistry.h"
#include "platform/DesktopNotices.h"
#include "platform/FileWatch.h"
#include "platform/GuiPlatform.h"
#include "platform/NetworkEvents.h"
#include "platform/Platform.h"
#include "res/Icons.h"
#include "res/Resource.h"
#include "res/Strings.h"
#include "ui/qt/CAboutDialog.h"
#include "ui/qt/ConfigDialogPlug.h"
#include "ui/qt/Help.h"
#include "ui/qt/QtSettleTimer.h"
#include "ui/qt/QtUserPrompts.h"

namespace voldrane {

namespace {

// A writer's temp file, rename and lock come as a burst of changes in the folder: the offices
// are loaded again once it has been quiet that long, and at the latest after the second bound
// while another program keeps writing.
constexpr int kSettingsQuietMs = 150;
constexpr int kSettingsMaxDelayMs = 1000;

}  // namespace

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

// The frame goes first: its icon leaves the tray while the area still exists.
CSwitcherApp::~CSwitcherApp() {
    m_pMainFrame.reset();
}

bool CSwitcherApp::InitInstance() {
    if (!m_singleInstance.Create(res::IDR_MAINFRAME)) {
        m_exitCode = 0;  // another copy runs; it goes on unchanged
        return false;
    }
    setWindowIcon(res::LoadIcon(res::IDI_OFFICE));

    if (!m_area)
        m_area = platform::CreateNotificationArea(
            [](int id) { return res::IconPath(id).toStdString(); });
    if (!m_area->WaitUntilAvailable(TrayWaitMs())) {
        std::cerr << "voldrane: " << m_area->UnavailableReason() << '\n';
        m_exitCode = 1;
        return false;
    }

    m_store = platform::CreateRegistryStore(&m_storeDiagnostics);
    m_registry = std::make_unique<CRegistry>(*m_store);
    m_spooler = platform::CreateOutOfProcessSpooler();
    m_network = platform::CreateNetworkSource();
    m_pMainFrame = std::make_unique<CMainFrame>(FrameServices{
        *m_area,
        *m_registry,
        *m_spooler,
        *m_network,
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
        nullptr,
        [](std::function<void()> expired) {
            return std::make_unique<ui::qt::QtSettleTimer>(std::move(expired));
        },
        platform::CreateDesktopNotices(),
    });
    ReportStoreProblems();
    // Offices that voldranectl (or a second login's copy) adds, edits or removes reach the
    // menu, and the dialog's saves do not undo them.
    CMainFrame* frame = m_pMainFrame.get();
    m_pMainFrame->WatchSettings(platform::WatchFile(m_store->FilePath(), kSettingsQuietMs,
                                                    kSettingsMaxDelayMs,
                                                    [frame] { frame->OnSettingsChanged(); }));
    // The network's events, for following it; without them the office is read at start and
    // on "Auto-Detect" only.
    std::string eventsError;
    auto events = platform::OpenNetworkEvents("", &eventsError);
    if (!events)
        std::cerr << "voldrane: network changes cannot be followed: " << eventsError << '\n';
    m_pMainFrame->WatchNetwork(
        platform::WatchNetwork(std::move(events), [frame] { frame->OnNetworkChanged(); }));

    if (m_pMainFrame->OnCreate() != 0) {
        std::cerr << "voldrane: the icon could not be added to the system tray\n";
        m_pMainFrame.reset();
        m_exitCode = 1;
        return false;
    }
    return true;
}

// The offices were loaded for what could be read; say what could not, once.
void CSwitcherApp::ReportStoreProblems() {
    const std::string readError = m_store->ReadError();
    const std::string lines = m_storeDiagnostics.str();
    if (!lines.empty()) std::cerr << lines;
    if (!readError.empty()) std::cerr << "voldrane: " << readError << '\n';
    const std::string text = StoreProblemsText(readError, lines);
    if (!text.empty()) m_prompts->ShowMessage(text, ui::PromptIcon::Exclamation);
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
