#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "app/CSingleInstance.h"
#include "platform/linux/LinuxInstanceLock.h"
#include "res/Strings.h"
#include "tests/support/TempFolder.h"

namespace voldrane {
namespace {

namespace fs = std::filesystem;
using platform::linux_os::LinuxInstanceLock;
using Result = platform::IInstanceLock::Result;

class InstanceLockTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = m_tmp.Path();
        for (const char* name : {"XDG_RUNTIME_DIR", "XDG_CACHE_HOME", "HOME"})
            if (const char* value = std::getenv(name)) saved[name] = value;
        setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
    }
    void TearDown() override {
        for (const char* name : {"XDG_RUNTIME_DIR", "XDG_CACHE_HOME", "HOME"}) {
            const auto it = saved.find(name);
            it != saved.end() ? setenv(name, it->second.c_str(), 1) : unsetenv(name);
        }
    }

    // Starts a child that takes the lock, tells us through a pipe, then waits to be killed.
    pid_t ChildHoldingLock() {
        int fds[2];
        EXPECT_EQ(pipe(fds), 0);
        const pid_t pid = fork();
        if (pid == 0) {
            close(fds[0]);
            const auto lock = platform::CreateInstanceLock();
            const char ok = lock->Acquire("Voldrane Class") == Result::Acquired ? '1' : '0';
            (void)!write(fds[1], &ok, 1);
            for (;;) pause();
        }
        close(fds[1]);
        char ok = 0;
        EXPECT_EQ(read(fds[0], &ok, 1), 1);
        close(fds[0]);
        EXPECT_EQ(ok, '1');
        return pid;
    }

    test::TempFolder m_tmp{"voldrane-locktest"};
    std::string dir;
    std::map<std::string, std::string> saved;
};

TEST_F(InstanceLockTest, SecondHolderIsToldAndMayTakeItAfterRelease) {
    const auto first = platform::CreateInstanceLock();
    const auto second = platform::CreateInstanceLock();
    EXPECT_EQ(first->Acquire("Voldrane Class"), Result::Acquired);
    EXPECT_TRUE(fs::exists(dir + "/Voldrane Class"));
    EXPECT_EQ(second->Acquire("Voldrane Class"), Result::HeldElsewhere);
    EXPECT_FALSE(second->Held());
    EXPECT_EQ(second->Acquire("Other Class"), Result::Acquired);  // names are separate
    first->Release();
    const auto third = platform::CreateInstanceLock();
    EXPECT_EQ(third->Acquire("Voldrane Class"), Result::Acquired);
}

TEST_F(InstanceLockTest, LockOfAnotherProcessHoldsUntilThatProcessIsKilled) {
    const pid_t child = ChildHoldingLock();
    const auto lock = platform::CreateInstanceLock();
    EXPECT_EQ(lock->Acquire("Voldrane Class"), Result::HeldElsewhere);
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_EQ(lock->Acquire("Voldrane Class"), Result::Acquired);
}

TEST_F(InstanceLockTest, SingleInstanceNamesTheLockAfterTheProgram) {
    EXPECT_EQ(CSingleInstance::ClassName(res::IDR_MAINFRAME), "Voldrane Class");
    EXPECT_EQ(CSingleInstance::ClassName(9999), " Class");  // a string that does not load
    CSingleInstance first;
    CSingleInstance second;
    EXPECT_TRUE(first.Create(res::IDR_MAINFRAME));
    EXPECT_FALSE(second.Create(res::IDR_MAINFRAME));
}

TEST_F(InstanceLockTest, UnusableRuntimeFolderLetsTheProgramGoOnUnguarded) {
    setenv("XDG_RUNTIME_DIR", (dir + "/missing").c_str(), 1);
    const auto lock = platform::CreateInstanceLock();
    std::string error;
    EXPECT_EQ(lock->Acquire("Voldrane Class", &error), Result::Failed);
    EXPECT_NE(error.find("missing"), std::string::npos) << error;
    CSingleInstance guard;
    EXPECT_TRUE(guard.Create(res::IDR_MAINFRAME));
}

TEST_F(InstanceLockTest, PrivateFolderIsMadeAndForeignOrOpenOnesAreRefused) {
    const std::string made = dir + "/private";
    ASSERT_TRUE(LinuxInstanceLock::EnsurePrivateDir(made));
    struct stat st {};
    ASSERT_EQ(stat(made.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_TRUE(LinuxInstanceLock::EnsurePrivateDir(made));  // existing and private: fine

    const std::string open = dir + "/open";
    ASSERT_EQ(mkdir(open.c_str(), 0700), 0);
    ASSERT_EQ(chmod(open.c_str(), 0777), 0);
    std::string error;
    EXPECT_FALSE(LinuxInstanceLock::EnsurePrivateDir(open, &error));
    EXPECT_NE(error.find("refusing"), std::string::npos);

    const std::string link = dir + "/link";
    ASSERT_EQ(symlink(made.c_str(), link.c_str()), 0);
    EXPECT_FALSE(LinuxInstanceLock::EnsurePrivateDir(link));

    if (getuid() == 0) {
        const std::string foreign = dir + "/foreign";
        ASSERT_EQ(mkdir(foreign.c_str(), 0700), 0);
        ASSERT_EQ(chown(foreign.c_str(), 65534, 65534), 0);
        EXPECT_FALSE(LinuxInstanceLock::EnsurePrivateDir(foreign));
    }
}

// Without XDG_RUNTIME_DIR the lock lives in the user's own cache folder, where nobody else can
// make the folder first; nothing is left in /tmp.
TEST_F(InstanceLockTest, RuntimeFolderFallsBackToAPrivateFolderInTheUsersCache) {
    EXPECT_EQ(LinuxInstanceLock::RuntimeDir(), dir);
    unsetenv("XDG_RUNTIME_DIR");
    char host[256] = {};
    ASSERT_EQ(gethostname(host, sizeof host - 1), 0);

    setenv("XDG_CACHE_HOME", (dir + "/cache").c_str(), 1);
    std::string error;
    EXPECT_EQ(LinuxInstanceLock::RuntimeDir(&error), dir + "/cache/voldrane/" + host) << error;
    setenv("XDG_CACHE_HOME", "relative/cache", 1);  // not absolute: not used
    setenv("HOME", (dir + "/nohome").c_str(), 1);   // a home folder is not made
    EXPECT_EQ(LinuxInstanceLock::RuntimeDir(&error), "");
    EXPECT_NE(error.find(dir + "/nohome/.cache"), std::string::npos) << error;
    setenv("HOME", (dir + "/home").c_str(), 1);
    ASSERT_EQ(mkdir((dir + "/home").c_str(), 0700), 0);
    const std::string expected = dir + "/home/.cache/voldrane/" + host;
    EXPECT_EQ(LinuxInstanceLock::RuntimeDir(&error), expected) << error;
    struct stat st {};
    ASSERT_EQ(lstat((dir + "/home/.cache").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);  // the folders below it are checked as they are used
    setenv("XDG_RUNTIME_DIR", "relative/path", 1);  // not absolute: not used
    EXPECT_EQ(LinuxInstanceLock::RuntimeDir(), expected);

    // The single instance holds there.
    CSingleInstance first;
    CSingleInstance second;
    EXPECT_TRUE(first.Create(res::IDR_MAINFRAME));
    EXPECT_FALSE(second.Create(res::IDR_MAINFRAME));
    EXPECT_TRUE(fs::exists(expected + "/Voldrane Class"));
}

}  // namespace
}  // namespace voldrane
