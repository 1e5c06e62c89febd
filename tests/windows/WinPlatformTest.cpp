// The smaller Windows services: the single-instance mutex between processes, calls bounded
// in time, the OS's error texts, and the UTF-8 arguments of a program started with UTF-16.
#include <gtest/gtest.h>

#include <condition_variable>
#include <fstream>
#include <mutex>

#include "platform/Autostart.h"
#include "platform/Bounded.h"
#include "platform/Console.h"
#include "platform/InstanceLock.h"
#include "platform/ProgramFiles.h"
#include "platform/windows/WinText.h"
#include "tests/windows/WinTestSupport.h"

namespace voldrane::wintest {

using platform::IInstanceLock;

int RunLockHolder(const std::string& name, const std::string& event) {
    auto lock = platform::CreateInstanceLock();
    if (lock->Acquire(name) != IInstanceLock::Result::Acquired) return 3;
    SignalEvent(event);
    Sleep(INFINITE);
    return 0;
}

namespace {

TEST(WinInstanceLock, ASecondProcessFindsTheLockHeldUntilTheFirstIsKilled) {
    const std::string name = "Voldrane Class test " + std::to_string(GetCurrentProcessId());
    const std::string event = EventName("lock");
    HANDLE held = MakeEvent(event);
    Child first("hold-lock", {name, event});
    ASSERT_EQ(WaitForSingleObject(held, 60000), WAIT_OBJECT_0);

    auto lock = platform::CreateInstanceLock();
    std::string error;
    EXPECT_EQ(lock->Acquire(name, &error), IInstanceLock::Result::HeldElsewhere) << error;
    EXPECT_FALSE(lock->Held());
    first.Kill();
    EXPECT_EQ(lock->Acquire(name, &error), IInstanceLock::Result::Acquired) << error;
    EXPECT_TRUE(lock->Held());
    lock->Release();
    EXPECT_FALSE(lock->Held());
    CloseHandle(held);
}

TEST(RunBounded, GivesTheAnswerOrAbandonsACallThatDoesNotReturn) {
    EXPECT_EQ(platform::RunBounded(std::chrono::seconds(30), [] { return 42; }), 42);

    // A call that never returns (a print server that stopped answering).
    struct Gate {
        std::mutex mutex;
        std::condition_variable open;
        bool opened = false;
    };
    auto gate = std::make_shared<Gate>();
    const auto answer = platform::RunBounded(std::chrono::milliseconds(200), [gate] {
        std::unique_lock<std::mutex> lock(gate->mutex);
        gate->open.wait(lock, [&] { return gate->opened; });
        return 1;
    });
    EXPECT_FALSE(answer);
    {
        std::lock_guard<std::mutex> lock(gate->mutex);
        gate->opened = true;
    }
    gate->open.notify_all();
}

TEST(WinText, ErrorsReadAsTheOsWordsThem) {
    const std::string text = platform::windows_os::ErrorText(ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(text.empty());
    EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find_first_not_of("0123456789 "), std::string::npos) << text;
    EXPECT_EQ(platform::windows_os::ErrorText(0xDEADBEEF), "error 3735928559");
}

// The Run value the Settings app's Startup page lists: the program quoted, for paths with
// spaces; switching off twice is no error.
TEST(WinAutostart, RunValueStartsTheProgramQuoted) {
    const std::string program = "C:\\Program Files\\Völdrane\\voldrane.exe";
    std::string error;
    ASSERT_TRUE(platform::SetAutostart(true, program, &error)) << error;
    EXPECT_TRUE(platform::AutostartEnabled());
    wchar_t value[MAX_PATH];
    DWORD size = sizeof value;
    ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                           L"Voldrane", RRF_RT_REG_SZ, nullptr, value, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(std::wstring(value), L"\"" + platform::windows_os::Widen(program) + L"\"");
    ASSERT_TRUE(platform::SetAutostart(false, program, &error)) << error;
    EXPECT_FALSE(platform::AutostartEnabled());
    EXPECT_TRUE(platform::SetAutostart(false, program, &error)) << error;
}

// The tests run from the build tree (through Wine's Z: drive): its voldranectl.exe is found,
// and a folder outside it is not taken for it.
TEST(WinProgramFiles, TheBuildTreeIsRecognisedThroughItsDrivePath) {
    const std::string self = platform::ProgramFolder();
    ASSERT_FALSE(self.empty());
    EXPECT_TRUE(platform::InBuildTree(self)) << self;
    const std::string found = platform::FindVoldranectl(self);
    EXPECT_NE(found.find("voldranectl.exe"), std::string::npos) << found;
    EXPECT_FALSE(platform::InBuildTree("C:\\windows")) << "C:\\windows";
}

TEST(WinConsole, ArgumentsArriveAsUtf8WhateverTheCodePage) {
    const std::string file = "args-" + std::to_string(GetCurrentProcessId()) + ".txt";
    const std::string name = "Zürich Büro – 東京";
    Child child("echo-args", {file, name});
    ASSERT_EQ(child.Wait(), 0);
    std::ifstream in(platform::windows_os::Widen(file).c_str(), std::ios::binary);
    std::string got((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    DeleteFileW(platform::windows_os::Widen(file).c_str());
    EXPECT_EQ(got, name);
}

}  // namespace

}  // namespace voldrane::wintest
