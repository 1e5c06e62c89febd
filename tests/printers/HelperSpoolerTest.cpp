// The tray program's spooler, which asks voldranectl, against the in-process CUPS spooler:
// the same answers and error texts from the private cupsd, and every way the helper can fail.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/Platform.h"
#include "platform/linux/CupsSpooler.h"
#include "platform/linux/HelperSpooler.h"
#include "printers/CPrinterList.h"
#include "tests/printers/CupsTest.h"

namespace voldrane::test {
namespace {

using platform::linux_os::CupsSpooler;
using platform::linux_os::HelperSpooler;
using std::chrono::milliseconds;
using Strings = std::vector<std::string>;

// Children of this process that are still voldranectl (running, or never waited for).
int LeftoverHelpers() {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        if (!std::getline(stat, line)) continue;
        const auto close = line.rfind(')');
        const auto open = line.find('(');
        if (open == std::string::npos || close == std::string::npos) continue;
        std::istringstream rest(line.substr(close + 2));
        char state;
        pid_t parent = 0;
        rest >> state >> parent;
        if (parent == getpid() && line.substr(open + 1, close - open - 1) == "voldranectl") ++count;
    }
    return count;
}

TEST_F(CupsTest, HelperSpoolerAnswersAsTheCupsSpooler) {
    AddQueues({"Zeta", "office_b", "alpha"});
    ASSERT_EQ(CupsTool({"/usr/bin/lpoptions", "-p", "office_b/draft", "-o", "sides=one-sided"}),
              "");
    // The factory's helper: voldranectl of this build tree.
    const auto helper = platform::CreateOutOfProcessSpooler();
    CupsSpooler cups;

    std::string error = "stale";
    const auto names = helper->EnumPrinters(&error);
    ASSERT_TRUE(names) << error;
    EXPECT_EQ(*names, (Strings{"alpha", "office_b", "office_b/draft", "Zeta"}));
    EXPECT_EQ(names, cups.EnumPrinters());

    // Defaults as the helper inherits them: the environment, the user's lpoptions, none.
    struct Case {
        const char* what;
        Strings tool;
        const char* lpdest;
        std::optional<std::string> expected;
    } cases[] = {
        {"nothing set", {}, nullptr, std::nullopt},
        {"user instance",
         {"/usr/bin/lpoptions", "-d", "office_b/draft"},
         nullptr,
         "office_b/draft"},
        {"LPDEST in other case", {}, "zeta", "Zeta"},
        {"LPDEST naming no printer", {}, "Gone", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (!c.tool.empty()) {
            ASSERT_EQ(CupsTool(c.tool), "");
        }
        c.lpdest ? setenv("LPDEST", c.lpdest, 1) : unsetenv("LPDEST");
        error.clear();
        EXPECT_EQ(helper->GetDefaultPrinter(&error), c.expected);
        EXPECT_EQ(error, "");
        EXPECT_EQ(DefaultPrinterName(*helper), c.expected.value_or("default"));
    }
    unsetenv("LPDEST");

    // Set through the helper, seen by CUPS; refusals word for word as the CUPS spooler's.
    EXPECT_TRUE(helper->SetDefaultPrinter("Zeta", &error)) << error;
    EXPECT_EQ(LpstatDefault(), "system default destination: Zeta");
    EXPECT_TRUE(helper->SetDefaultPrinter("office_b/draft", &error)) << error;
    EXPECT_EQ(cups.GetDefaultPrinter(), "office_b/draft");
    for (const std::string name : {"Gone", "office_b/nosuch", "", "-d"}) {
        SCOPED_TRACE("set \"" + name + "\"");
        std::string expected;
        EXPECT_FALSE(cups.SetDefaultPrinter(name, &expected));
        EXPECT_FALSE(helper->SetDefaultPrinter(name, &error));
        EXPECT_EQ(error, expected);
    }
    EXPECT_EQ(LpstatDefault(), "system default destination: office_b/draft");
    EXPECT_EQ(LeftoverHelpers(), 0);
}

TEST_F(CupsTest, HelperSpoolerWithoutPrinters) {
    const auto helper = platform::CreateOutOfProcessSpooler();
    std::string error = "stale";
    const auto names = helper->EnumPrinters(&error);
    ASSERT_TRUE(names) << error;  // an answer, not a failure
    EXPECT_TRUE(names->empty());
    error = "stale";
    EXPECT_EQ(helper->GetDefaultPrinter(&error), std::nullopt);
    EXPECT_EQ(error, "");
    EXPECT_FALSE(helper->SetDefaultPrinter("Zeta", &error));
    EXPECT_EQ(error, "no printer named \"Zeta\" on the print server");
}

// Every call fails with `reason` at the start of its error text.
void ExpectAllFail(platform::ISpooler& spooler, const std::string& reason) {
    std::string error;
    EXPECT_EQ(spooler.EnumPrinters(&error), std::nullopt);
    EXPECT_EQ(error.rfind(reason, 0), 0u) << error;
    error.clear();
    EXPECT_EQ(spooler.GetDefaultPrinter(&error), std::nullopt);
    EXPECT_EQ(error.rfind(reason, 0), 0u) << error;
    error.clear();
    EXPECT_FALSE(spooler.SetDefaultPrinter("Zeta", &error));
    EXPECT_EQ(error.rfind(reason, 0), 0u) << error;
}

class HelperFaultTest : public CupsTest {
  protected:
    void TearDown() override { UseCupsServer(g_cupsd->Socket()); }

    // An executable shell script in the server's folder standing in for voldranectl.
    static std::string FakeHelper(const std::string& name, const std::string& body) {
        const std::string path = g_cupsd->Dir() + "/" + name;
        std::ofstream(path) << "#!/bin/sh\n" << body << '\n';
        chmod(path.c_str(), 0755);
        return path;
    }
};

TEST_F(HelperFaultTest, ServerFaultsReportedAsTheCupsSpoolerDoes) {
    UseCupsServer(g_cupsd->Dir() + "/missing.sock");
    HelperSpooler helper(VOLDRANECTL);
    ExpectAllFail(helper, "print server unreachable: " + g_cupsd->Dir() + "/missing.sock: ");

    // A server that never answers: the helper is cut off at its bound, well before its own
    // 3 s bound inside, and does not outlive the call.
    const std::string path = g_cupsd->Dir() + "/silent.sock";
    SilentListener silent(path);
    ASSERT_TRUE(silent.Ok());
    UseCupsServer(path);
    HelperSpooler impatient(VOLDRANECTL, milliseconds(800));
    ExpectAllFail(impatient, "the print server did not answer in time (no reply within 800 ms)");
    EXPECT_EQ(LeftoverHelpers(), 0);

    // With the default bound the helper's own 3 s bound comes first: its text, not ours.
    HelperSpooler patient(VOLDRANECTL);
    std::string error;
    EXPECT_EQ(patient.GetDefaultPrinter(&error), std::nullopt);
    EXPECT_EQ(error, "print server not answering: " + path + " (no reply within 3000 ms)");
}

// A helper that writes without end costs the tray program a bounded amount of memory: the
// call fails once either output passes the bound, without waiting for the deadline.
TEST_F(HelperFaultTest, OutputBeyondItsBoundIsRefused) {
    for (const std::string to : {"", " >&2"}) {
        SCOPED_TRACE("flood" + to);
        const std::string flood =
            FakeHelper("flood", "head -c 5000000 /dev/zero" + to + "; exec sleep 60");
        HelperSpooler helper(flood, milliseconds(2000));
        ExpectAllFail(helper, "the printer helper " + flood + " wrote more than 4 MiB");
    }
}

TEST_F(HelperFaultTest, HelperMissingFailingOrHanging) {
    HelperSpooler absent(g_cupsd->Dir() + "/nosuch/voldranectl");
    ExpectAllFail(absent, "cannot start the printer helper " + g_cupsd->Dir() +
                              "/nosuch/voldranectl: No such file or directory");

    HelperSpooler unfound("", HelperSpooler::kDefaultBound, "/opt/x/voldranectl");
    ExpectAllFail(unfound,
                  "cannot find voldranectl, which asks the print server for the tray program "
                  "(looked for /opt/x/voldranectl)");

    const std::string crash = FakeHelper("crash", "kill -TERM $$");
    HelperSpooler crashing(crash);
    ExpectAllFail(crashing, "the printer helper " + crash + " ended abnormally (signal 15)");

    // Fails without a word: described by its status (no default is the exception: an answer).
    const std::string mute = FakeHelper("mute", "exit 3");
    HelperSpooler silentFailure(mute);
    std::string error;
    EXPECT_EQ(silentFailure.EnumPrinters(&error), std::nullopt);
    EXPECT_EQ(error, "the printer helper " + mute + " failed (exit status 3)");
    EXPECT_FALSE(silentFailure.SetDefaultPrinter("Zeta", &error));
    EXPECT_EQ(error, "the printer helper " + mute + " failed (exit status 3)");

    // Hangs with its outputs open, or closes them and goes on running: cut off either way.
    HelperSpooler hanging(FakeHelper("hang", "exec sleep 60"), milliseconds(300));
    ExpectAllFail(hanging, "the print server did not answer in time");
    HelperSpooler lingering(FakeHelper("linger", "exec >&- 2>&-; exec sleep 60"),
                            milliseconds(300));
    ExpectAllFail(lingering, "the print server did not answer in time");
}

// A late helper is asked to end (it may be finishing a write) before it is killed.
TEST_F(HelperFaultTest, LateHelperIsAskedToEndBeforeItIsKilled) {
    const std::string ended = g_cupsd->Dir() + "/polite-ended";
    // The bound leaves a loaded machine time to start the shell and set its trap.
    HelperSpooler polite(FakeHelper("polite", "trap 'kill $!; echo TERM > " + ended +
                                                  "; exit 0' TERM\n"
                                                  "sleep 60 & wait"),
                         milliseconds(1500));
    std::string error;
    EXPECT_FALSE(polite.SetDefaultPrinter("Zeta", &error));
    EXPECT_EQ(error, "the print server did not answer in time (no reply within 1500 ms)");
    std::ifstream marker(ended);
    std::string word;
    EXPECT_TRUE(marker >> word) << "the helper never saw SIGTERM";
    EXPECT_EQ(word, "TERM");

    // One that ignores SIGTERM is killed after the grace.
    HelperSpooler stubborn(FakeHelper("stubborn", "trap '' TERM; exec sleep 60"),
                           milliseconds(300));
    EXPECT_FALSE(stubborn.SetDefaultPrinter("Zeta", &error));
    EXPECT_EQ(error, "the print server did not answer in time (no reply within 300 ms)");
}

}  // namespace
}  // namespace voldrane::test
