// One tray program per session: a named mutex in the session's namespace. The OS releases it
// when the process ends, also when it is killed.
#include <windows.h>

#include "platform/InstanceLock.h"
#include "platform/windows/WinText.h"

namespace voldrane::platform {

namespace {

class WinInstanceLock final : public IInstanceLock {
  public:
    ~WinInstanceLock() override { Release(); }

    Result Acquire(const std::string& name, std::string* error) override {
        Release();
        const std::wstring wide = windows_os::Widen(name);
        HANDLE mutex = CreateMutexW(nullptr, FALSE, wide.c_str());
        const DWORD rc = GetLastError();
        if (!mutex) {
            if (error)
                *error = "the lock \"" + name + "\" cannot be made: " + windows_os::ErrorText(rc);
            return Result::Failed;
        }
        if (rc == ERROR_ALREADY_EXISTS) {
            CloseHandle(mutex);
            return Result::HeldElsewhere;
        }
        m_mutex = mutex;
        return Result::Acquired;
    }
    bool Held() const override { return m_mutex != nullptr; }
    void Release() override {
        if (m_mutex) CloseHandle(m_mutex);
        m_mutex = nullptr;
    }

  private:
    HANDLE m_mutex = nullptr;
};

}  // namespace

std::unique_ptr<IInstanceLock> CreateInstanceLock() {
    return std::make_unique<WinInstanceLock>();
}

}  // namespace voldrane::platform
