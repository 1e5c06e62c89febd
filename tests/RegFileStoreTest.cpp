// The settings file on real file systems: a temp folder per test, child processes for
// crashes and races, a private mount namespace for read-only and full file systems.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <future>
#include <random>
#include <set>
#include <sstream>
#include <thread>

#include "offices/CRegistry.h"
#include "offices/OfficeStore.h"
#include "offices/RegFile.h"
#include "platform/Platform.h"
#include "platform/linux/RegFileStore.h"
#include "tests/support/Offices.h"
#include "tests/support/TempFolder.h"

namespace voldrane {
namespace {

using platform::linux_os::RegFileStore;

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void WriteFileText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::vector<std::string> List(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* d = opendir(folder.c_str())) {
        while (const dirent* e = readdir(d))
            if (std::string(e->d_name) != "." && std::string(e->d_name) != "..")
                names.push_back(e->d_name);
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Every text of the office carries `tag`, so that a write torn between two offices shows.
COfficeNetwork Office(std::string key, const std::string& tag) {
    COfficeNetwork o = test::MakeOffice(std::move(key), "Office " + tag, "10.1.0.5",
                                        "Printer " + tag + std::string(200, '-'));  // long: tears
    for (int i = 0; i < 7; ++i) NetworkField(o.m_network, i) = tag + "." + std::to_string(i);
    return o;
}

bool IsWhole(const COfficeNetwork& o, const std::string& tag) {
    const COfficeNetwork want = Office(o.m_strKeyName, tag);
    return o.m_strOfficeName == want.m_strOfficeName && o.m_network == want.m_network &&
           o.m_strDefaultPrinter == want.m_strDefaultPrinter;
}

// Waits for a child with a time limit; kills it when the limit passes.
int WaitChild(pid_t pid, int seconds = 60) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > end) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Polls `condition` until it holds or 10 s have passed; says whether it held.
template <typename Condition>
bool WaitUntil(Condition condition) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Whether a thread of this process sleeps in the kernel: the file store pauses only between
// two attempts at its lock.
bool PausedBetweenLockAttempts(pid_t tid) {
    if (tid == 0) return false;
    std::ifstream f("/proc/self/task/" + std::to_string(tid) + "/syscall");
    long number = -1;
    f >> number;
    return number == SYS_clock_nanosleep || number == SYS_nanosleep;
}

class FileStoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // tmpfs keeps the many fsyncs cheap; rename and flock behave as on any local disk.
        m_tmp = std::make_unique<test::TempFolder>("voldrane-store", "/dev/shm");
        root = m_tmp->Path();
        folder = root + "/config/Kestamor";
        path = folder + "/Voldrane.reg";
    }
    COfficeList Load(RegFileStore& store) {
        CRegistry reg(store);
        COfficeList list;
        LoadOffices(reg, list);
        return list;
    }

    std::unique_ptr<test::TempFolder> m_tmp;
    std::string root, folder, path;
    std::ostringstream diagnostics;
};

TEST_F(FileStoreTest, PathFollowsXdgConfigHomeThenHome) {
    const char* oldXdg = std::getenv("XDG_CONFIG_HOME");
    const char* oldHome = std::getenv("HOME");
    const std::string savedXdg = oldXdg ? oldXdg : "", savedHome = oldHome ? oldHome : "";
    setenv("XDG_CONFIG_HOME", "/x/cfg", 1);
    setenv("HOME", "/home/u", 1);
    EXPECT_EQ(RegFileStore::DefaultPath(), "/x/cfg/Kestamor/Voldrane.reg");
    setenv("XDG_CONFIG_HOME", "relative/is/ignored", 1);
    EXPECT_EQ(RegFileStore::DefaultPath(), "/home/u/.config/Kestamor/Voldrane.reg");
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(RegFileStore::DefaultPath(), "/home/u/.config/Kestamor/Voldrane.reg");
    oldXdg ? setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1) : unsetenv("XDG_CONFIG_HOME");
    oldHome ? setenv("HOME", savedHome.c_str(), 1) : unsetenv("HOME");
}

TEST_F(FileStoreTest, FirstWriteMakesAPrivateFolderAndFile) {
    RegFileStore store(path, &diagnostics);
    EXPECT_TRUE(Load(store).IsEmpty());
    struct stat st;
    ASSERT_EQ(stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(ReadFile(path),
              "Windows Registry Editor Version 5.00\n\n"
              "[HKEY_CURRENT_USER\\SOFTWARE]\n\n"
              "[HKEY_CURRENT_USER\\SOFTWARE\\Kestamor]\n\n"
              "[HKEY_CURRENT_USER\\SOFTWARE\\Kestamor\\Voldrane]\n\n"
              "[HKEY_CURRENT_USER\\SOFTWARE\\Kestamor\\Voldrane\\Offices]\n\n");
    // Loading again changes nothing, so the file is not rewritten.
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    Load(store);
    struct stat again;
    ASSERT_EQ(stat(path.c_str(), &again), 0);
    EXPECT_EQ(again.st_ino, st.st_ino);
    EXPECT_EQ(List(folder), (std::vector<std::string>{"Voldrane.reg", "Voldrane.reg.lock"}));
}

TEST_F(FileStoreTest, ParsesOnceAndSeesOtherWriters) {
    {
        RegFileStore writer(path, &diagnostics);
        CRegistry reg(writer);
        for (int i = 0; i < 64; ++i)
            ASSERT_TRUE(SaveOffice(reg, Office(std::to_string(100 + i), "a")));
    }
    RegFileStore store(path, &diagnostics);
    EXPECT_EQ(Load(store).GetSize(), 64);
    EXPECT_EQ(store.ParseCount(), 1);

    RegFileStore other(path, &diagnostics);
    CRegistry otherReg(other);
    ASSERT_TRUE(SaveOffice(otherReg, Office("999", "b")));
    const COfficeList list = Load(store);
    ASSERT_EQ(list.GetSize(), 65);
    EXPECT_TRUE(IsWhole(list.ElementAt(64), "b"));
    EXPECT_EQ(store.ParseCount(), 2);
    EXPECT_TRUE(diagnostics.str().empty());
}

// A store copied from Windows (regedit /E: UTF-16LE, CRLF) stays in that form when it is
// written, and so does a UTF-8 one; a REGEDIT4 file, whose ANSI code page cannot hold every
// text, takes the registry editor's form. Other programs' data is read and written back as
// the registry editor reads it.
TEST_F(FileStoreTest, AStoreIsWrittenBackInTheFormItWasFoundIn) {
    const std::string office =
        "[HKEY_CURRENT_USER\\SOFTWARE\\Kestamor\\Voldrane\\Offices\\1]\n"
        "\"Office Name\"=\"Zürich Büro – 2F\"\n";
    const std::string other = "[HKEY_CURRENT_USER\\Software\\Other]\n\"Note\"=\"Line1\\nLine2\"\n";
    const std::string text = "Windows Registry Editor Version 5.00\n\n" + office + "\n" + other;
    const std::string ansi = "REGEDIT4\n\n" + office.substr(0, office.find("Z")) +
                             "Z\xFCrich B\xFCro \x96 2F\"\n\n" + other;
    const struct {
        std::string bytes;
        RegFileForm form;
    } cases[] = {
        {ConvertRegFile(text, kRegeditForm), kRegeditForm},
        {text, {RegFileEncoding::Utf8, false}},
        {ConvertRegFile(text, {RegFileEncoding::Utf8, true}), {RegFileEncoding::Utf8, true}},
        {ansi, kRegeditForm},
    };
    ASSERT_EQ(mkdir((root + "/config").c_str(), 0700), 0);
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes.substr(0, 12));
        WriteFileText(path, c.bytes);
        RegFileStore store(path, &diagnostics);
        CRegistry reg(store);
        ASSERT_TRUE(SaveOffice(reg, Office("2", "b")));
        const RegParseResult r = ParseRegFile(ReadFile(path));
        EXPECT_TRUE(r.issues.empty());
        EXPECT_EQ(r.form, c.form) << c.bytes.substr(0, 12);
        const COfficeList list = Load(store);
        ASSERT_EQ(list.GetSize(), 2);
        EXPECT_EQ(list.ElementAt(0).m_strOfficeName, "Zürich Büro – 2F");
        EXPECT_TRUE(IsWhole(list.ElementAt(1), "b"));
        const RegKey* key = FindUserKey(r.tree, "Software\\Other");
        ASSERT_NE(key, nullptr);
        const RegNamedValue* note = key->FindValue("Note");
        ASSERT_NE(note, nullptr);
        EXPECT_EQ(std::string(note->value.data.begin(), note->value.data.end()), "Line1\nLine2");
    }
    EXPECT_TRUE(diagnostics.str().empty()) << diagnostics.str();
}

// A load sees one state of the file: a rewrite by another process waits for its end, so no
// office can come in half old and half new.
TEST_F(FileStoreTest, ALoadSeesOneStateOfTheFile) {
    RegFileStore store(path, &diagnostics);
    CRegistry reg(store);
    ASSERT_TRUE(SaveOffice(reg, Office("100", "old")));

    // Outlive the session's scope: the writer thread runs on after it.
    std::atomic<pid_t> writer{0};
    std::atomic<bool> done{false};
    std::thread rewrite;
    // A failed assertion below returns early: the writer is still joined, after the session.
    struct Join {
        std::thread& t;
        ~Join() {
            if (t.joinable()) t.join();
        }
    } join{rewrite};
    {
        CRegistry::ReadSession session(reg);
        std::string name;
        ASSERT_TRUE(reg.ReadString(std::string(kOfficesKey) + "\\100", "Office Name", name));
        rewrite = std::thread([this, &writer, &done] {
            writer = gettid();
            RegFileStore other(path, &diagnostics);
            CRegistry otherReg(other);
            EXPECT_TRUE(RewriteOffice(otherReg, Office("100", "new")));
            done = true;
        });
        // The writer has tried the lock and been refused once it pauses before trying again
        // (the only pause on its way); a writer that ignored the lock would be done instead.
        ASSERT_TRUE(WaitUntil([&] { return done || PausedBetweenLockAttempts(writer); }));
        EXPECT_FALSE(done) << "the rewrite did not wait for the reading session";
        const COfficeList during = Load(store);
        ASSERT_EQ(during.GetSize(), 1);
        EXPECT_TRUE(IsWhole(during.ElementAt(0), "old"));
    }
    rewrite.join();
    const COfficeList after = Load(store);
    ASSERT_EQ(after.GetSize(), 1);
    EXPECT_TRUE(IsWhole(after.ElementAt(0), "new"));
}

// A writer killed at any moment leaves the old file or the new one: the file always parses,
// and every office the writer reported saved is there, whole.
TEST_F(FileStoreTest, KilledWriterNeverTearsTheFile) {
    std::mt19937 random(12345);
    std::set<std::string> saved;
    int next = 0;
    for (int round = 0; round < 40; ++round) {
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            close(fds[0]);
            RegFileStore store(path, &diagnostics);
            CRegistry reg(store);
            for (int i = next;; ++i) {
                const std::string key = std::to_string(1000000 + i);
                if (!SaveOffice(reg, Office(key, key))) _exit(3);
                const std::string line = key + "\n";
                if (write(fds[1], line.data(), line.size()) < 0) _exit(4);
            }
        }
        close(fds[1]);
        // The kill comes at a random point after the first save: counted from the fork, a
        // slow start (a sanitizer build's child faults in its shadow memory) could use up the
        // whole delay, and no round would then kill a writer mid-save.
        std::string reported;
        char buf[4096];
        if (const ssize_t n = read(fds[0], buf, sizeof buf); n > 0)
            reported.append(buf, static_cast<size_t>(n));
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 10000));
        kill(pid, SIGKILL);
        EXPECT_EQ(WaitChild(pid), 128 + SIGKILL);
        for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;)
            reported.append(buf, static_cast<size_t>(n));
        close(fds[0]);
        std::istringstream lines(reported);
        for (std::string key; std::getline(lines, key);)
            saved.insert(key), next = std::stoi(key) - 1000000 + 1;
        next += 1;  // an office that was being saved when the kill came may or may not be there

        const RegParseResult parsed = ParseRegFile(ReadFile(path));
        if (saved.empty() && ReadFile(path).empty()) continue;
        ASSERT_TRUE(parsed.issues.empty())
            << "round " << round << ", line " << parsed.issues[0].line;
        MemoryRegistryStore copy(parsed.tree);
        CRegistry reg(copy);
        COfficeList list;
        LoadOffices(reg, list);
        std::set<std::string> present;
        for (int i = 0; i < list.GetSize(); ++i) {
            const COfficeNetwork& o = list.ElementAt(i);
            EXPECT_TRUE(IsWhole(o, o.m_strKeyName)) << o.m_strKeyName;
            present.insert(o.m_strKeyName);
        }
        for (const auto& key : saved)
            ASSERT_TRUE(present.count(key)) << "lost " << key << " in round " << round;
    }
    EXPECT_GT(saved.size(), 40u);  // the writer did get work done between kills
    // The next writer clears what the killed ones left behind.
    RegFileStore store(path, &diagnostics);
    CRegistry reg(store);
    ASSERT_TRUE(SaveOffice(reg, Office("1", "1")));
    EXPECT_EQ(List(folder), (std::vector<std::string>{"Voldrane.reg", "Voldrane.reg.lock"}));
}

TEST_F(FileStoreTest, TwoProcessesAddingAtOnceLoseNothing) {
    pid_t pids[2];
    for (pid_t& pid : pids) {
        pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            RegFileStore store(path, &diagnostics);
            CRegistry reg(store);
            for (int i = 0; i < 200; ++i) {
                COfficeNetwork o = Office("", std::to_string(getpid()) + "-" + std::to_string(i));
                if (!AddOffice(reg, o)) _exit(3);
            }
            _exit(0);
        }
    }
    for (pid_t pid : pids) EXPECT_EQ(WaitChild(pid), 0);
    RegFileStore store(path, &diagnostics);
    const COfficeList list = Load(store);
    ASSERT_EQ(list.GetSize(), 400);
    std::set<std::string> names;
    for (int i = 0; i < list.GetSize(); ++i) names.insert(list.ElementAt(i).m_strOfficeName);
    EXPECT_EQ(names.size(), 400u);
}

TEST_F(FileStoreTest, UnreadableLinesAreReportedOnceAndTheOriginalIsKept) {
    ASSERT_EQ(std::system(("mkdir -p '" + folder + "'").c_str()), 0);
    const std::string original =
        "Windows Registry Editor Version 5.00\n\n"
        "[HKEY_CURRENT_USER\\SOFTWARE\\Kestamor\\Voldrane\\Offices\\3FF36300]\n"
        "\"Office Name\"=\"Head office\"\n"
        "\"IP Address\"=\"10.0.0.1\n"
        "this line is damaged\n"
        "\"Default Printer\"=\"Laser\"\n";
    WriteFileText(path, original);

    RegFileStore store(path, &diagnostics);
    COfficeList list = Load(store);  // nothing changes: no rewrite, no backup yet
    ASSERT_EQ(list.GetSize(), 1);
    EXPECT_EQ(list.ElementAt(0).m_strOfficeName, "Head office");
    EXPECT_EQ(list.ElementAt(0).m_strDefaultPrinter, "Laser");
    EXPECT_EQ(list.ElementAt(0).m_network.m_strIPAddress, "");
    Load(store);
    const std::string report = diagnostics.str();
    EXPECT_NE(report.find(path + ":5: "), std::string::npos) << report;
    EXPECT_NE(report.find(path + ":6: "), std::string::npos) << report;
    EXPECT_EQ(report.find("could not be read"), report.rfind("could not be read"));  // once
    EXPECT_EQ(ReadFile(path), original);

    CRegistry reg(store);
    ASSERT_TRUE(SaveOffice(reg, Office("40000000", "x")));
    ASSERT_TRUE(SaveOffice(reg, Office("40000001", "y")));
    std::vector<std::string> backups;
    for (const auto& name : List(folder))
        if (name.rfind("Voldrane.reg.bak-", 0) == 0) backups.push_back(name);
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_EQ(backups[0].size(), std::string("Voldrane.reg.bak-20261207T063401Z").size())
        << backups[0];
    EXPECT_EQ(ReadFile(folder + "/" + backups[0]), original);
    EXPECT_TRUE(ParseRegFile(ReadFile(path)).issues.empty());
    EXPECT_EQ(Load(store).GetSize(), 3);
}

// A store a hostile hand made: a key path far deeper than the registry allows and thousands
// of unreadable lines. The offices are read, the report stays short, and a save works.
TEST_F(FileStoreTest, HostileStoreIsReadAndReportedBriefly) {
    ASSERT_EQ(std::system(("mkdir -p '" + folder + "'").c_str()), 0);
    std::string original = "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER";
    for (int i = 0; i < 500000; ++i) original += "\\a";
    original += "]\n";
    for (int i = 0; i < 5000; ++i) original += "junk\n";
    original +=
        "[HKEY_CURRENT_USER\\SOFTWARE\\Kestamor\\Voldrane\\Offices\\3FF36300]\n"
        "\"Office Name\"=\"Head office\"\n";
    WriteFileText(path, original);

    RegFileStore store(path, &diagnostics);
    COfficeList list = Load(store);
    ASSERT_EQ(list.GetSize(), 1);
    EXPECT_EQ(list.ElementAt(0).m_strOfficeName, "Head office");
    const std::string report = diagnostics.str();
    EXPECT_NE(report.find(": 5001 lines could not be read"), std::string::npos) << report;
    EXPECT_NE(report.find(path + ": ... and 4901 more lines that cannot be read\n"),
              std::string::npos);
    EXPECT_LE(std::count(report.begin(), report.end(), '\n'), 103);
    EXPECT_LT(report.size(), 20000u);

    CRegistry reg(store);
    ASSERT_TRUE(SaveOffice(reg, Office("40000000", "x")));
    EXPECT_EQ(ParseRegFile(ReadFile(path)).issueCount, 0u);
    EXPECT_EQ(Load(store).GetSize(), 2);
}

TEST_F(FileStoreTest, UnreadableStoreIsReportedNotTakenForEmpty) {
    ASSERT_EQ(std::system(("mkdir -p '" + path + "'").c_str()),
              0);  // a folder where the file belongs
    RegFileStore store(path, &diagnostics);
    EXPECT_FALSE(store.KeyExists(kOfficesKey));
    EXPECT_NE(store.ReadError().find("cannot read " + path), std::string::npos)
        << store.ReadError();
    CRegistry reg(store);
    EXPECT_FALSE(reg.CreateKey(kOfficesKey));
    EXPECT_NE(reg.LastError().find(path), std::string::npos);
}

TEST_F(FileStoreTest, FifoOrEndlessDeviceInThePlaceOfTheFileIsReportedAtOnce) {
    ASSERT_EQ(std::system(("mkdir -p '" + folder + "'").c_str()), 0);
    for (const bool fifo : {true, false}) {
        SCOPED_TRACE(fifo ? "FIFO" : "link to /dev/zero");
        unlink(path.c_str());
        ASSERT_EQ(fifo ? mkfifo(path.c_str(), 0600) : symlink("/dev/zero", path.c_str()), 0);
        // Opening a FIFO would wait for a writer, reading /dev/zero would never end.
        RegFileStore store(path, &diagnostics);
        EXPECT_FALSE(store.KeyExists(kOfficesKey));
        EXPECT_EQ(store.ReadError(), "cannot read " + path + ": not a regular file");
        CRegistry reg(store);
        EXPECT_FALSE(reg.CreateKey(kOfficesKey));
        struct stat st;
        ASSERT_EQ(lstat(path.c_str(), &st), 0);
        EXPECT_TRUE(fifo ? S_ISFIFO(st.st_mode) : S_ISLNK(st.st_mode));
    }
}

// A store linked into place (a dotfiles set-up) stays a link: saves make or replace the file
// it leads to, also through a chain of relative links.
TEST_F(FileStoreTest, ALinkedStoreIsWrittenWhereTheLinkLeads) {
    const std::string dotfiles = root + "/dotfiles";
    ASSERT_EQ(std::system(("mkdir -p '" + folder + "' '" + dotfiles + "/sub'").c_str()), 0);
    ASSERT_EQ(symlink("sub/voldrane.reg", (dotfiles + "/hop").c_str()), 0);
    ASSERT_EQ(symlink("../../dotfiles/hop", path.c_str()), 0);
    {
        RegFileStore store(path, &diagnostics);
        CRegistry reg(store);
        ASSERT_TRUE(SaveOffice(reg, Office("100", "a")));  // makes the file
        ASSERT_TRUE(SaveOffice(reg, Office("200", "b")));  // replaces it
    }
    struct stat st;
    ASSERT_EQ(lstat(path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    RegFileStore target(dotfiles + "/sub/voldrane.reg", &diagnostics);
    const COfficeList list = Load(target);
    ASSERT_EQ(list.GetSize(), 2);
    EXPECT_TRUE(IsWhole(list.ElementAt(1), "b"));
    EXPECT_EQ(List(dotfiles + "/sub"),  // and no temp file is left there
              (std::vector<std::string>{"voldrane.reg", "voldrane.reg.lock"}));
}

// Another process that keeps the lock (stopped, hung) costs a read or a write a bounded wait,
// and the failure names it.
TEST_F(FileStoreTest, AHeldLockCostsABoundedWaitAndNamesItsHolder) {
    {
        RegFileStore store(path, &diagnostics);
        CRegistry reg(store);
        ASSERT_TRUE(SaveOffice(reg, Office("100", "a")));
    }
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t holder = fork();
    if (holder == 0) {
        const int fd = open((path + ".lock").c_str(), O_RDWR | O_CLOEXEC);
        (void)!write(fds[1], fd >= 0 && flock(fd, LOCK_EX) == 0 ? "1" : "0", 1);
        for (;;) pause();
    }
    char ok = 0;
    EXPECT_EQ(read(fds[0], &ok, 1), 1);
    close(fds[0]);
    close(fds[1]);
    ASSERT_EQ(ok, '1');
    std::string name;
    std::getline(std::ifstream("/proc/" + std::to_string(holder) + "/comm"), name);

    auto errors = std::async(std::launch::async, [this] {
        RegFileStore store(path, &diagnostics);
        store.SetLockWait(std::chrono::milliseconds(300));
        const bool none = Load(store).IsEmpty();
        CRegistry reg(store);
        const bool saved = SaveOffice(reg, Office("200", "b"));
        return std::make_pair(none ? store.ReadError() : "", saved ? "" : reg.LastError());
    });
    // Bounded in the store: this wait only keeps a hang from hanging the test.
    const bool ended = errors.wait_for(std::chrono::seconds(60)) == std::future_status::ready;
    kill(holder, SIGKILL);
    waitpid(holder, nullptr, 0);
    ASSERT_TRUE(ended) << "a read waited for the lock without bound";
    const auto [readError, writeError] = errors.get();
    const std::string held = ": its lock file " + path + ".lock is held by another program " +
                             "(process " + std::to_string(holder) + ", " + name +
                             "); gave up after 300 ms";
    EXPECT_EQ(readError, "cannot read " + path + held);
    EXPECT_NE(writeError.find("cannot write " + path + held), std::string::npos) << writeError;
    RegFileStore store(path, &diagnostics);
    EXPECT_EQ(Load(store).GetSize(), 1);  // the holder gone, all is as it was
}

// Runs `body` in a child with its own mount namespace in which `mountPoint` is a small tmpfs
// set up by `prepare` and then remounted with `remountFlags`. Returns the child's status.
template <typename Prepare, typename Body>
int InPrivateMount(const std::string& mountPoint, const char* options, Prepare prepare,
                   unsigned long remountFlags, Body body) {
    const pid_t pid = fork();
    if (pid < 0) return -2;
    if (pid == 0) {
        if (unshare(CLONE_NEWNS) != 0) _exit(90);
        if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) _exit(91);
        if (mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, options) != 0) _exit(92);
        if (!prepare()) _exit(93);
        if (remountFlags &&
            mount(nullptr, mountPoint.c_str(), nullptr, MS_REMOUNT | remountFlags, options) != 0)
            _exit(94);
        _exit(body() ? 0 : 1);
    }
    return WaitChild(pid);
}

TEST_F(FileStoreTest, ReadOnlyPlaceGivesFalseAndTheReasonAndChangesNothing) {
    ASSERT_EQ(geteuid(), 0u) << "needs root for a private read-only mount";
    const std::string mnt = root + "/ro";
    ASSERT_EQ(mkdir(mnt.c_str(), 0700), 0);
    const std::string file = mnt + "/Kestamor/Voldrane.reg";
    std::string before;
    const int status = InPrivateMount(
        mnt, "size=1m",
        [&] {
            RegFileStore store(file, &diagnostics);
            CRegistry reg(store);
            if (!SaveOffice(reg, Office("3FF36300", "a"))) return false;
            before = ReadFile(file);
            return true;
        },
        MS_RDONLY,
        [&] {
            RegFileStore store(file, &diagnostics);
            CRegistry reg(store);
            std::string error;
            bool ok = true;
            ok &= Load(store).GetSize() == 1;  // reading still works; nothing to change
            ok &= !SaveOffice(reg, Office("3FF36301", "b"), &error);
            ok &= error.find("Read-only file system") != std::string::npos;
            ok &= error.find(file) != std::string::npos;
            ok &= !WriteAutoDetect(reg, false, &error);
            ok &= ReadFile(file) == before;
            ok &= Load(store).GetSize() == 1;
            if (!ok) std::fprintf(stderr, "error text: %s\n", error.c_str());
            return ok;
        });
    EXPECT_EQ(status, 0);
}

TEST_F(FileStoreTest, FullDiskGivesFalseAndLeavesNoTrace) {
    ASSERT_EQ(geteuid(), 0u) << "needs root for a private tmpfs";
    const std::string mnt = root + "/ro";
    ASSERT_EQ(mkdir(mnt.c_str(), 0700), 0);
    const std::string file = mnt + "/Kestamor/Voldrane.reg";
    const int status = InPrivateMount(
        mnt, "size=64k", [] { return true; }, 0,
        [&] {
            RegFileStore store(file, &diagnostics);
            CRegistry reg(store);
            if (!SaveOffice(reg, Office("3FF36300", "a"))) return false;
            const std::string before = ReadFile(file);
            // Fill the rest of the file system.
            {
                std::ofstream filler(mnt + "/filler", std::ios::binary);
                const std::string block(4096, 'f');
                for (int i = 0; i < 64 && filler; ++i) filler << block << std::flush;
            }
            COfficeNetwork big = Office("3FF36301", "b");
            big.m_strOfficeName = std::string(60000, 'n');
            std::string error;
            bool ok = !SaveOffice(reg, big, &error);
            ok &= error.find("No space left on device") != std::string::npos;
            ok &= ReadFile(file) == before;
            ok &= List(mnt + "/Kestamor") ==
                  std::vector<std::string>{"Voldrane.reg", "Voldrane.reg.lock"};
            ok &= Load(store).GetSize() == 1;
            if (!ok) std::fprintf(stderr, "error text: %s\n", error.c_str());
            return ok;
        });
    EXPECT_EQ(status, 0);
}

}  // namespace
}  // namespace voldrane
