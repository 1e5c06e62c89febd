#pragma once

#include <memory>
#include <string>

#include "platform/InstanceLock.h"

namespace voldrane {

// Lets one copy of the program run per user: a named lock that the first copy holds for its
// whole life. The lock goes with the process, also when it is killed.
class CSingleInstance {
  public:
    // True when this copy may go on: it holds the lock, or no lock could be made at all (then
    // it runs unguarded, with a warning on stderr). False when another copy holds it.
    bool Create(int resourceId);

    // The lock's name: the first line of the resource string, followed by " Class".
    static std::string ClassName(int resourceId);

    std::string m_strClassName;

  private:
    std::unique_ptr<platform::IInstanceLock> m_lock = platform::CreateInstanceLock();
};

}  // namespace voldrane
