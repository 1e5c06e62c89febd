#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "network/NetworkFollower.h"
#include "platform/FileWatch.h"

namespace voldrane::win32 {

class CFrameWindow;

// Tells the frame, on its window's thread, that the settings key (or a key below it) may have
// changed: voldranectl or another program wrote it. A burst of writes comes as one call, once
// the key has been quiet for `quietMs`, and at the latest `maxDelayMs` after the first.
class CRegistryWatch final : public platform::IFileWatch {
  public:
    // Null when the key cannot be opened or watched.
    static std::unique_ptr<CRegistryWatch> Start(CFrameWindow& window, const std::wstring& key,
                                                 int quietMs, int maxDelayMs,
                                                 std::function<void()> changed);
    ~CRegistryWatch() override;
    bool Pending() const override;

  private:
    CRegistryWatch(CFrameWindow& window, int quietMs, int maxDelayMs,
                   std::function<void()> changed);
    void OnChange();  // on the window's thread
    void OnQuiet();
    static DWORD WINAPI Wait(void* self);  // the watching thread

    CFrameWindow& m_window;
    int m_quietMs;
    int m_maxDelayMs;
    std::function<void()> m_changed;
    std::unique_ptr<ISettleTimer> m_timer;
    int64_t m_firstChangeMs = -1;  // of the burst not yet told; -1 none
    std::atomic<bool> m_signalled{false};
    HKEY m_key = nullptr;
    HANDLE m_stop = nullptr;
    HANDLE m_changedEvent = nullptr;
    std::shared_ptr<std::atomic<bool>> m_alive;
    HANDLE m_thread = nullptr;
};

}  // namespace voldrane::win32
