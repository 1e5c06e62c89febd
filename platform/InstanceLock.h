#pragma once

#include <memory>
#include <string>

namespace voldrane::platform {

// A per-user named lock that lives exactly as long as the process that holds it (also when the
// process is killed), so a second copy of the program can tell that the first one runs.
class IInstanceLock {
  public:
    enum class Result {
        Acquired,       // this process holds the lock now
        HeldElsewhere,  // another process holds it
        Failed,         // no lock could be made (see the error); nothing is held
    };

    virtual ~IInstanceLock() = default;

    // Takes the lock `name` for the current user, without waiting. A lock held already is
    // released first.
    virtual Result Acquire(const std::string& name, std::string* error = nullptr) = 0;
    virtual bool Held() const = 0;
    virtual void Release() = 0;
};

// The lock for the OS this program was built for; it holds nothing until Acquire.
std::unique_ptr<IInstanceLock> CreateInstanceLock();

}  // namespace voldrane::platform
