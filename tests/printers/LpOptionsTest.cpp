// Setting the default printer edits the user's lpoptions: only the Default line changes, the
// lines of other servers' queues stay byte for byte, the file is replaced at once, and the
// server is asked one question.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include <cups/cups.h>

#include "platform/linux/CupsSpooler.h"
#include "platform/linux/HelperSpooler.h"
#include "tests/printers/CupsTest.h"

namespace voldrane::test {
namespace {

namespace fs = std::filesystem;
using platform::linux_os::CupsSpooler;
using platform::linux_os::HelperSpooler;

std::string Home() {
    return getenv("HOME");
}

std::string Options() {
    return Home() + "/.cups/lpoptions";
}

std::string Read(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

void Write(const std::string& path, const std::string& text) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

// Another office's queues (not on this server), an instance of one, comments, odd spacing
// and case, and no newline at the end: all of it is the user's and must stay.
const std::string kOtherOffice =
    "Dest OfficeB-Laser sides=two-sided-long-edge\n"
    "Dest OfficeB-Laser/duplex  sides=two-sided-long-edge\tmedia=iso_a4_210x297mm\n"
    "# kept by hand\n";

TEST_F(CupsTest, SettingTheDefaultChangesOnlyTheDefaultLine) {
    AddQueues({"Zeta", "office_b"});
    Write(Options(), kOtherOffice +
                         "Default OfficeB-Color\n"
                         "Dest office_b/draft sides=one-sided\n"
                         "dest   zeta print-quality=5");
    CupsSpooler spooler;
    std::string error;

    // A Dest line becomes the Default line with its options; the old default, a bare name,
    // goes.
    ASSERT_TRUE(spooler.SetDefaultPrinter("Zeta", &error)) << error;
    EXPECT_EQ(Read(Options()), kOtherOffice +
                                   "Dest office_b/draft sides=one-sided\n"
                                   "Default   zeta print-quality=5");
    EXPECT_EQ(LpstatDefault(), "system default destination: Zeta");

    // The old default keeps its options as a Dest line.
    ASSERT_TRUE(spooler.SetDefaultPrinter("office_b/draft", &error)) << error;
    EXPECT_EQ(Read(Options()), kOtherOffice +
                                   "Default office_b/draft sides=one-sided\n"
                                   "Dest   zeta print-quality=5");

    // Refused without a change: an instance nobody defined, another office's queue.
    EXPECT_FALSE(spooler.SetDefaultPrinter("office_b/nosuch", &error));
    EXPECT_FALSE(spooler.SetDefaultPrinter("OfficeB-Laser/duplex", &error));
    EXPECT_EQ(error, "no printer named \"OfficeB-Laser/duplex\" on the print server");

    // Back in the other office: its instance is still there, with its options.
    AddQueues({"OfficeB-Laser"});
    ASSERT_TRUE(spooler.SetDefaultPrinter("OfficeB-Laser/duplex", &error)) << error;
    EXPECT_EQ(Read(Options()),
              "Dest OfficeB-Laser sides=two-sided-long-edge\n"
              "Default OfficeB-Laser/duplex  sides=two-sided-long-edge\tmedia=iso_a4_210x297mm\n"
              "# kept by hand\n"
              "Dest office_b/draft sides=one-sided\n"
              "Dest   zeta print-quality=5");
    EXPECT_EQ(LpstatDefault(), "system default destination: OfficeB-Laser/duplex");
    const auto opts = RunProcess({"/usr/bin/lpoptions", "-p", "OfficeB-Laser/duplex"});
    EXPECT_NE(opts.out.find("media=iso_a4_210x297mm"), std::string::npos) << opts.out;
}

TEST_F(CupsTest, SettingTheDefaultWritesThroughALinkAndKeepsPermissions) {
    AddQueues({"Zeta"});
    const std::string target = Home() + "/dotfiles/cups-options";
    Write(target, kOtherOffice);
    ASSERT_EQ(chmod(target.c_str(), 0600), 0);
    fs::create_directories(Home() + "/.cups");
    fs::create_symlink("../dotfiles/cups-options", Options());

    CupsSpooler spooler;
    std::string error;
    ASSERT_TRUE(spooler.SetDefaultPrinter("Zeta", &error)) << error;
    EXPECT_TRUE(fs::is_symlink(Options()));
    EXPECT_EQ(Read(target), kOtherOffice + "Default Zeta\n");
    struct stat st;
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(LpstatDefault(), "system default destination: Zeta");
}

size_t LogLines() {
    const std::string log = Read(g_cupsd->Dir() + "/log/access_log");
    return static_cast<size_t>(std::count(log.begin(), log.end(), '\n'));
}

// The operations cupsd logged from line `from` of its access log up to a CUPS-Get-Classes
// that this asks for as a marker; `next` is the line after the marker. cupsd serves clients
// one at a time, so every request of a client that is done is logged before the marker.
std::vector<std::string> OperationsUntilMarker(size_t from, size_t* next) {
    ipp_t* marker = cupsDoRequest(CUPS_HTTP_DEFAULT, ippNewRequest(IPP_OP_CUPS_GET_CLASSES), "/");
    ippDelete(marker);
    std::vector<std::string> ops;
    for (int tries = 0; tries < 1000; ++tries) {
        ops.clear();
        std::istringstream log(Read(g_cupsd->Dir() + "/log/access_log"));
        size_t n = 0;
        for (std::string line; std::getline(log, line); ++n) {
            if (n < from) continue;
            std::istringstream words(line.substr(line.rfind('"') + 1));
            std::string status, bytes, op;
            words >> status >> bytes >> op;
            if (op == "CUPS-Get-Classes") {
                *next = n + 1;
                return ops;
            }
            ops.push_back(op);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ADD_FAILURE() << "the marker request never reached the access log";
    return ops;
}

TEST_F(CupsTest, SettingTheDefaultAsksTheServerOnce) {
    AddQueues({"Zeta", "office_b"});
    size_t from = 0;
    (void)OperationsUntilMarker(LogLines(), &from);  // past the set-up's requests
    CupsSpooler spooler;
    std::string error;
    for (const std::string name : {"Zeta", "office_b", "Gone"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(spooler.SetDefaultPrinter(name, &error), name != "Gone") << error;
        EXPECT_EQ(OperationsUntilMarker(from, &from),
                  std::vector<std::string>{"Get-Printer-Attributes"});
    }
}

// The tray program's helper killed while it writes the options (a slow home folder held it
// past the bound): the file is whole, as it was, and the next apply clears what it left.
TEST_F(CupsTest, KilledApplyLeavesTheOptionsWhole) {
    AddQueues({"Zeta"});
    const std::string before = kOtherOffice + "Default OfficeB-Laser\n";
    Write(Options(), before);

    setenv("LD_PRELOAD", STALL_OPTIONS_WRITE, 1);
    setenv("STALL_OPTIONS_DIR", g_cupsd->Dir().c_str(), 1);
    HelperSpooler stalled(VOLDRANECTL, std::chrono::milliseconds(3000));
    std::string error;
    const bool ok = stalled.SetDefaultPrinter("Zeta", &error);
    unsetenv("LD_PRELOAD");
    unsetenv("STALL_OPTIONS_DIR");
    EXPECT_FALSE(ok);
    EXPECT_EQ(error.rfind("the print server did not answer in time", 0), 0u) << error;

    bool stalledInWrite = false;
    for (const auto& entry : fs::directory_iterator(g_cupsd->Dir()))
        stalledInWrite |= entry.path().filename().string().rfind("stalled-", 0) == 0;
    ASSERT_TRUE(stalledInWrite) << "the helper was not stopped while writing";
    EXPECT_EQ(Read(Options()), before);

    HelperSpooler helper(VOLDRANECTL);
    ASSERT_TRUE(helper.SetDefaultPrinter("Zeta", &error)) << error;
    EXPECT_EQ(Read(Options()), kOtherOffice + "Default Zeta\n");
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(Home() + "/.cups"))
        left.push_back(entry.path().filename());
    EXPECT_EQ(left, std::vector<std::string>{"lpoptions"});
}

}  // namespace
}  // namespace voldrane::test
