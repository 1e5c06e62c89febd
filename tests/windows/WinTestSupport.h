#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Helpers of the Windows tests: child processes of the test program itself (TestMain.cpp
// runs the child's part when it is given a role), named events to wait on, and private
// registry roots.
namespace voldrane::wintest {

// A child of this test program running `role` with `args`; killed and closed when it goes.
class Child {
  public:
    Child(const std::string& role, const std::vector<std::string>& args);
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    bool Started() const { return m_process != nullptr; }
    void Kill();
    // Its exit status once it has ended (within `ms`); -1 when it has not.
    int Wait(DWORD ms = 60000);

  private:
    HANDLE m_process = nullptr;
};

// A named event, unique to this process and `tag`, for a child to say it got somewhere.
std::string EventName(const std::string& tag);
HANDLE MakeEvent(const std::string& name);
// Opens and sets the event (in a child).
void SignalEvent(const std::string& name);

// A registry root of its own under HKEY_CURRENT_USER, removed when it goes.
class RegistryRoot {
  public:
    explicit RegistryRoot(const std::string& tag);
    ~RegistryRoot();
    RegistryRoot(const RegistryRoot&) = delete;
    RegistryRoot& operator=(const RegistryRoot&) = delete;
    const std::string& Path() const { return m_path; }

  private:
    std::string m_path;
};

// The instance lock's child: takes the lock `name`, signals `event`, waits to be killed.
int RunLockHolder(const std::string& name, const std::string& event);

// A child's part: returns its exit status. Defined in the test files; TestMain dispatches.
int RunChildRole(const std::string& role, const std::vector<std::string>& args);

}  // namespace voldrane::wintest
