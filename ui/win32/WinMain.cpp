// voldrane.exe: the tray program on Windows. It lets one copy run, creates the hidden frame
// window and the notification-area icon, hands both to the application layer's main frame
// (which applies an office or asks to add the network) and runs the message loop.
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
#include "offices/CRegistry.h"
#include "platform/NetworkEvents.h"
#include "platform/NetworkWatch.h"
#include "platform/Platform.h"
#include "res/Resource.h"
#include "res/Strings.h"
#include "ui/win32/CAboutBox.h"
#include "ui/win32/CBalloonNotices.h"
#include "ui/win32/CFrameWindow.h"
#include "ui/win32/CNotificationArea.h"
#include "ui/win32/CReportingSpooler.h"
#include "ui/win32/Win32Help.h"
#include "ui/win32/Win32Prompts.h"

using namespace voldrane;

namespace {

// At sign-in the program may start before Explorer's notification area.
constexpr int kTrayWaitMs = 10000;

int TrayWaitMs() {
    const char* text = std::getenv("VOLDRANE_TRAY_WAIT_MS");
    if (!text || !*text) return kTrayWaitMs;
    char* end = nullptr;
    const long ms = std::strtol(text, &end, 10);
    return (*end == '\0' && ms >= 0 && ms <= 600000) ? static_cast<int>(ms) : kTrayWaitMs;
}

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

// The offices were loaded for what could be read; say what could not, once.
void ReportStoreProblems(platform::IRegistryStore& store, const std::string& lines) {
    std::string text;
    const std::string readError = store.ReadError();
    if (!readError.empty()) {
        text = "The settings cannot be read, so no office networks were loaded:\n" + readError +
               "\n\nNothing will be written to them until they can be read again.";
        std::cerr << "voldrane: " << readError << '\n';
    }
    if (!lines.empty()) {
        std::cerr << lines;
        if (!text.empty()) text += "\n\n";
        text +=
            "Parts of the settings could not be read and were left out:\n" + lines.substr(0, 2000);
    }
    if (!text.empty()) win32::ShowMessage(text, win32::BoxIcon::Exclamation);
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

    bool exitRequested = false;
    auto frame = std::make_unique<CMainFrame>(FrameServices{
        area,
        registry,
        spooler,
        *network,
        &CreateConfigDialog,
        [instance] { win32::ShowAboutBox(instance); },
        [](const std::string& page) {
            std::string error;
            if (!win32::OpenManual(page, &error))
                win32::ShowMessage(error, win32::BoxIcon::Exclamation);
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
    ReportStoreProblems(*store, storeDiagnostics.str());

    CMainFrame* hub = frame.get();
    window.OnResume([hub] { hub->OnNetworkChanged(); });
    std::string eventsError;
    auto events = platform::OpenNetworkEvents("", &eventsError);
    if (!events)
        std::cerr << "voldrane: network changes cannot be followed: " << eventsError << '\n';
    hub->WatchNetwork(
        platform::WatchNetwork(std::move(events), [hub] { hub->OnNetworkChanged(); }));

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
