#include "ui/win32/CRegistryWatch.h"

#include <algorithm>

#include "ui/win32/CFrameWindow.h"

namespace voldrane::win32 {

CRegistryWatch::CRegistryWatch(CFrameWindow& window, int quietMs, int maxDelayMs,
                               std::function<void()> changed)
    : m_quietMs(quietMs), m_maxDelayMs(maxDelayMs), m_changed(std::move(changed)) {
    m_timer = window.MakeSettleTimer([this] { OnQuiet(); });
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
    watch->m_event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!watch->m_event || !watch->Arm()) return nullptr;
    return watch;
}

CRegistryWatch::~CRegistryWatch() {
    // Closing the key ends the notification.
    if (m_key) RegCloseKey(m_key);
    if (m_event) CloseHandle(m_event);
}

bool CRegistryWatch::Arm() {
    constexpr DWORD kFilter = REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET;
    return RegNotifyChangeKeyValue(m_key, TRUE, kFilter, m_event, TRUE) == ERROR_SUCCESS;
}

bool CRegistryWatch::Pending() const {
    return WaitForSingleObject(m_event, 0) == WAIT_OBJECT_0 || m_firstChangeMs >= 0;
}

void CRegistryWatch::OnSignalled() {
    ResetEvent(m_event);
    Arm();
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
