#include "ui/win32/CRegistryWatch.h"

#include <algorithm>

#include "ui/win32/CFrameWindow.h"

namespace voldrane::win32 {

CRegistryWatch::CRegistryWatch(CFrameWindow& window, int quietMs, int maxDelayMs,
                               std::function<void()> changed)
    : m_window(window),
      m_quietMs(quietMs),
      m_maxDelayMs(maxDelayMs),
      m_changed(std::move(changed)),
      m_alive(std::make_shared<std::atomic<bool>>(true)) {
    m_timer = m_window.MakeSettleTimer([this] { OnQuiet(); });
}

std::unique_ptr<CRegistryWatch> CRegistryWatch::Start(CFrameWindow& window, const std::wstring& key,
                                                      int quietMs, int maxDelayMs,
                                                      std::function<void()> changed) {
    std::unique_ptr<CRegistryWatch> watch(
        new CRegistryWatch(window, quietMs, maxDelayMs, std::move(changed)));
    // The key is made when missing: a first start has none yet, and voldranectl may add it.
    if (RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_NOTIFY, nullptr,
                        &watch->m_key, nullptr) != ERROR_SUCCESS)
        return nullptr;
    watch->m_stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    watch->m_changedEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!watch->m_stop || !watch->m_changedEvent) return nullptr;
    // The thread that arms the notification must outlive it: the watch has its own, which
    // needs little stack (a program that idles in the tray should stay small).
    watch->m_thread = CreateThread(nullptr, 64 * 1024, &CRegistryWatch::Wait, watch.get(),
                                   STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (!watch->m_thread) return nullptr;
    return watch;
}

DWORD WINAPI CRegistryWatch::Wait(void* param) {
    auto* self = static_cast<CRegistryWatch*>(param);
    constexpr DWORD kFilter = REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET;
    const HANDLE waits[2] = {self->m_stop, self->m_changedEvent};
    const std::shared_ptr<std::atomic<bool>> alive = self->m_alive;
    while (RegNotifyChangeKeyValue(self->m_key, TRUE, kFilter, self->m_changedEvent, TRUE) ==
           ERROR_SUCCESS) {
        if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) break;
        self->m_signalled = true;
        self->m_window.Post([self, alive] {
            if (*alive) self->OnChange();
        });
    }
    return 0;
}

CRegistryWatch::~CRegistryWatch() {
    *m_alive = false;
    if (m_thread) {
        SetEvent(m_stop);
        WaitForSingleObject(m_thread, INFINITE);
        CloseHandle(m_thread);
    }
    if (m_changedEvent) CloseHandle(m_changedEvent);
    if (m_stop) CloseHandle(m_stop);
    if (m_key) RegCloseKey(m_key);
}

bool CRegistryWatch::Pending() const {
    return m_signalled || m_firstChangeMs >= 0;
}

void CRegistryWatch::OnChange() {
    m_signalled = false;
    const int64_t now = m_timer->NowMs();
    if (m_firstChangeMs < 0) m_firstChangeMs = now;
    const int64_t latest = m_firstChangeMs + m_maxDelayMs - now;
    m_timer->Start(static_cast<int>(std::max<int64_t>(0, std::min<int64_t>(m_quietMs, latest))));
}

void CRegistryWatch::OnQuiet() {
    m_firstChangeMs = -1;
    m_changed();
}

}  // namespace voldrane::win32
