#pragma once

#include <string>

#include "platform/InstanceLock.h"

namespace voldrane::platform::linux_os {

// A lock file in the user's runtime folder, held with flock: the lock belongs to the open file
// description, so it goes when the process ends, however.
class LinuxInstanceLock final : public IInstanceLock {
  public:
    LinuxInstanceLock() = default;
    ~LinuxInstanceLock() override;
    LinuxInstanceLock(const LinuxInstanceLock&) = delete;
    LinuxInstanceLock& operator=(const LinuxInstanceLock&) = delete;

    // In the user's runtime folder (RuntimeDir).
    Result Acquire(const std::string& name, std::string* error = nullptr) override;
    // The same in the folder `dir`.
    Result AcquireIn(const std::string& dir, const std::string& name, std::string* error = nullptr);
    bool Held() const override { return m_fd >= 0; }
    void Release() override;

    // The user's runtime folder: $XDG_RUNTIME_DIR when set to an absolute path, else a private
    // folder $XDG_CACHE_HOME/voldrane/<host name> (default ~/.cache/voldrane/<host name>; made
    // with mode 0700; refused if someone else owns it, it is a link or it is open to others).
    // Empty with `error` set when there is none that is safe.
    static std::string RuntimeDir(std::string* error = nullptr);
    // Makes sure `path` is a folder of this user that nobody else can enter, creating it with
    // mode 0700 if missing.
    static bool EnsurePrivateDir(const std::string& path, std::string* error = nullptr);

  private:
    int m_fd = -1;
};

}  // namespace voldrane::platform::linux_os
