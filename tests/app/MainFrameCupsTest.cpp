// The main frame with the real watch on the settings file and the real dialogs (offscreen),
// against a private cupsd.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <memory>

#include "app/CMainFrame.h"
#include "offices/OfficeStore.h"
#include "platform/FileWatch.h"
#include "platform/Platform.h"
#include "platform/linux/RegFileStore.h"
#include "res/Resource.h"
#include "res/Strings.h"
#include "tests/ConfigDialogDriver.h"
#include "tests/UiTestSupport.h"
#include "tests/app/FrameFixture.h"
#include "tests/printers/CupsTest.h"
#include "ui/qt/ConfigDialogPlug.h"
#include "ui/qt/IpAddressEdit.h"

namespace voldrane::test {
namespace {

using platform::MenuEntry;

class MainFrameTest : public CupsTest, public FrameFixture {
  protected:
    void SetUp() override {
        CupsTest::SetUp();
        AddQueues({"PrinterA", "PrinterB", "PrinterC", "Before"});
        ASSERT_EQ(CupsTool({"/usr/bin/lpoptions", "-d", "Before"}), "");
        m_cups = platform::CreateSpooler();
        m_storePath = g_cupsd->Dir() + "/" +
                      ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".reg";
        SetUpFrame(
            [this] {
                std::filesystem::remove(m_storePath);
                return std::make_unique<platform::linux_os::RegFileStore>(m_storePath);
            },
            *m_cups);
    }
    void TearDown() override { TearDownFrame(); }
    std::string Default() override { return LpstatDefault(); }

    std::string m_storePath;
    std::unique_ptr<platform::ISpooler> m_cups;
};

// What another program (voldranectl) does to the settings file reaches the running frame
// through the real watch on the file's folder: the menu follows, the applied office is kept
// by its key, and nothing is applied because of it.
TEST_F(MainFrameTest, ChangesByAnotherProgramReachTheMenuAndApplyNothing) {
    Store({MakeOffice("0A", "Here", "10.1.2.40", "PrinterA"),
           MakeOffice("0B", "Elsewhere", "10.9.9.9", "PrinterB")});
    Start();
    ASSERT_EQ(m_frame->GetCurrentOffice(), 0);
    m_frame->WatchSettings(
        platform::WatchFile(m_storePath, 20, 200, [this] { m_frame->OnSettingsChanged(); }));
    platform::linux_os::RegFileStore otherStore(m_storePath);
    CRegistry other(otherStore);
    auto menuTexts = [this] {
        std::vector<std::string> texts;
        for (const MenuEntry& e : UseNetwork()) texts.push_back(e.text);
        return texts;
    };
    auto waitForMenu = [&](const std::vector<std::string>& expected) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return menuTexts() == expected; }, 5000))
            << testing::PrintToString(menuTexts());
    };

    // An office added before the applied one, which another program renames.
    ASSERT_TRUE(SaveOffice(other, MakeOffice("09", "First", "10.5.5.5", "PrinterC")));
    COfficeNetwork renamed;
    renamed.m_strKeyName = "0A";
    renamed.m_strOfficeName = "Here again";
    bool gone = false;
    ASSERT_TRUE(UpdateOffice(other, renamed, {true}, gone));
    waitForMenu({"Auto-Detect", "First", "Here again", "Elsewhere"});
    EXPECT_EQ(m_frame->GetCurrentOffice(), 1);
    EXPECT_EQ(Shown().tip, "Here again");
    EXPECT_EQ(Ticked(), std::vector<std::string>{"Auto-Detect"});

    // The applied office removed: none is current, and its printer stays the default.
    ASSERT_TRUE(DeleteOfficeKey(other, "0A"));
    waitForMenu({"Auto-Detect", "First", "Elsewhere"});
    EXPECT_EQ(m_frame->GetCurrentOffice(), -1);
    EXPECT_EQ(Shown().icon, res::IDI_NO_OFFICE);
    EXPECT_EQ(Shown().tip, res::kAppliedOfficeRemoved);

    // "Auto Detect" switched off: the menu and the dialog, when it opens, show it.
    ASSERT_TRUE(WriteAutoDetect(other, false));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !m_frame->GetAutoDetect(); }, 5000));
    EXPECT_TRUE(Ticked().empty());

    // A text editor that writes the file in place: no entry of the folder changes.
    std::string text;
    {
        std::ifstream in(m_storePath, std::ios::binary);
        text.assign(std::istreambuf_iterator<char>(in), {});
    }
    const size_t at = text.find("\"Elsewhere\"");
    ASSERT_NE(at, std::string::npos);
    text.replace(at, 11, "\"Far away\"");
    std::ofstream(m_storePath, std::ios::binary | std::ios::in | std::ios::trunc) << text;
    waitForMenu({"Auto-Detect", "First", "Far away"});

    EXPECT_EQ(Default(), "system default destination: PrinterA");
    EXPECT_EQ(m_out.str(), "Here\n") << "no office was matched again";
    EXPECT_TRUE(m_prompt.shown.empty());
}

// The add-current-network flow with the real configuration dialog: only the office dialog
// shows, filled with this network; OK adds, stores and (as the only office) applies it.
TEST_F(MainFrameTest, YesOpensTheOfficeDialogFilledWithThisNetwork) {
    m_prompt.Answer(true);
    m_frame = std::make_unique<CMainFrame>(FrameServices{m_area,
                                                         *m_registry,
                                                         *m_spooler,
                                                         m_network,
                                                         m_prompt,
                                                         &CreateConfigDialog,
                                                         {},
                                                         {},
                                                         {},
                                                         &m_out,
                                                         {},
                                                         nullptr});
    bool sawOfficeDialog = false;
    OnNextModal([&](QWidget* office) {
        sawOfficeDialog = true;
        EXPECT_EQ(Child<ui::IpAddressEdit>(office, "ipAddress")->Text(), "10.1.2.30");
        Child<QLineEdit>(office, "name")->setText(QStringLiteral("Here"));
        ChoosePrinterAnd(QStringLiteral("PrinterC"), "ok")(office);
    });
    ASSERT_EQ(m_frame->OnCreate(), 0);
    EXPECT_TRUE(sawOfficeDialog);
    EXPECT_EQ(CancelPendingModalWaiters(), 0);
    ASSERT_EQ(m_frame->Offices().GetSize(), 1);
    EXPECT_EQ(Shown().tip, "Here");
    EXPECT_EQ(Default(), "system default destination: PrinterC");
    COfficeList stored;
    LoadOffices(*m_registry, stored);
    ASSERT_EQ(stored.GetSize(), 1);
    EXPECT_EQ(stored.ElementAt(0).m_strDefaultPrinter, "PrinterC");
}

}  // namespace
}  // namespace voldrane::test
