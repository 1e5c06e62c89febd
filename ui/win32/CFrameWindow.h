#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "network/NetworkFollower.h"

namespace voldrane::win32 {

class CNotificationArea;

// The window class of the frame window: scripts and tests find the window by it.
inline constexpr const wchar_t* kFrameClass = L"Voldrane Frame";

// The program's hidden top-level window, titled "Voldrane". It is never shown: it receives
// the tray icon's notifications, the menu's commands (and the same WM_COMMANDs from scripts),
// Explorer's "TaskbarCreated", the timers of the event loop and the power and session
// messages, and passes each on.
class CFrameWindow {
  public:
    CFrameWindow() = default;
    ~CFrameWindow();
    CFrameWindow(const CFrameWindow&) = delete;
    CFrameWindow& operator=(const CFrameWindow&) = delete;

    bool Create(HINSTANCE instance, HICON icon);
    HWND Handle() const { return m_hwnd; }

    // Where the tray's messages and the commands go; null: nowhere yet.
    void SetArea(CNotificationArea* area) { m_area = area; }
    // Called when the machine has resumed from sleep.
    void OnResume(std::function<void()> resumed) { m_resumed = std::move(resumed); }

    // A settle timer on this window's message loop.
    std::unique_ptr<ISettleTimer> MakeSettleTimer(std::function<void()> expired);
    // Runs `call` on the window's thread, from its message loop (or a modal one); from any
    // thread. Calls still queued when the window goes are dropped.
    void Post(std::function<void()> call);

  private:
    class Timer;
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT msg, WPARAM wParam, LPARAM lParam);

    HWND m_hwnd = nullptr;
    UINT m_taskbarCreated = 0;
    CNotificationArea* m_area = nullptr;
    std::function<void()> m_resumed;
    std::map<UINT_PTR, std::function<void()>> m_timers;
    UINT_PTR m_nextTimer = 1;
    std::mutex m_postedMutex;
    std::vector<std::function<void()>> m_posted;
};

}  // namespace voldrane::win32
