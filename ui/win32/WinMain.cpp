// voldrane.exe: the tray program on Windows. It lets one copy run, creates the hidden frame
// window and the notification-area icon, hands both to the application layer's main frame
// (which applies an office or asks to add the network) and runs the message loop.
// Before windows.h: its IDOK and IDCANCEL macros would replace the presenters' constants.
#include "ui/win32/CConfigDialogView.h"

#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <cstdlib>
#include <cwchar>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>

#include "app/CMainFrame.h"
#include "app/CSingleInstance.h"
#include "app/Startup.h"
#include "offices/CRegistry.h"
#include "offices/OfficeStore.h"
#include "platform/NetworkWatch.h"
#include "platform/Platform.h"
#include "platform/windows/WinNetwork.h"
#include "res/Resource.h"
#include "res/Strings.h"
#include "ui/win32/CAboutBox.h"
#include "ui/win32/CBalloonNotices.h"
#include "ui/win32/CFrameWindow.h"
#include "ui/win32/CMessageBoxPrompts.h"
#include "ui/win32/CNotificationArea.h"
#include "ui/win32/CRegistryWatch.h"
#include "ui/win32/CReportingSpooler.h"
#include "ui/win32/Wide.h"
#include "ui/win32/Win32Help.h"

using namespace voldrane;

namespace {

// A writer's burst of changes (several values, a key deleted and written again) comes as one
// reload once the key has been quiet that long, at the latest after the second bound.
constexpr int kSettingsQuietMs = 150;
constexpr int kSettingsMaxDelayMs = 1000;

// The network's changes, told on the frame window's thread.
class NetworkWatch final : public platform::INetworkWatch {
  public:
    explicit NetworkWatch(std::unique_ptr<platform::windows_os::NetworkChangeWatch> watch)
        : m_watch(std::move(watch)) {}

  private:
    std::unique_ptr<platform::windows_os::NetworkChangeWatch> m_watch;
};

// --help and --version, for scripts; a GUI program has no console, so they answer on the
// standard output its caller gave it.
bool AnswerArguments(int& exitCode) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv) return false;
    bool answered = false;
    if (argc == 2 && (!std::wcscmp(argv[1], L"--version") || !std::wcscmp(argv[1], L"-v"))) {
        std::cout << "voldrane " << VOLDRANE_VERSION << std::endl;
        answered = true;
    } else if (argc == 2 && (!std::wcscmp(argv[1], L"--help") || !std::wcscmp(argv[1], L"-h"))) {
        std::cout << "usage: voldrane [--help | --version]\n\n"
                     "Starts the office printer switcher in the notification area. One copy\n"
                     "runs per user; a second start ends at once. voldranectl does the same\n"
                     "work on the command line."
                  << std::endl;
        answered = true;
    }
    LocalFree(argv);
    exitCode = 0;
    return answered;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    int exitCode = 0;
    if (AnswerArguments(exitCode)) return exitCode;

    CSingleInstance singleInstance;
    if (!singleInstance.Create(res::IDR_MAINFRAME)) return 0;  // another copy runs

    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_INTERNET_CLASSES |
                                             ICC_TAB_CLASSES | ICC_LISTVIEW_CLASSES |
                                             ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);

    win32::CFrameWindow window;
    if (!window.Create(instance, LoadIconW(instance, MAKEINTRESOURCEW(res::IDR_MAINFRAME)))) {
        std::cerr << "voldrane: the frame window could not be created\n";
        return 1;
    }
    win32::CNotificationArea area(window.Handle(), instance);
    window.SetArea(&area);
    if (!area.WaitUntilAvailable(TrayWaitMs())) {
        std::cerr << "voldrane: " << area.UnavailableReason() << '\n';
        return 1;
    }

    std::ostringstream storeDiagnostics;
    std::unique_ptr<platform::IRegistryStore> store =
        platform::CreateRegistryStore(&storeDiagnostics);
    CRegistry registry(*store);
    // winspool is part of the system: asked in this process.
    std::unique_ptr<platform::ISpooler> systemSpooler = platform::CreateSpooler();
    win32::CReportingSpooler spooler(*systemSpooler, std::cout);
    std::unique_ptr<platform::INetworkSource> network = platform::CreateNetworkSource();

    win32::CMessageBoxPrompts prompts;
    bool exitRequested = false;
    auto frame = std::make_unique<CMainFrame>(FrameServices{
        area,
        registry,
        spooler,
        *network,
        prompts,
        [instance] { return win32::CreateConfigDialog(instance); },
        [instance] { win32::ShowAboutBox(instance); },
        [&prompts](const std::string& page) {
            std::string error;
            if (!win32::OpenManual(page, &error))
                prompts.ShowMessage(error, ui::PromptIcon::Exclamation);
        },
        [&exitRequested] {
            // Ends the loops of open dialogs and message boxes too.
            exitRequested = true;
            PostQuitMessage(0);
        },
        nullptr,
        [&window](std::function<void()> expired) {
            return window.MakeSettleTimer(std::move(expired));
        },
        std::make_unique<win32::CBalloonNotices>(area, res::kTrayIconId),
    });
    // The offices were loaded for what could be read; say what could not, once.
    const std::string diagnostics = storeDiagnostics.str();
    if (!diagnostics.empty()) std::cerr << diagnostics;
    if (!store->ReadError().empty()) std::cerr << "voldrane: " << store->ReadError() << '\n';
    const std::string problems = StoreProblemsText(store->ReadError(), diagnostics);
    if (!problems.empty()) prompts.ShowMessage(problems, ui::PromptIcon::Exclamation);

    CMainFrame* hub = frame.get();
    // Offices that voldranectl (or anything else) adds, edits or removes reach the menu, and
    // the dialog's saves do not undo them.
    hub->WatchSettings(win32::CRegistryWatch::Start(window, win32::Widen(kAppKey), kSettingsQuietMs,
                                                    kSettingsMaxDelayMs,
                                                    [hub] { hub->OnSettingsChanged(); }));
    // The network's changes, for following it: the OS calls back on threads of its own.
    window.OnResume([hub] { hub->OnNetworkChanged(); });
    std::string eventsError;
    auto changes = platform::windows_os::NetworkChangeWatch::Start(
        [&window, hub] { window.Post([hub] { hub->OnNetworkChanged(); }); }, &eventsError);
    if (changes)
        hub->WatchNetwork(std::make_unique<NetworkWatch>(std::move(changes)));
    else
        std::cerr << "voldrane: network changes cannot be followed: " << eventsError << '\n';

    if (hub->OnCreate() != 0) {
        std::cerr << "voldrane: the icon could not be added to the notification area\n";
        return 1;
    }

    if (!exitRequested) {
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        exitCode = msg.message == WM_QUIT ? static_cast<int>(msg.wParam) : 0;
    }
    // The frame goes first: its icon leaves the notification area while the area exists.
    frame.reset();
    return exitCode;
}
