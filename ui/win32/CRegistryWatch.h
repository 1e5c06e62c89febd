#pragma once

#include <windows.h>

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
//
// No thread of its own (each costs about 1 MB under Wine): the program's message loop waits on
// Event() too and calls OnSignalled. Changes made while a dialog's own loop runs are taken up
// when it ends; Pending() tells of them meanwhile.
class CRegistryWatch final : public platform::IFileWatch {
  public:
    // Null when the key cannot be opened or watched. Call on the thread of the message loop,
    // which must live as long as the watch.
    static std::unique_ptr<CRegistryWatch> Start(CFrameWindow& window, const std::wstring& key,
                                                 int quietMs, int maxDelayMs,
                                                 std::function<void()> changed);
    ~CRegistryWatch() override;
    bool Pending() const override;

    // Set when the key changed; the message loop waits on it.
    HANDLE Event() const { return m_event; }
    // The event was set: arms the watch again and starts the quiet time.
    void OnSignalled();

  private:
    CRegistryWatch(CFrameWindow& window, int quietMs, int maxDelayMs,
                   std::function<void()> changed);
    bool Arm();
    void OnQuiet();

    int m_quietMs;
    int m_maxDelayMs;
    std::function<void()> m_changed;
    std::unique_ptr<ISettleTimer> m_timer;
    int64_t m_firstChangeMs = -1;  // of the burst not yet told; -1 none
    HKEY m_key = nullptr;
    HANDLE m_event = nullptr;
};

}  // namespace voldrane::win32
