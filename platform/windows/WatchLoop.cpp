// `voldranectl watch`'s wait on Windows: the network's notifications (or Wine's poll), the
// settle timer and Ctrl+C / Ctrl+Break / a closed console, all brought to one condition
// variable.
#include "platform/WatchLoop.h"

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>

#include "platform/windows/WinNetwork.h"

namespace voldrane::platform {

namespace {

using Clock = std::chrono::steady_clock;

struct Signals {
    std::mutex mutex;
    std::condition_variable wake;
    bool networkChanged = false;
    bool stop = false;
};

// The console's handler runs on a thread of its own; it reaches the loop through this.
Signals g_signals;

BOOL WINAPI OnConsoleEvent(DWORD) {
    {
        std::lock_guard<std::mutex> lock(g_signals.mutex);
        g_signals.stop = true;
    }
    g_signals.wake.notify_all();
    return TRUE;
}

class WinWatchLoop final : public IWatchLoop {
  public:
    explicit WinWatchLoop(std::unique_ptr<windows_os::NetworkChangeWatch> watch)
        : m_watch(std::move(watch)) {}
    ~WinWatchLoop() override {
        m_watch.reset();
        SetConsoleCtrlHandler(&OnConsoleEvent, FALSE);
    }
    WinWatchLoop(const WinWatchLoop&) = delete;
    WinWatchLoop& operator=(const WinWatchLoop&) = delete;

    int64_t NowMs() const override {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   Clock::now().time_since_epoch())
            .count();
    }
    void Start(int ms) override { m_due = Clock::now() + std::chrono::milliseconds(ms); }

    Wake Wait(std::string*) override {
        std::unique_lock<std::mutex> lock(g_signals.mutex);
        for (;;) {
            if (g_signals.stop) return Wake::Stop;
            if (g_signals.networkChanged) {
                g_signals.networkChanged = false;
                return Wake::NetworkChanged;
            }
            if (m_due && Clock::now() >= *m_due) {
                m_due.reset();
                return Wake::TimerExpired;
            }
            if (m_due)
                g_signals.wake.wait_until(lock, *m_due);
            else
                g_signals.wake.wait(lock);
        }
    }

  private:
    std::unique_ptr<windows_os::NetworkChangeWatch> m_watch;
    std::optional<Clock::time_point> m_due;
};

}  // namespace

std::unique_ptr<IWatchLoop> OpenWatchLoop(std::string* error) {
    auto watch = windows_os::NetworkChangeWatch::Start(
        [] {
            {
                std::lock_guard<std::mutex> lock(g_signals.mutex);
                g_signals.networkChanged = true;
            }
            g_signals.wake.notify_all();
        },
        error);
    if (!watch) return nullptr;
    // Without a console (started by the Task Scheduler, say) there is nothing to hear: the
    // process then ends when it is ended.
    SetConsoleCtrlHandler(&OnConsoleEvent, TRUE);
    return std::make_unique<WinWatchLoop>(std::move(watch));
}

}  // namespace voldrane::platform
