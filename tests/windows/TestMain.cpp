// The Windows tests' main: GoogleTest, or a child's part when started as
// "PROGRAM --child ROLE ARGS..." by a test (WinTestSupport.h).
#include <gtest/gtest.h>

#include "platform/Console.h"
#include "platform/windows/WinText.h"
#include "tests/windows/WinTestSupport.h"

namespace voldrane::wintest {

using platform::windows_os::Widen;

namespace {

std::wstring Quoted(const std::string& arg) {
    // Arguments here hold no quotes or trailing backslashes.
    return L"\"" + Widen(arg) + L"\"";
}

}  // namespace

Child::Child(const std::string& role, const std::vector<std::string>& args) {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(self) + L"\" --child " + Quoted(role);
    for (const auto& arg : args) command += L" " + Quoted(arg);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                       &pi)) {
        CloseHandle(pi.hThread);
        m_process = pi.hProcess;
    }
}

Child::~Child() {
    Kill();
    if (m_process) CloseHandle(m_process);
}

void Child::Kill() {
    if (!m_process) return;
    TerminateProcess(m_process, 9);
    WaitForSingleObject(m_process, 30000);
}

int Child::Wait(DWORD ms) {
    if (!m_process || WaitForSingleObject(m_process, ms) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(m_process, &code);
    return static_cast<int>(code);
}

std::string EventName(const std::string& tag) {
    return "Local\\voldrane-test-" + std::to_string(GetCurrentProcessId()) + "-" + tag;
}

HANDLE MakeEvent(const std::string& name) {
    return CreateEventW(nullptr, TRUE, FALSE, Widen(name).c_str());
}

void SignalEvent(const std::string& name) {
    HANDLE e = OpenEventW(EVENT_MODIFY_STATE, FALSE, Widen(name).c_str());
    if (e) {
        SetEvent(e);
        CloseHandle(e);
    }
}

RegistryRoot::RegistryRoot(const std::string& tag)
    : m_path("SOFTWARE\\VoldraneTests\\" + std::to_string(GetCurrentProcessId()) + "-" + tag) {
    RegDeleteTreeW(HKEY_CURRENT_USER, Widen(m_path).c_str());
}

RegistryRoot::~RegistryRoot() {
    RegDeleteTreeW(HKEY_CURRENT_USER, Widen(m_path).c_str());
}

}  // namespace voldrane::wintest

int main(int argc, char** argv) {
    const auto args = voldrane::platform::ProgramArguments(argc, argv);
    if (args.size() >= 2 && args[0] == "--child")
        return voldrane::wintest::RunChildRole(args[1], {args.begin() + 2, args.end()});
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
