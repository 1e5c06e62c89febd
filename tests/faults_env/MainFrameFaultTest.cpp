// The main frame with a print server that is absent or never answers: it applies the office
// all the same (icon, tooltip, position, menu), within the spooler's bound per apply, and the
// user's default printer stays as it was.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <iostream>
#include <memory>
#include <sstream>

#include "app/CMainFrame.h"
#include "offices/OfficeStore.h"
#include "platform/Platform.h"
#include "platform/linux/RegFileStore.h"
#include "res/Resource.h"
#include "res/Strings.h"
#include "tests/FakeNetworkSource.h"
#include "tests/UiTestSupport.h"
#include "tests/app/RecordingNotificationArea.h"
#include "tests/printers/CupsTest.h"
#include "tests/support/Offices.h"

namespace voldrane::test {
namespace {

using Clock = std::chrono::steady_clock;

enum class Server { Absent, Silent };

void PrintTo(Server s, std::ostream* os) {
    *os << (s == Server::Absent ? "absent" : "silent");
}

class MainFrameFaultTest : public CupsTest, public ::testing::WithParamInterface<Server> {
  protected:
    void SetUp() override {
        CupsTest::SetUp();
        AddQueues({"PrinterA", "PrinterB", "Before"});
        ASSERT_EQ(CupsTool({"/usr/bin/lpoptions", "-d", "Before"}), "");
        const std::string store = g_cupsd->Dir() + "/frame-fault.reg";
        std::filesystem::remove(store);
        m_store = std::make_unique<platform::linux_os::RegFileStore>(store);
        m_registry = std::make_unique<CRegistry>(*m_store);
        ASSERT_TRUE(
            SaveOffice(*m_registry, MakeOffice("0A", "Head office", "10.1.2.40", "PrinterA")));
        ASSERT_TRUE(SaveOffice(*m_registry, MakeOffice("0B", "Branch", "10.9.9.40", "PrinterB")));
        m_network.adapters = std::vector{Adapter("Ethernet", "10.1.2.30", "255.255.255.0")};
        m_network.dns = std::vector<std::string>{"10.1.2.1", "10.1.2.2"};

        const std::string path =
            g_cupsd->Dir() + (GetParam() == Server::Silent ? "/silent.sock" : "/missing.sock");
        if (GetParam() == Server::Silent) {
            m_silent = std::make_unique<SilentListener>(path);
            ASSERT_TRUE(m_silent->Ok());
        }
        UseCupsServer(path);
        // The program's own spooler, with its own bound, made as the program makes it.
        m_spooler = platform::CreateSpooler();
    }
    void TearDown() override {
        UseCupsServer(g_cupsd->Socket());
        EXPECT_EQ(LpstatDefault(), "system default destination: Before");
        EXPECT_TRUE(m_prompt.shown.empty());
    }

    // Runs one step of the frame and checks that it came back within twice the bound.
    template <typename F>
    void Bounded(const char* what, F&& step) {
        const auto start = Clock::now();
        step();
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        std::cout << what << ": " << seconds << " s\n";
        EXPECT_LT(seconds, 6.0) << what;
    }

    RecordingNotificationArea::Shown Shown() const { return m_area.shown.at(res::kTrayIconId); }

    ScriptedPrompt m_prompt;
    RecordingNotificationArea m_area;
    FakeNetworkSource m_network;
    std::unique_ptr<platform::IRegistryStore> m_store;
    std::unique_ptr<CRegistry> m_registry;
    std::unique_ptr<SilentListener> m_silent;
    std::unique_ptr<platform::ISpooler> m_spooler;
    std::ostringstream m_out;
};

TEST_P(MainFrameFaultTest, AppliesTheOfficeAnywayWithinTheBound) {
    std::unique_ptr<CMainFrame> frame;
    Bounded("start-up", [&] {
        frame = std::make_unique<CMainFrame>(FrameServices{m_area,
                                                           *m_registry,
                                                           *m_spooler,
                                                           m_network,
                                                           m_prompt,
                                                           {},
                                                           {},
                                                           {},
                                                           {},
                                                           &m_out,
                                                           {},
                                                           nullptr});
        EXPECT_EQ(frame->OnCreate(), 0);
    });
    EXPECT_EQ(Shown().icon, res::IDI_OFFICE);
    EXPECT_EQ(Shown().tip, "Head office");
    EXPECT_EQ(frame->GetCurrentOffice(), 0);
    EXPECT_EQ(m_out.str(), "Head office\n");

    Bounded("office from the menu", [&] { frame->OnMenuCommand(res::ID_NETWORK_FIRST + 1); });
    EXPECT_EQ(Shown().tip, "Branch");
    EXPECT_EQ(frame->GetCurrentOffice(), 1);
    EXPECT_FALSE(frame->GetAutoDetect());
    const auto& use = m_area.menus[res::kTrayIconId].at(1).children;
    ASSERT_EQ(use.size(), 3u);
    EXPECT_TRUE(use[2].checked);

    Bounded("auto-detect from the menu", [&] { frame->OnMenuCommand(res::ID_NETWORK_AUTODETECT); });
    EXPECT_EQ(Shown().icon, res::IDI_OFFICE);
    EXPECT_EQ(Shown().tip, "Head office");
    EXPECT_EQ(frame->GetCurrentOffice(), 0);
}

INSTANTIATE_TEST_SUITE_P(Server, MainFrameFaultTest,
                         ::testing::Values(Server::Absent, Server::Silent), [](const auto& info) {
                             return info.param == Server::Absent ? "Absent" : "Silent";
                         });

}  // namespace
}  // namespace voldrane::test
