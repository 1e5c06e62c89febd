// voldrane.exe: the tray program on Windows. It lets one copy run, creates the hidden frame
// window and the notification-area icon, hands both to the application layer's main frame
// (which applies an office or asks to add the network) and runs the message loop.

// Before windows.h: its IDOK and IDCANCEL macros would replace the presenters' constants.
#include "ui/win32/CConfigDialogView.h"

#include <windows.h>

#include <shellapi.h>

#include <cwchar>
#include <iostream>
#include <memory>
#include <string>

#include "app/CSwitcherCore.h"
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

    win32::CFrameWindow window;
    win32::CNotificationArea* area = nullptr;
    win32::CMessageBoxPrompts prompts;
    win32::CRegistryWatch* registryWatch = nullptr;  // owned by the frame
    bool exitRequested = false;
    auto core = std::make_unique<CSwitcherCore>();
    const bool started = core->Start(ShellServices{
        [&] {
            // This copy may run: its window takes the icon's notifications from now on.
            if (!window.Create(instance, LoadIconW(instance, MAKEINTRESOURCEW(res::IDR_MAINFRAME))))
                std::cerr << "voldrane: the frame window could not be created\n";
            auto made = std::make_unique<win32::CNotificationArea>(window.Handle(), instance);
            area = made.get();
            window.SetArea(area);
            return made;
        },
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
        [&window](std::function<void()> expired) {
            return window.MakeSettleTimer(std::move(expired));
        },
        // The settings live in the registry: its key is watched, not a file.
        [&window, &registryWatch](
            const std::string&, int quietMs, int maxDelayMs,
            std::function<void()> changed) -> std::unique_ptr<platform::IFileWatch> {
            auto watch = win32::CRegistryWatch::Start(window, win32::Widen(kAppKey), quietMs,
                                                      maxDelayMs, std::move(changed));
            registryWatch = watch.get();
            return watch;
        },
        [&window](std::function<void()> changed) -> std::unique_ptr<platform::INetworkWatch> {
            // The OS calls back on threads of its own; resume from sleep comes to the window.
            window.OnResume(changed);
            std::string error;
            auto watch = platform::windows_os::NetworkChangeWatch::Start(
                [&window, changed] { window.Post(changed); }, &error);
            if (!watch) {
                std::cerr << "voldrane: network changes cannot be followed: " << error << '\n';
                return nullptr;
            }
            return std::make_unique<NetworkWatch>(std::move(watch));
        },
        [&area]() -> std::unique_ptr<platform::IDesktopNotices> {
            return std::make_unique<win32::CBalloonNotices>(*area, res::kTrayIconId);
        },
        // winspool is part of the system: asked in this process, and each default printer
        // set is said on standard output.
        [] {
            return std::make_unique<win32::CReportingSpooler>(platform::CreateSpooler(), std::cout);
        },
    });
    if (!started) return core->ExitCode();

    // The message loop, which also waits for changes of the settings key.
    while (!exitRequested) {
        HANDLE event = registryWatch ? registryWatch->Event() : nullptr;
        const DWORD count = event ? 1 : 0;
        if (MsgWaitForMultipleObjectsEx(count, &event, INFINITE, QS_ALLINPUT,
                                        MWMO_INPUTAVAILABLE) == WAIT_OBJECT_0 &&
            count) {
            registryWatch->OnSignalled();
            continue;
        }
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                exitCode = static_cast<int>(msg.wParam);
                exitRequested = true;
                break;
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    // The frame goes first (its icon leaves the notification area), then the area.
    core.reset();
    window.SetArea(nullptr);
    return exitCode;
}
