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
    HANDLE changedEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!watch->m_stop || !changedEvent) {
        if (changedEvent) CloseHandle(changedEvent);
        return nullptr;
    }
    CRegistryWatch* self = watch.get();
    // The thread that arms the notification must outlive it: the watch has its own.
    self->m_thread = std::thread([self, changedEvent, alive = self->m_alive] {
        constexpr DWORD kFilter = REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET;
        const HANDLE waits[2] = {self->m_stop, changedEvent};
        while (RegNotifyChangeKeyValue(self->m_key, TRUE, kFilter, changedEvent, TRUE) ==
               ERROR_SUCCESS) {
            if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) break;
            self->m_signalled = true;
            self->m_window.Post([self, alive] {
                if (*alive) self->OnChange();
            });
        }
        CloseHandle(changedEvent);
    });
    return watch;
}

CRegistryWatch::~CRegistryWatch() {
    *m_alive = false;
    if (m_stop) SetEvent(m_stop);
    if (m_thread.joinable()) m_thread.join();
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
