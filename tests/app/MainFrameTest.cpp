// The main frame: start-up choices, the tray menu and its commands, following the network,
// reloads, with a recording notification area, a settings store in memory, a fake spooler
// and scripted answers. No toolkit, print server, file system or display.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include "app/CMainFrame.h"
#include "app/CSwitcherCore.h"
#include "offices/OfficeStore.h"
#include "offices/RegFile.h"
#include "res/Resource.h"
#include "res/Strings.h"
#include "tests/app/FrameFixture.h"
#include "tests/support/FakeSpooler.h"

namespace voldrane::test {
namespace {

using platform::MenuEntry;
using platform::NotifyEvent;

class MainFrameTest : public testing::Test, public FrameFixture {
  protected:
    void SetUp() override {
        m_fake.printers = std::vector<std::string>{"PrinterA", "PrinterB", "PrinterC", "Before"};
        m_fake.defaultPrinter = "Before";
        m_fake.onlyInstalled = true;
        SetUpFrame([] { return std::make_unique<MemoryRegistryStore>(); }, m_fake);
    }
    void TearDown() override { TearDownFrame(); }
    std::string Default() override {
        return "system default destination: " + m_fake.defaultPrinter.value_or("(none)");
    }

    FakeSpooler m_fake;
};

const auto kBefore = "system default destination: Before";

TEST_F(MainFrameTest, NoOfficesAsksToAddTheNetworkAndNoLeavesItEmpty) {
    m_prompt.Answer(false);
    Start();
    EXPECT_EQ(Shown().icon, res::IDI_NO_OFFICE);
    EXPECT_EQ(Shown().tip, res::kNoOfficeNetworks);
    ASSERT_EQ(m_prompt.shown.size(), 1u);
    EXPECT_EQ(m_prompt.shown[0].text, res::kAskAddCurrentNetwork);
    EXPECT_EQ(m_prompt.shown[0].icon, ui::PromptIcon::Question);
    EXPECT_TRUE(m_dialogs.runs.empty());
    ASSERT_EQ(UseNetwork().size(), 1u);
    EXPECT_EQ(Ticked(), std::vector<std::string>{"Auto-Detect"});
    EXPECT_EQ(Default(), kBefore);
}

TEST_F(MainFrameTest, YesRunsTheHiddenAddFlowOnceAndGuardsIt) {
    m_prompt.Answer(true);
    m_dialogs.whileRunning = [this](ui::IConfigHost&) {
        // A double click that arrives meanwhile only raises the dialog.
        m_frame->OnNotify(res::kTrayIconId, NotifyEvent::DoubleClick);
        m_frame->OnMenuCommand(res::ID_CONFIGURE_NETWORKS);
    };
    Start();
    EXPECT_EQ(m_dialogs.runs, std::vector<bool>{true});
    EXPECT_EQ(m_dialogs.raised, 2);
    // Once it has ended, "Configure Networks" opens the modal window.
    m_dialogs.whileRunning = nullptr;
    m_frame->OnMenuCommand(res::ID_CONFIGURE_NETWORKS);
    EXPECT_EQ(m_dialogs.runs, (std::vector<bool>{true, false}));
}

TEST_F(MainFrameTest, AutoDetectAppliesTheFirstMatchingOffice) {
    Store({MakeOffice("0A", "Branch", "10.9.9.9", "PrinterA"),
           MakeOffice("0B", "Head office", "10.1.2.40", "PrinterB"),
           MakeOffice("0C", "Also here", "10.1.2.50", "PrinterC")});
    Start();
    EXPECT_EQ(Shown().icon, res::IDI_OFFICE);
    EXPECT_EQ(Shown().tip, "Head office");
    EXPECT_EQ(m_frame->GetCurrentOffice(), 1);
    EXPECT_EQ(m_out.str(), "Head office\n");
    EXPECT_EQ(Default(), "system default destination: PrinterB");
    EXPECT_TRUE(m_prompt.shown.empty());
    EXPECT_EQ(Ticked(), std::vector<std::string>{"Auto-Detect"});
}

// The network is read once the icon is up (the start-up does not wait for it), and it is read
// before the office is chosen.
TEST_F(MainFrameTest, TheNetworkIsReadAfterTheIconIsAdded) {
    Store({MakeOffice("0B", "Head office", "10.1.2.40", "PrinterB")});
    std::vector<int> iconsAtQuery;
    m_network.onAdapterQuery = [this, &iconsAtQuery] {
        iconsAtQuery.push_back(m_area.Count(platform::NotifyOp::Add));
    };
    Start();
    ASSERT_FALSE(iconsAtQuery.empty());
    EXPECT_EQ(iconsAtQuery.front(), 1);
    EXPECT_EQ(Default(), "system default destination: PrinterB");
}

TEST_F(MainFrameTest, AutoDetectWithoutMatchAsksAndLeavesThePrinter) {
    Store({MakeOffice("0A", "Branch", "10.9.9.9", "PrinterA")});
    m_prompt.Answer(true);
    m_dialogs.whileRunning = [](ui::IConfigHost& host) {
        // The dialog adds the current network as a second office; it is not applied.
        COfficeNetwork added = MakeOffice("0B", "Here", "10.1.2.30", "PrinterB");
        host.Offices().Append(std::make_unique<COfficeNetwork>(added));
        host.OfficesChanged();
    };
    Start();
    EXPECT_EQ(Shown().icon, res::IDI_NO_OFFICE);
    EXPECT_EQ(Shown().tip, res::kCannotDetermineOffice);
    EXPECT_EQ(m_frame->GetCurrentOffice(), -1);
    EXPECT_EQ(m_dialogs.runs, std::vector<bool>{true});
    EXPECT_EQ(m_out.str(), "");
    EXPECT_EQ(Default(), kBefore);
    // The menu follows the list the dialog changed.
    ASSERT_EQ(UseNetwork().size(), 3u);
    EXPECT_EQ(UseNetwork()[2].text, "Here");
}

TEST_F(MainFrameTest, AutoDetectOffAppliesTheDefaultOfficeByExactKeyName) {
    struct Case {
        const char* stored;  // nullptr: no "Default Office"
        int position;
    };
    for (const Case c : {Case{"B", 1}, Case{"b", 0}, Case{nullptr, 0}, Case{"Z", 0}}) {
        SCOPED_TRACE(c.stored ? c.stored : "(missing)");
        FreshStore();
        Store({MakeOffice("A", "Alpha", "10.9.9.1", "PrinterA"),
               MakeOffice("B", "Beta", "10.9.9.2", "PrinterB"),
               MakeOffice("C", "Gamma", "10.9.9.3", "PrinterC")});
        StoreAutoDetect(false);
        if (c.stored) {
            ASSERT_TRUE(m_registry->WriteString(kAppKey, kDefaultOfficeValue, c.stored));
        }
        m_area = RecordingNotificationArea{};
        Start();
        const std::string names[] = {"Alpha", "Beta", "Gamma"};
        EXPECT_EQ(m_frame->GetCurrentOffice(), c.position);
        EXPECT_EQ(Shown().tip, names[c.position]);
        EXPECT_EQ(Ticked(), std::vector<std::string>{names[c.position]});
        EXPECT_EQ(Default(),
                  "system default destination: Printer" + std::string(1, "ABC"[c.position]));
        m_frame.reset();
    }
    EXPECT_TRUE(m_prompt.shown.empty());
}

TEST_F(MainFrameTest, TheMenuAndItsDefaultEntry) {
    Store({MakeOffice("0A", "R&D", "10.1.2.40", "PrinterA"),
           MakeOffice("0B", "Sales", "10.9.9.9", "")});
    Start();
    const std::vector<MenuEntry>& menu = Menu();
    ASSERT_EQ(menu.size(), 7u);
    EXPECT_EQ(menu[0].text, "Configure Networks");
    EXPECT_EQ(menu[0].command, res::ID_CONFIGURE_NETWORKS);
    EXPECT_TRUE(menu[0].isDefault);
    EXPECT_EQ(menu[1].kind, MenuEntry::Submenu);
    EXPECT_EQ(menu[1].text, "Use Network");
    EXPECT_EQ(menu[2].kind, MenuEntry::Separator);
    EXPECT_EQ(menu[3].text, "Help...");
    EXPECT_EQ(menu[3].command, res::ID_HELP_FINDER);
    EXPECT_EQ(menu[4].text, "About...");
    EXPECT_EQ(menu[4].command, res::ID_APP_ABOUT);
    EXPECT_EQ(menu[5].kind, MenuEntry::Separator);
    EXPECT_EQ(menu[6].text, "Exit");
    EXPECT_EQ(menu[6].command, res::ID_APP_EXIT);
    for (size_t i = 1; i < menu.size(); ++i) EXPECT_FALSE(menu[i].isDefault);

    const auto& use = UseNetwork();
    ASSERT_EQ(use.size(), 3u);
    EXPECT_EQ(use[0].text, "Auto-Detect");
    EXPECT_EQ(use[0].command, res::ID_NETWORK_AUTODETECT);
    EXPECT_EQ(use[1].text, "R&&D");  // a single '&' would mark a shortcut
    EXPECT_EQ(use[1].command, 32774);
    EXPECT_EQ(use[2].command, 32775);
}

TEST_F(MainFrameTest, OfficeCommandsAndAutoDetect) {
    Store({MakeOffice("0A", "Here", "10.1.2.40", "PrinterA"),
           MakeOffice("0B", "Elsewhere", "10.9.9.9", "")});
    Start();
    ASSERT_EQ(m_frame->GetCurrentOffice(), 0);

    // Choosing an office turns automatic detection off for this run only; an empty printer
    // name still reaches the spooler, which refuses it, and the office counts as applied.
    m_frame->OnMenuCommand(32775);
    EXPECT_FALSE(m_frame->GetAutoDetect());
    EXPECT_EQ(m_frame->GetCurrentOffice(), 1);
    EXPECT_EQ(Shown().icon, res::IDI_OFFICE);
    EXPECT_EQ(Shown().tip, "Elsewhere");
    EXPECT_EQ(Ticked(), std::vector<std::string>{"Elsewhere"});
    EXPECT_EQ(Default(), "system default destination: PrinterA");
    EXPECT_TRUE(ReadAutoDetect(*m_registry)) << "the choice must not be stored";

    m_frame->OnMenuCommand(res::ID_NETWORK_AUTODETECT);
    EXPECT_TRUE(m_frame->GetAutoDetect());
    EXPECT_EQ(m_frame->GetCurrentOffice(), 0);
    EXPECT_EQ(Shown().tip, "Here");
    EXPECT_EQ(Ticked(), std::vector<std::string>{"Auto-Detect"});
    EXPECT_EQ(m_out.str(), "Here\nHere\n");
}

TEST_F(MainFrameTest, AutoDetectCommandWithoutMatchAsksNothing) {
    Store({MakeOffice("0A", "Elsewhere", "10.9.9.9", "PrinterA")});
    StoreAutoDetect(false);
    Start();
    ASSERT_EQ(Default(), "system default destination: PrinterA");
    m_fake.defaultPrinter = "Before";
    m_frame->OnMenuCommand(res::ID_NETWORK_AUTODETECT);
    EXPECT_EQ(m_frame->GetCurrentOffice(), -1);
    EXPECT_EQ(Shown().icon, res::IDI_NO_OFFICE);
    EXPECT_EQ(Shown().tip, res::kCannotDetermineOffice);
    EXPECT_EQ(Default(), kBefore);
    EXPECT_TRUE(m_prompt.shown.empty());
    // Switched off again by the configuration dialog: nothing is ticked.
    m_frame->SetAutoDetect(false);
    EXPECT_TRUE(Ticked().empty());
}

// A laptop that moved after start: "Auto-Detect" and the dialog's "New" see where it is now.
TEST_F(MainFrameTest, AutoDetectAndTheDialogReadTheNetworkAgain) {
    Store({MakeOffice("0A", "Here", "10.1.2.40", "PrinterA"),
           MakeOffice("0B", "Elsewhere", "10.9.9.40", "PrinterB")});
    Start();
    ASSERT_EQ(m_frame->GetCurrentOffice(), 0);
    m_network.adapters = std::vector{Adapter("Ethernet", "10.9.9.30", "255.255.255.0")};
    m_network.dns = std::vector<std::string>{"10.9.9.1", "10.9.9.2"};

    m_frame->OnMenuCommand(res::ID_NETWORK_AUTODETECT);
    EXPECT_EQ(m_frame->GetCurrentOffice(), 1);
    EXPECT_EQ(Shown().tip, "Elsewhere");
    EXPECT_EQ(Default(), "system default destination: PrinterB");

    m_network.adapters = std::vector{Adapter("Ethernet", "10.5.5.30", "255.255.255.0")};
    std::string seen;
    m_dialogs.whileRunning = [&](ui::IConfigHost& host) {
        seen = host.CurrentNetwork().m_strIPAddress;
    };
    m_frame->OnMenuCommand(res::ID_CONFIGURE_NETWORKS);
    EXPECT_EQ(seen, "10.5.5.30");
}

TEST_F(MainFrameTest, FollowsTheNetworkWhenSwitchedOnButNeverOverAUsersChoice) {
    Store({MakeOffice("0A", "Here", "10.1.2.40", "PrinterA"),
           MakeOffice("0B", "Elsewhere", "10.9.9.40", "PrinterB")});
    Start();
    MoveTo("10.9.9.");
    EXPECT_EQ(m_frame->GetCurrentOffice(), 0) << "following is off until switched on";

    ASSERT_TRUE(WriteFollowNetwork(*m_registry, true));  // as voldranectl or the dialog
    m_frame->OnSettingsChanged();
    MoveTo("10.9.9.");
    EXPECT_EQ(m_frame->GetCurrentOffice(), 1);
    EXPECT_EQ(Shown().tip, "Elsewhere");
    EXPECT_EQ(Default(), "system default destination: PrinterB");

    MoveTo("10.5.5.");  // no office here: said so, and the printer stays
    EXPECT_EQ(m_frame->GetCurrentOffice(), -1);
    EXPECT_EQ(Shown().icon, res::IDI_NO_OFFICE);
    EXPECT_EQ(Shown().tip, res::kCannotDetermineOffice);
    EXPECT_EQ(Default(), "system default destination: PrinterB");

    m_frame->OnMenuCommand(32774);  // the user's own choice: Here
    MoveTo("10.9.9.");
    EXPECT_EQ(m_frame->GetCurrentOffice(), 0);
    EXPECT_EQ(Default(), "system default destination: PrinterA");

    // With the dialog open the change waits for it to close.
    m_frame->OnMenuCommand(res::ID_NETWORK_AUTODETECT);
    ASSERT_EQ(m_frame->GetCurrentOffice(), 1);
    m_dialogs.whileRunning = [&](ui::IConfigHost&) {
        MoveTo("10.1.2.");
        EXPECT_EQ(m_frame->GetCurrentOffice(), 1);
    };
    m_frame->OnMenuCommand(res::ID_CONFIGURE_NETWORKS);
    EXPECT_EQ(m_frame->GetCurrentOffice(), 0);
    EXPECT_EQ(Default(), "system default destination: PrinterA");
}

TEST_F(MainFrameTest, AFollowedSwitchIsToldAndUndoPutsThePreviousPrinterBack) {
    using Action = platform::IDesktopNotices::Action;
    Store({MakeOffice("0A", "Here", "10.1.2.40", "PrinterA"),
           MakeOffice("0B", "Elsewhere", "10.9.9.40", "PrinterB")});
    ASSERT_TRUE(WriteFollowNetwork(*m_registry, true));
    Start();
    EXPECT_TRUE(m_notices.texts.empty()) << "nothing is told at start";
    MoveTo("10.9.9.");
    EXPECT_EQ(m_notices.texts,
              std::vector<std::string>{"Elsewhere: PrinterB is now your default printer"});

    m_notices.acted(Action::Undo);
    EXPECT_EQ(Default(), "system default destination: PrinterA");
    EXPECT_EQ(m_frame->GetCurrentOffice(), 0);
    EXPECT_EQ(Shown().tip, "Here");
    MoveTo("10.9.9.");  // the same network once more: the undone switch stays undone
    EXPECT_EQ(m_frame->GetCurrentOffice(), 0);
    m_notices.acted(Action::Settings);
    EXPECT_EQ(m_dialogs.runs, std::vector<bool>{false});

    MoveTo("10.9.9.", "31");  // the network changed again: followed again
    EXPECT_EQ(m_frame->GetCurrentOffice(), 1);
    ASSERT_EQ(m_notices.texts.size(), 2u);
    m_frame->OnMenuCommand(32775);  // the user's choice after the notice: Undo leaves it
    m_notices.acted(Action::Undo);
    EXPECT_EQ(Default(), "system default destination: PrinterB");
    EXPECT_EQ(m_frame->GetCurrentOffice(), 1);

    ASSERT_TRUE(WriteNotify(*m_registry, false));
    m_frame->OnSettingsChanged();
    m_frame->OnMenuCommand(res::ID_NETWORK_AUTODETECT);
    MoveTo("10.1.2.");
    EXPECT_EQ(m_frame->GetCurrentOffice(), 0);
    EXPECT_EQ(m_notices.texts.size(), 2u) << "not for menu choices, nor with Notify off";
}

TEST_F(MainFrameTest, OfficesFromPosition100OnAreShownDisabled) {
    std::vector<COfficeNetwork> offices;
    char key[16];
    for (int i = 0; i < 101; ++i) {
        std::snprintf(key, sizeof key, "K%03d", i);
        offices.push_back(MakeOffice(key, "Office " + std::to_string(i), "10.9.9.9", "PrinterA"));
    }
    Store(offices);
    StoreAutoDetect(false);
    Start();
    const auto& use = UseNetwork();
    ASSERT_EQ(use.size(), 102u);
    EXPECT_TRUE(use[100].enabled);
    EXPECT_EQ(use[100].command, res::ID_NETWORK_LAST);
    EXPECT_FALSE(use[101].enabled);
    EXPECT_EQ(use[101].command, res::ID_NETWORK_LAST + 1);
    // Its command has no handler.
    m_frame->OnMenuCommand(res::ID_NETWORK_LAST + 1);
    EXPECT_EQ(m_frame->GetCurrentOffice(), 0);
    m_frame->OnMenuCommand(res::ID_NETWORK_LAST);
    EXPECT_EQ(m_frame->GetCurrentOffice(), 99);
    EXPECT_EQ(Shown().tip, "Office 99");
}

TEST_F(MainFrameTest, HelpAboutExitAndTheIconsNotifications) {
    m_prompt.Answer(false);
    Start();
    m_frame->OnMenuCommand(res::ID_HELP_FINDER);
    m_frame->OnMenuCommand(res::ID_APP_ABOUT);
    EXPECT_EQ(m_helpPages, std::vector<std::string>{""});
    EXPECT_EQ(m_abouts, 1);
    EXPECT_EQ(m_frame->OnTrayNotify(res::kTrayIconId, NotifyEvent::ContextMenu), 1);
    EXPECT_EQ(m_frame->OnTrayNotify(res::kTrayIconId + 1, NotifyEvent::DoubleClick), 0);
    EXPECT_TRUE(m_dialogs.runs.empty());
    // A single activation (the D-Bus tray's only one) opens the configuration dialog too.
    EXPECT_EQ(m_frame->OnTrayNotify(res::kTrayIconId, NotifyEvent::Activate), 1);
    EXPECT_EQ(m_dialogs.runs, std::vector<bool>{false});

    m_frame->OnMenuCommand(res::ID_APP_EXIT);
    EXPECT_EQ(m_exits, 1);
    // The icon leaves with the frame.
    m_frame.reset();
    EXPECT_EQ(m_area.Count(platform::NotifyOp::Delete), 1);
    EXPECT_TRUE(m_area.shown.empty());
}

TEST_F(MainFrameTest, NoTrayMeansNoFrame) {
    m_area.available = false;
    Start(false);
    EXPECT_TRUE(m_prompt.shown.empty());
    EXPECT_EQ(Default(), kBefore);
}

// While the configuration dialog is open the frame's list stays as the dialog holds it; the
// change is loaded when the dialog closes. What the dialog could not store (the file was not
// writable then) stays in memory, on top of what the other program stored.
TEST_F(MainFrameTest, AReloadWaitsForTheOpenDialogAndKeepsWhatItCouldNotStore) {
    Store({MakeOffice("0A", "Elsewhere", "10.9.9.9", "PrinterA"),
           MakeOffice("0B", "Here", "10.1.2.40", "PrinterB")});
    Start();
    ASSERT_EQ(m_frame->GetCurrentOffice(), 1);
    CRegistry other(*m_store);  // another program
    ASSERT_TRUE(WriteAutoDetect(other, false));
    ASSERT_TRUE(DeleteOfficeKey(other, "0A"));
    m_frame->OnSettingsChanged();  // as the watch calls it
    ASSERT_EQ(m_frame->Offices().GetSize(), 1);
    EXPECT_EQ(m_frame->GetCurrentOffice(), 0);

    m_dialogs.whileRunning = [&](ui::IConfigHost& host) {
        EXPECT_FALSE(host.GetAutoDetect()) << "the dialog shows the stored switch";
        COfficeNetwork& edited = host.Offices().ElementAt(0);
        edited.m_strOfficeName = "Renamed here";
        edited.m_unsavedValues[0] = true;
        auto added = std::make_unique<COfficeNetwork>(MakeOffice("0Z", "Unsaved", "10.3.3.3", ""));
        added->m_bUnsavedKey = true;
        host.Offices().Append(std::move(added));

        COfficeNetwork printer;  // voldranectl edit 0B --printer PrinterC
        printer.m_strKeyName = "0B";
        printer.m_strDefaultPrinter = "PrinterC";
        bool gone = false;
        ASSERT_TRUE(UpdateOffice(
            other, printer, {false, false, false, false, false, false, false, false, true}, gone));
        ASSERT_TRUE(SaveOffice(other, MakeOffice("0C", "Third", "10.7.7.7", "PrinterC")));
        m_frame->OnSettingsChanged();
        EXPECT_EQ(host.Offices().GetSize(), 2) << "not under the dialog's feet";
    };
    m_frame->OnMenuCommand(res::ID_CONFIGURE_NETWORKS);
    ASSERT_EQ(m_frame->Offices().GetSize(), 3);
    const COfficeNetwork& here = m_frame->Offices().ElementAt(0);
    EXPECT_EQ(here.m_strOfficeName + "/" + here.m_strDefaultPrinter, "Renamed here/PrinterC");
    EXPECT_EQ(m_frame->Offices().ElementAt(1).m_strOfficeName, "Third");
    EXPECT_EQ(m_frame->Offices().ElementAt(2).m_strOfficeName, "Unsaved");
    EXPECT_EQ(UseNetwork().size(), 4u);
    EXPECT_EQ(m_frame->GetCurrentOffice(), 0);
}

TEST(MainFrameMenuText, ControlCharactersAmpersandsAndLength) {
    EXPECT_EQ(CMainFrame::MenuText("A\tB\nC&D"), "A B C&&D");
    const std::string sixtyFour(64, 'x');
    EXPECT_EQ(CMainFrame::MenuText(sixtyFour), sixtyFour);
    EXPECT_EQ(CMainFrame::MenuText(sixtyFour + "y"), sixtyFour + "...");
    // Cut between characters, never inside one: 70 two-byte letters keep 64 of them.
    std::string umlauts;
    for (int i = 0; i < 70; ++i) umlauts += "\xC3\xA4";
    EXPECT_EQ(CMainFrame::MenuText(umlauts), umlauts.substr(0, 128) + "...");
    // Bytes that are not UTF-8 (a hand-edited store) count as one character each.
    std::string replaced;
    for (int i = 0; i < 64; ++i) replaced += "\xEF\xBF\xBD";
    EXPECT_EQ(CMainFrame::MenuText(std::string(1000, '\x80')), replaced + "...");
    EXPECT_EQ(CMainFrame::MenuText("B\xFCro"), "B\xEF\xBF\xBDro");
}

// At start the program says once what of the settings could not be read: the reason, then at
// most 2000 characters (as UTF-16 counts them) of the parts left out, never half a character.
TEST(StoreProblemsText, ReasonThenTheDiagnosticsCut) {
    EXPECT_EQ(StoreProblemsText("", ""), "");
    const std::string lead = "Parts of the settings file could not be read and were left out:\n";
    EXPECT_EQ(StoreProblemsText("", "line 3\n"), lead + "line 3\n");
    std::string emoji;  // two UTF-16 units each
    for (int i = 0; i < 1001; ++i) emoji += "\xF0\x9F\x98\x80";
    EXPECT_EQ(StoreProblemsText("", "x" + emoji), lead + "x" + emoji.substr(0, 999 * 4));
    EXPECT_EQ(StoreProblemsText("denied", "x"),
              "The settings file cannot be read, so no office networks were loaded:\ndenied\n\n"
              "Nothing will be written to it until it can be read again.\n\n" +
                  lead + "x");
}

}  // namespace
}  // namespace voldrane::test
