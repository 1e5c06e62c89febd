#pragma once

#include <string>

namespace voldrane::platform {

// A per-user named lock that lives exactly as long as the process that holds it (also when the
// process is killed), so a second copy of the program can tell that the first one runs.
class InstanceLock {
  public:
    enum class Result {
        Acquired,       // this process holds the lock now
        HeldElsewhere,  // another process holds it
        Failed,         // no lock could be made (see the error); nothing is held
    };

    InstanceLock() = default;
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // Takes the lock `name` in the user's runtime folder, without waiting.
    Result Acquire(const std::string& name, std::string* error = nullptr);
    // The same in the folder `dir`.
    Result AcquireIn(const std::string& dir, const std::string& name, std::string* error = nullptr);
    bool Held() const { return m_fd >= 0; }
    void Release();

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

}  // namespace voldrane::platform
