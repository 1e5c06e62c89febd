// The print server going away, hanging, or coming back between the calls of one run, and
// voldranectl's printer commands against a server that is absent or hung: every call ends
// within its bound with the reason, leaves the user's lpoptions as they were, and a server
// that is back is used again at once.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>

#include "platform/linux/CupsSpooler.h"
#include "printers/CPrinterList.h"
#include "tests/printers/CupsTest.h"

namespace voldrane::test {
namespace {

using platform::linux_os::CupsSpooler;
using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;
using Names = std::vector<std::string>;

constexpr milliseconds kBound{1000};
// Hang guards, not speed tests: a call that waits for libcups' own minute fails them.
constexpr milliseconds kRefusedWithin{1000};
constexpr milliseconds kSilentWithin{3 * kBound};

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class ServerFaultTest : public CupsTest {
  protected:
    void SetUp() override {
        CupsTest::SetUp();
        AddQueues({"Alpha", "Beta"});
        ASSERT_EQ(CupsTool({"/usr/bin/lpoptions", "-d", "Alpha"}), "");
    }
    void TearDown() override {
        g_cupsd->Signal(SIGCONT);
        if (!g_cupsd->Running()) {
            EXPECT_EQ(g_cupsd->Restart(), "");
        }
        UseCupsServer(g_cupsd->Socket());
    }

    // The user's lpoptions file, which setting a default rewrites.
    static std::string UserOptions() {
        std::ifstream f(std::string(getenv("HOME")) + "/.cups/lpoptions");
        std::stringstream ss;
        ss << f.rdbuf();
        return ss.str();
    }

    // A killed server may not have saved its queues.
    static void RestartWithQueues() {
        ASSERT_EQ(g_cupsd->Restart(), "");
        AddQueues({"Alpha", "Beta"});
    }

    template <typename F>
    static milliseconds Timed(F&& f) {
        const auto start = Clock::now();
        f();
        return std::chrono::duration_cast<milliseconds>(Clock::now() - start);
    }
};

TEST_F(ServerFaultTest, KilledAfterListingThenBack) {
    CupsSpooler spooler(kBound);
    std::string error;
    ASSERT_EQ(spooler.EnumPrinters(&error), (Names{"Alpha", "Beta"})) << error;
    const std::string options = UserOptions();
    ASSERT_TRUE(Has(options, "Default Alpha")) << options;

    g_cupsd->Kill();
    bool set = true;
    EXPECT_LT(Timed([&] { set = spooler.SetDefaultPrinter("Beta", &error); }), kRefusedWithin);
    EXPECT_FALSE(set);
    EXPECT_TRUE(Has(error, "print server unreachable: " + g_cupsd->Socket())) << error;
    EXPECT_EQ(UserOptions(), options);

    // The same spooler, with nothing kept from the failure, once the server is back.
    RestartWithQueues();
    EXPECT_TRUE(spooler.SetDefaultPrinter("Beta", &error)) << error;
    EXPECT_EQ(LpstatDefault(), "system default destination: Beta");
}

TEST_F(ServerFaultTest, KilledAfterSettingThenListingAndDefaultFailAtOnce) {
    CupsSpooler spooler(kBound);
    std::string error;
    ASSERT_TRUE(spooler.SetDefaultPrinter("Beta", &error)) << error;

    g_cupsd->Kill();
    int count = -1;
    std::string listError;
    EXPECT_LT(Timed([&] {
                  CPrinterList list(spooler);
                  count = list.GetCount();
                  listError = list.LastError();
              }),
              kRefusedWithin);
    EXPECT_EQ(count, 0);
    EXPECT_TRUE(Has(listError, "print server unreachable")) << listError;
    std::optional<std::string> defaultPrinter = "unset";
    EXPECT_LT(Timed([&] { defaultPrinter = spooler.GetDefaultPrinter(&error); }), kRefusedWithin);
    EXPECT_EQ(defaultPrinter, std::nullopt);
    EXPECT_TRUE(Has(error, "print server unreachable")) << error;
    // The office dialog's fallback when the default cannot be read.
    EXPECT_EQ(DefaultPrinterName(spooler), "default");

    RestartWithQueues();
    EXPECT_EQ(spooler.EnumPrinters(&error), (Names{"Alpha", "Beta"})) << error;
    EXPECT_EQ(spooler.GetDefaultPrinter(&error), "Beta") << error;
}

// A server that stops answering between two calls (SIGSTOP: connections are still taken),
// then wakes up again.
TEST_F(ServerFaultTest, HangsBetweenListingAndSettingThenWakesUp) {
    CupsSpooler spooler(kBound);
    std::string error;
    ASSERT_EQ(spooler.EnumPrinters(&error), (Names{"Alpha", "Beta"})) << error;
    const std::string options = UserOptions();

    g_cupsd->Signal(SIGSTOP);
    bool set = true;
    const milliseconds setTime = Timed([&] { set = spooler.SetDefaultPrinter("Beta", &error); });
    EXPECT_LT(setTime, kSilentWithin);
    EXPECT_FALSE(set);
    EXPECT_TRUE(Has(error, "print server not answering")) << error;
    std::optional<std::string> defaultPrinter = "unset";
    const milliseconds getTime = Timed([&] { defaultPrinter = spooler.GetDefaultPrinter(&error); });
    EXPECT_LT(getTime, kSilentWithin);
    EXPECT_EQ(defaultPrinter, std::nullopt);
    EXPECT_TRUE(Has(error, "print server not answering")) << error;
    std::optional<Names> names = Names{};
    const milliseconds listTime = Timed([&] { names = spooler.EnumPrinters(&error); });
    EXPECT_LT(listTime, kSilentWithin);
    EXPECT_EQ(names, std::nullopt);
    EXPECT_EQ(UserOptions(), options);
    std::cout << "stopped server, bound " << kBound.count() << " ms: set " << setTime.count()
              << " ms, default " << getTime.count() << " ms, list " << listTime.count() << " ms\n";

    g_cupsd->Signal(SIGCONT);
    EXPECT_TRUE(spooler.SetDefaultPrinter("Beta", &error)) << error;
    EXPECT_EQ(LpstatDefault(), "system default destination: Beta");
}

ProcessResult Ctl(const std::vector<std::string>& args) {
    std::vector<std::string> argv{VOLDRANECTL};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunProcess(argv, std::chrono::seconds(60));
}

// What PrinterCommandsTest leaves out: `printers` against a hung server, `apply` against an
// absent and a hung one, `auto` against an absent one. Exit 3, the reason on stderr, and no
// longer than twice the program's 3 s bound.
TEST_F(ServerFaultTest, CommandsExitThreeWithTheReason) {
    ASSERT_EQ(Ctl({"add", "--current", "--name", "Here", "--printer", "Beta"}).exitCode, 0);
    const std::string missing = g_cupsd->Dir() + "/missing.sock";
    const std::string silentPath = g_cupsd->Dir() + "/silent.sock";
    SilentListener silent(silentPath);
    ASSERT_TRUE(silent.Ok());

    struct Case {
        std::vector<std::string> args;
        const std::string& server;
        std::string out, errPart;
    };
    const Case cases[] = {
        {{"apply", "Here"}, missing, "Here\n", "print server unreachable: " + missing},
        {{"auto"}, missing, "Here\n", "print server unreachable: " + missing},
        {{"printers"}, silentPath, "", "print server not answering: " + silentPath},
        {{"printers", "--json"}, silentPath, "", "print server not answering"},
        {{"apply", "Here"}, silentPath, "Here\n", "print server not answering: " + silentPath},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + " against " + c.server);
        UseCupsServer(c.server);
        const ProcessResult r = Ctl(c.args);
        UseCupsServer(g_cupsd->Socket());
        EXPECT_EQ(r.exitCode, 3) << r.err;
        EXPECT_EQ(r.out, c.out);
        EXPECT_TRUE(Has(r.err, c.errPart)) << r.err;
        EXPECT_LT(r.elapsed.count(), 6.0);
        std::cout << c.args[0] << " against " << c.server << ": " << r.elapsed.count() << " s\n";
    }
    EXPECT_EQ(LpstatDefault(), "system default destination: Alpha");
}

}  // namespace
}  // namespace voldrane::test
