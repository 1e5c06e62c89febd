// The CUPS spooler and the printer catalogue against a real, private cupsd.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>

#include "platform/linux/CupsSpooler.h"
#include "printers/CPrinterList.h"
#include "tests/printers/CupsTest.h"

namespace voldrane::test {
namespace {

using platform::linux_os::CupsSpooler;
using std::chrono::milliseconds;
using Strings = std::vector<std::string>;

TEST_F(CupsTest, ListsQueuesAndInstancesInCupsOrder) {
    AddQueues({"Zeta", "office_b", "alpha", "Alpha-Laser"});
    ASSERT_EQ(CupsTool({"/usr/bin/lpoptions", "-p", "office_b/draft", "-o", "sides=one-sided"}),
              "");

    CupsSpooler spooler;
    std::string error = "stale";
    const auto names = spooler.EnumPrinters(&error);
    ASSERT_TRUE(names) << error;
    // By name without regard to case, an instance right after its queue.
    EXPECT_EQ(*names, (Strings{"alpha", "Alpha-Laser", "office_b", "office_b/draft", "Zeta"}));

    CPrinterList list(spooler);
    ASSERT_EQ(list.GetCount(), 5);
    EXPECT_EQ(list.LastError(), "");
    EXPECT_EQ(list.GetPrinterName(0), "alpha");
    EXPECT_EQ(list.GetPrinterName(3), "office_b/draft");
    EXPECT_EQ(list.GetPrinterName(4), "Zeta");
    EXPECT_EQ(list.GetPrinterName(5), "Error");
    EXPECT_EQ(list.GetPrinterName(-1), "Error");

    // CUPS knows the queue as "Zeta"; an office that stored "zeta" selects nothing.
    EXPECT_EQ(SelectDefaultPrinterEntry(*names, "zeta", "default"), -1);
    EXPECT_EQ(SelectDefaultPrinterEntry(*names, "Zeta", "default"), 4);
}

TEST_F(CupsTest, NoPrintersAtAll) {
    CupsSpooler spooler;
    std::string error;
    const auto names = spooler.EnumPrinters(&error);
    ASSERT_TRUE(names) << error;  // an answer, not a failure
    EXPECT_TRUE(names->empty());

    error = "stale";
    EXPECT_EQ(spooler.GetDefaultPrinter(&error), std::nullopt);
    EXPECT_EQ(error, "");
    EXPECT_EQ(DefaultPrinterName(spooler), "default");

    CPrinterList list(spooler);
    EXPECT_EQ(list.GetCount(), 0);
    EXPECT_EQ(list.GetPrinterName(0), "Error");

    EXPECT_FALSE(spooler.SetDefaultPrinter("Zeta", &error));
    EXPECT_EQ(error, "no printer named \"Zeta\" on the print server");
}

TEST_F(CupsTest, DefaultFollowsEnvironmentThenUserOptionsThenServer) {
    AddQueues({"alpha", "office_b", "Zeta"});
    ASSERT_EQ(CupsTool({"/usr/bin/lpoptions", "-p", "office_b/draft", "-o", "sides=one-sided"}),
              "");
    CupsSpooler spooler;
    struct Case {
        const char* what;
        Strings tool;         // run before the query, when not empty
        const char* lpdest;   // nullptr: unset
        const char* printer;  // nullptr: unset
        std::optional<std::string> expected;
    } cases[] = {
        {"nothing set", {}, nullptr, nullptr, std::nullopt},
        {"server default", {"/usr/sbin/lpadmin", "-d", "Zeta"}, nullptr, nullptr, "Zeta"},
        {"user lpoptions over the server",
         {"/usr/bin/lpoptions", "-d", "office_b"},
         nullptr,
         nullptr,
         "office_b"},
        {"user instance",
         {"/usr/bin/lpoptions", "-d", "office_b/draft"},
         nullptr,
         nullptr,
         "office_b/draft"},
        {"PRINTER over lpoptions", {}, nullptr, "alpha", "alpha"},
        {"LPDEST over PRINTER", {}, "Zeta", "alpha", "Zeta"},
        {"LPDEST in other case: CUPS's spelling", {}, "zeta", nullptr, "Zeta"},
        {"LPDEST naming no printer", {}, "Gone", nullptr, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (!c.tool.empty()) {
            ASSERT_EQ(CupsTool(c.tool), "");
        }
        c.lpdest ? setenv("LPDEST", c.lpdest, 1) : unsetenv("LPDEST");
        c.printer ? setenv("PRINTER", c.printer, 1) : unsetenv("PRINTER");
        std::string error;
        EXPECT_EQ(spooler.GetDefaultPrinter(&error), c.expected);
        EXPECT_EQ(error, "");  // "none" is an answer, not a failure
        EXPECT_EQ(DefaultPrinterName(spooler), c.expected.value_or("default"));
    }
}

TEST_F(CupsTest, SetsTheUsersDefaultAsLpoptionsDoes) {
    AddQueues({"alpha", "office_b", "Zeta"});
    ASSERT_EQ(CupsTool({"/usr/bin/lpoptions", "-p", "office_b/draft", "-o", "sides=one-sided"}),
              "");
    CupsSpooler spooler;
    struct Case {
        std::string name;
        bool ok;
        std::string lpstat;  // after the call
    } cases[] = {
        {"office_b", true, "system default destination: office_b"},
        {"office_b/draft", true, "system default destination: office_b/draft"},
        {"Zeta", true, "system default destination: Zeta"},
        // CUPS queue names ignore case: the queue is made default under its own name.
        {"alpha", true, "system default destination: alpha"},
        {"ZETA", true, "system default destination: Zeta"},
        // Refused without touching the current default.
        {"Gone", false, "system default destination: Zeta"},
        {"office_b/nosuch", false, "system default destination: Zeta"},
        {"", false, "system default destination: Zeta"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("set " + c.name);
        std::string error;
        EXPECT_EQ(spooler.SetDefaultPrinter(c.name, &error), c.ok) << error;
        if (!c.ok) {
            EXPECT_NE(error, "");
            if (!c.name.empty()) {
                EXPECT_EQ(error, "no printer named \"" + c.name + "\" on the print server");
            }
        }
        EXPECT_EQ(LpstatDefault(), c.lpstat);
    }
    // The user's instance options survived the rewrites of lpoptions.
    const auto opts = RunProcess({"/usr/bin/lpoptions", "-p", "office_b/draft"});
    EXPECT_NE(opts.out.find("sides=one-sided"), std::string::npos) << opts.out;

    // The server-wide default is untouched: another user (another HOME) has none.
    const std::string home = getenv("HOME");
    setenv("HOME", (g_cupsd->Dir() + "/config").c_str(), 1);
    EXPECT_EQ(LpstatDefault(), "no system default destination");
    setenv("HOME", home.c_str(), 1);
}

// The three calls against a server that is not there, and one that never answers.
class CupsFaultTest : public CupsTest {
  protected:
    void TearDown() override { UseCupsServer(g_cupsd->Socket()); }

    static void ExpectAllFail(CupsSpooler& spooler, const std::string& reason, milliseconds within,
                              bool withCatalogue) {
        using Clock = std::chrono::steady_clock;
        std::string error;
        auto start = Clock::now();
        EXPECT_EQ(spooler.EnumPrinters(&error), std::nullopt);
        EXPECT_LT(Clock::now() - start, within);
        EXPECT_NE(error.find(reason), std::string::npos) << error;

        error.clear();
        start = Clock::now();
        EXPECT_EQ(spooler.GetDefaultPrinter(&error), std::nullopt);
        EXPECT_LT(Clock::now() - start, within);
        EXPECT_NE(error.find(reason), std::string::npos) << error;

        error.clear();
        start = Clock::now();
        EXPECT_FALSE(spooler.SetDefaultPrinter("Zeta", &error));
        EXPECT_LT(Clock::now() - start, within);
        EXPECT_NE(error.find(reason), std::string::npos) << error;

        if (!withCatalogue) return;
        CPrinterList list(spooler);
        EXPECT_EQ(list.GetCount(), 0);
        EXPECT_NE(list.LastError().find(reason), std::string::npos);
        EXPECT_EQ(DefaultPrinterName(spooler), "default");
    }
};

TEST_F(CupsFaultTest, NoServerFailsAtOnce) {
    UseCupsServer(g_cupsd->Dir() + "/missing.sock");
    CupsSpooler spooler;
    ExpectAllFail(spooler, "print server unreachable: " + g_cupsd->Dir() + "/missing.sock",
                  milliseconds(1000), true);
}

TEST_F(CupsFaultTest, SilentServerCostsTheBound) {
    const std::string path = g_cupsd->Dir() + "/silent.sock";
    SilentListener silent(path);
    ASSERT_TRUE(silent.Ok());
    UseCupsServer(path);
    CupsSpooler spooler(milliseconds(1000));
    // A hang guard, not a speed test: each call ends near its 1 s bound, far from a minute.
    ExpectAllFail(spooler, "print server not answering: " + path, milliseconds(3000), false);
}

}  // namespace
}  // namespace voldrane::test
