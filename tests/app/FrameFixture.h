#pragma once

// The main frame with a recording notification area, a settings store of the test's,
// scripted answers, a hand-driven settle timer and recorded notices; the spooler is the
// test's (a fake one, or one over a private cupsd).

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/CMainFrame.h"
#include "offices/OfficeStore.h"
#include "res/Resource.h"
#include "tests/FakeNetworkSource.h"
#include "tests/app/RecordingNotificationArea.h"
#include "tests/support/Offices.h"
#include "tests/support/ScriptedPrompt.h"

namespace voldrane::test {

using platform::MenuEntry;
using platform::NotifyEvent;

// Stands in for the configuration dialog: records how it was run and lets the test act as
// the dialog would while it runs.
class FakeConfigDialog final : public IConfigDialog {
  public:
    struct Log {
        std::vector<bool> runs;  // the add-current-network flag of each Run
        int raised = 0;
        std::function<void(ui::IConfigHost&)> whileRunning;
    };
    explicit FakeConfigDialog(Log& log) : m_log(log) {}
    void SetOfficeList(COfficeList&) override {}
    void SetCurrentNetwork(const CNetworkSettings&) override {}
    int Run(bool bAddCurrentNetwork, ui::IConfigHost* host) override {
        m_log.runs.push_back(bAddCurrentNetwork);
        if (m_log.whileRunning) m_log.whileRunning(*host);
        return 0;
    }
    void BringWindowToTop() override { ++m_log.raised; }

  private:
    Log& m_log;
};

// The follower's settle timer, expired by the test's hand.
struct SettleLog {
    std::function<void()> expired;
    bool armed = false;
    void Expire() {
        ASSERT_TRUE(armed) << "nothing was waiting to settle";
        armed = false;
        expired();
    }
};
class HandTimer final : public ISettleTimer {
  public:
    explicit HandTimer(SettleLog& log) : m_log(log) {}
    int64_t NowMs() const override { return 0; }
    void Start(int) override { m_log.armed = true; }

  private:
    SettleLog& m_log;
};

// The desktop's notices: what was shown, and the last one's actions for the test to pick.
struct NoticeLog {
    std::vector<std::string> texts;
    std::function<void(platform::IDesktopNotices::Action)> acted;
};
class RecordingNotices final : public platform::IDesktopNotices {
  public:
    explicit RecordingNotices(NoticeLog& log) : m_log(log) {}
    void Show(const std::string& text, std::function<void(Action)> acted) override {
        m_log.texts.push_back(text);
        m_log.acted = std::move(acted);
    }

  private:
    NoticeLog& m_log;
};

class FrameFixture {
  protected:
    virtual ~FrameFixture() = default;

    // A frame over an empty store that `makeStore` makes (again for FreshStore) and `spooler`,
    // on a machine at the office of 10.1.2.x: network and both DNS servers agree with an
    // office there (three points), nothing else does.
    void SetUpFrame(std::function<std::unique_ptr<platform::IRegistryStore>()> makeStore,
                    platform::ISpooler& spooler) {
        m_makeStore = std::move(makeStore);
        FreshStore();
        m_spooler = &spooler;
        m_network.adapters = std::vector{Adapter("Ethernet", "10.1.2.30", "255.255.255.0")};
        m_network.dns = std::vector<std::string>{"10.1.2.1", "10.1.2.2"};
    }
    void TearDownFrame() {
        m_frame.reset();  // before the test's spooler goes
        EXPECT_TRUE(m_prompt.AllAnswersUsed());
    }
    // The default printer as `lpstat -d` says it: "system default destination: NAME".
    virtual std::string Default() = 0;

    void Store(const std::vector<COfficeNetwork>& offices) {
        for (const COfficeNetwork& o : offices) ASSERT_TRUE(SaveOffice(*m_registry, o));
    }
    // The settings as a first start finds them: none.
    void FreshStore() {
        m_registry.reset();
        m_store = m_makeStore();
        m_registry = std::make_unique<CRegistry>(*m_store);
    }
    void StoreAutoDetect(bool on) {
        ASSERT_TRUE(m_registry->CreateKey(kAppKey));
        ASSERT_TRUE(WriteAutoDetect(*m_registry, on));
    }

    CMainFrame& Start(bool expectCreated = true) {
        m_frame = std::make_unique<CMainFrame>(FrameServices{
            m_area,
            *m_registry,
            *m_spooler,
            m_network,
            m_prompt,
            [this] { return std::make_unique<FakeConfigDialog>(m_dialogs); },
            [this] { ++m_abouts; },
            [this](const std::string& page) { m_helpPages.push_back(page); },
            [this] { ++m_exits; },
            &m_out,
            [this](std::function<void()> expired) {
                m_settle.expired = std::move(expired);
                return std::make_unique<HandTimer>(m_settle);
            },
            std::make_unique<RecordingNotices>(m_notices),
        });
        EXPECT_EQ(m_frame->OnCreate(), expectCreated ? 0 : -1);
        return *m_frame;
    }

    RecordingNotificationArea::Shown Shown() const {
        auto it = m_area.shown.find(res::kTrayIconId);
        return it == m_area.shown.end() ? RecordingNotificationArea::Shown{-1, "(no icon)"}
                                        : it->second;
    }
    const std::vector<MenuEntry>& Menu() { return m_area.menus[res::kTrayIconId]; }
    const std::vector<MenuEntry>& UseNetwork() { return Menu().at(1).children; }
    // The ticked entries of "Use Network", by text.
    std::vector<std::string> Ticked() {
        std::vector<std::string> texts;
        for (const MenuEntry& e : UseNetwork())
            if (e.checked) texts.push_back(e.text);
        return texts;
    }
    // The machine moves to the network `net` ("10.9.9."), and the change settles.
    void MoveTo(const std::string& net, const std::string& host = "30") {
        m_network.adapters = std::vector{Adapter("Ethernet", net + host, "255.255.255.0")};
        m_network.dns = std::vector<std::string>{net + "1", net + "2"};
        m_frame->OnNetworkChanged();
        m_settle.Expire();
    }

    ScriptedPrompt m_prompt;
    RecordingNotificationArea m_area;
    FakeNetworkSource m_network;
    std::function<std::unique_ptr<platform::IRegistryStore>()> m_makeStore;
    std::unique_ptr<platform::IRegistryStore> m_store;
    std::unique_ptr<CRegistry> m_registry;
    platform::ISpooler* m_spooler = nullptr;
    FakeConfigDialog::Log m_dialogs;
    int m_abouts = 0;
    int m_exits = 0;
    std::vector<std::string> m_helpPages;
    std::ostringstream m_out;
    SettleLog m_settle;
    NoticeLog m_notices;
    std::unique_ptr<CMainFrame> m_frame;
};

}  // namespace voldrane::test
