#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <memory>

#include "tests/UiTestSupport.h"
#include "ui/qt/COfficeDialog.h"
#include "ui/qt/IpAddressEdit.h"

namespace voldrane::test {
namespace {

using ui::COfficeDialog;
using ui::IpAddressEdit;

// The address controls by name, in the order of the network's seven fields.
constexpr const char* kAddressControls[7] = {"ipAddress",  "subnetMask", "defaultGateway",
                                             "dhcpServer", "dnsServer1", "dnsServer2",
                                             "winsServer"};

CNetworkSettings CurrentNetwork() {
    return {"192.168.1.20", "255.255.255.0", "192.168.1.1", "192.168.1.2",
            "192.168.1.3",  "N/A",           "0.0.0.0"};
}

QStringList ComboItems(QComboBox* combo) {
    QStringList items;
    for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
    return items;
}

QStringList ListItems(QListWidget* list) {
    QStringList items;
    for (int i = 0; i < list->count(); ++i) items << list->item(i)->text();
    return items;
}

std::vector<std::string> AddressTexts(QWidget* dialog) {
    std::vector<std::string> texts;
    for (const char* name : kAddressControls)
        texts.push_back(Child<IpAddressEdit>(dialog, name)->Text().toStdString());
    return texts;
}

void ClickTab(QWidget* dialog, int index) {
    QTabBar* bar = Child<QTabWidget>(dialog, "tabs")->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
}

class OfficeDialogTest : public testing::Test {
  protected:
    OfficeDialogTest() {
        spooler.printers = std::vector<std::string>{"Zeta", "alpha", "Beta-Laser", "beta"};
        spooler.defaultPrinter = "beta";
        office.m_strKeyName = "3FF36300";
        office.m_strOfficeName = "Head Office";
        office.m_strDefaultPrinter = "Zeta";
        office.m_network = {"10.0.0.5", "255.0.0.0", "10.0.0.1", "10.0.0.2",
                            "10.0.0.3", "10.0.0.4",  "10.0.0.9"};
    }

    void TearDown() override { EXPECT_EQ(CancelPendingModalWaiters(), 0); }

    // The dialog as its modal run would show it, but without a modal loop.
    std::unique_ptr<COfficeDialog> Open(COfficeNetwork* edited) {
        auto dialog = std::make_unique<COfficeDialog>(spooler, prompt);
        dialog->Presenter().SetOffice(edited);
        dialog->OnInitDialog();
        ShowActive(dialog.get());
        return dialog;
    }

    FakeSpooler spooler;
    ScriptedPrompt prompt;
    COfficeNetwork office;
};

struct NewOfficeCase {
    bool ask;
    bool answer;  // to "Use Current Network Settings?", when asked
    bool filled;  // the current network's values are in the address controls
};

class NewOfficeTest : public OfficeDialogTest, public testing::WithParamInterface<NewOfficeCase> {};

TEST_P(NewOfficeTest, StartsFromTheCurrentNetworkOrEmpty) {
    const NewOfficeCase& c = GetParam();
    COfficeNetwork fresh;
    fresh.m_strOfficeName = "New Office";
    const CNetworkSettings current = CurrentNetwork();
    if (c.ask) prompt.Answer(c.answer);

    COfficeDialog dialog(spooler, prompt);
    dialog.Presenter().SetOffice(&fresh);
    dialog.Presenter().UseCurrentNetwork(&current, c.ask);
    ASSERT_EQ(prompt.shown.size(), c.ask ? 1u : 0u);
    if (c.ask) {
        EXPECT_EQ(prompt.shown[0].text, "Use Current Network Settings?");
        EXPECT_EQ(prompt.shown[0].icon, ui::PromptIcon::Question);
    }
    dialog.OnInitDialog();

    EXPECT_EQ(Child<QLineEdit>(&dialog, "name")->text(), "New Office");
    // An office without a printer starts at the system's default printer.
    EXPECT_EQ(Child<QComboBox>(&dialog, "defaultPrinter")->currentText(), "beta");
    const std::vector<std::string> expected =
        c.filled ? std::vector<std::string>{"192.168.1.20", "255.255.255.0", "192.168.1.1",
                                            "192.168.1.2",  "192.168.1.3",   "255.255.255.255",
                                            "0.0.0.0"}
                 : std::vector<std::string>(7, "0.0.0.0");
    EXPECT_EQ(AddressTexts(&dialog), expected);
    for (const char* name : kAddressControls)
        EXPECT_EQ(Child<IpAddressEdit>(&dialog, name)->IsBlank(), !c.filled) << name;
}

INSTANTIATE_TEST_SUITE_P(Answers, NewOfficeTest,
                         testing::Values(NewOfficeCase{true, true, true},
                                         NewOfficeCase{true, false, false},
                                         NewOfficeCase{false, false, true}));

TEST_F(OfficeDialogTest, ComboKeepsCatalogueOrderWhileTheListIsSorted) {
    auto dialog = Open(&office);
    auto* combo = Child<QComboBox>(dialog.get(), "defaultPrinter");
    auto* list = Child<QListWidget>(dialog.get(), "availablePrinters");
    EXPECT_EQ(ComboItems(combo), QStringList({"Zeta", "alpha", "Beta-Laser", "beta"}));
    EXPECT_EQ(ListItems(list), QStringList({"alpha", "beta", "Beta-Laser", "Zeta"}));
    for (int i = 0; i < list->count(); ++i) EXPECT_FALSE(list->item(i)->icon().isNull());
    // Combo item i is catalogue entry i, so the selection names the office's printer.
    EXPECT_EQ(combo->currentIndex(), 0);
}

struct ComboCase {
    const char* officePrinter;
    std::optional<std::string> systemDefault;
    std::vector<std::string> installed;
    int selected;
};

class ComboSelectionTest : public OfficeDialogTest,
                           public testing::WithParamInterface<ComboCase> {};

TEST_P(ComboSelectionTest, ChoosesTheOfficesOrTheSystemsPrinter) {
    spooler.printers = GetParam().installed;
    spooler.defaultPrinter = GetParam().systemDefault;
    office.m_strDefaultPrinter = GetParam().officePrinter;
    auto dialog = Open(&office);
    EXPECT_EQ(Child<QComboBox>(dialog.get(), "defaultPrinter")->currentIndex(),
              GetParam().selected);
}

const std::vector<std::string> kInstalled = {"Zeta", "alpha", "default", "Alpha"};

INSTANTIATE_TEST_SUITE_P(
    Rules, ComboSelectionTest,
    testing::Values(ComboCase{"alpha", "Zeta", kInstalled, 1},   // the office's own printer
                    ComboCase{"Gone", "Zeta", kInstalled, -1},   // no longer installed
                    ComboCase{"", "Zeta", kInstalled, 0},        // a new office: the default
                    ComboCase{"", std::nullopt, kInstalled, 2},  // no default: "default"
                    ComboCase{"Zeta", "Zeta", {}, -1}));         // no printers

TEST_F(OfficeDialogTest, ApplyWritesTheRecordAndCancelKeepsWhatWasApplied) {
    auto dialog = Open(&office);
    auto* name = Child<QLineEdit>(dialog.get(), "name");
    name->selectAll();
    QTest::keyClicks(name, "Branch");
    auto* combo = Child<QComboBox>(dialog.get(), "defaultPrinter");
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Down);  // Zeta -> alpha
    ClickTab(dialog.get(), COfficeDialog::kNetworkSettingsTab);
    auto* gateway = Child<IpAddressEdit>(dialog.get(), "defaultGateway");
    gateway->Field(0)->setFocus();
    gateway->Field(0)->selectAll();
    Type("172.16.0.254");

    QTest::mouseClick(Child<QPushButton>(dialog.get(), "apply"), Qt::LeftButton);
    EXPECT_TRUE(dialog->isVisible()) << "Apply leaves the dialog open";
    EXPECT_EQ(office.m_strOfficeName, "Branch");
    EXPECT_EQ(office.m_strDefaultPrinter, "alpha");
    EXPECT_EQ(office.m_network.m_strDefaultGateway, "172.16.0.254");
    // Untouched addresses come back as they were stored.
    EXPECT_EQ(office.m_network.m_strIPAddress, "10.0.0.5");
    EXPECT_EQ(office.m_network.m_strWINSServer, "10.0.0.9");
    EXPECT_EQ(office.m_strKeyName, "3FF36300");

    QTest::keyClicks(name, " later");
    QTest::mouseClick(Child<QPushButton>(dialog.get(), "cancel"), Qt::LeftButton);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(office.m_strOfficeName, "Branch") << "Cancel copies nothing more";
}

// An edit reports, and takes into the record, only what the user changed: values the
// controls show in another form stay as stored, so that a save writes nothing else.
TEST_F(OfficeDialogTest, OkTakesOnlyTheValuesTheUserChanged) {
    office.m_network.m_strDNSServer2 = "N/A";      // shown as 255.255.255.255
    office.m_network.m_strWINSServer = "";         // shown blank, read as 0.0.0.0
    office.m_strDefaultPrinter = "Not installed";  // shown as the user's default printer
    const COfficeNetwork before = office;
    for (const bool rename : {false, true}) {
        auto dialog = Open(&office);
        if (rename) {
            auto* name = Child<QLineEdit>(dialog.get(), "name");
            name->selectAll();
            QTest::keyClicks(name, "Branch");
        }
        QTest::mouseClick(Child<QPushButton>(dialog.get(), "ok"), Qt::LeftButton);
        std::array<bool, 9> changed{};
        changed[0] = rename;
        EXPECT_EQ(dialog->Presenter().ChangedValues(), changed);
        EXPECT_EQ(office.m_network, before.m_network);
        EXPECT_EQ(office.m_strDefaultPrinter, "Not installed");
        EXPECT_EQ(office.m_strOfficeName, rename ? "Branch" : "Head Office");
    }
}

TEST_F(OfficeDialogTest, NameTakesNoMoreBytesThanTheStoreGivesBack) {
    auto dialog = Open(&office);
    auto* name = Child<QLineEdit>(dialog.get(), "name");
    name->setText(QString(1021, u'x'));
    name->setFocus();
    name->end(false);
    name->insert(QStringLiteral("\u00fc"));        // two bytes, as a paste: 1023
    QTest::keyClicks(name, QStringLiteral("ab"));  // nothing more fits
    name->insert(QStringLiteral("\u00fc"));
    EXPECT_EQ(name->text().toUtf8().size(), 1023);
    EXPECT_TRUE(name->text().endsWith(QStringLiteral("x\u00fc")));
    QTest::mouseClick(Child<QPushButton>(dialog.get(), "ok"), Qt::LeftButton);
    EXPECT_EQ(office.m_strOfficeName.size(), 1023u);
}

TEST_F(OfficeDialogTest, OkAppliesAndEndsWithOkWhileCancelAndEscapeCopyNothing) {
    struct Case {
        const char* how;
        int result;
        const char* printer;
    };
    for (const Case c : {Case{"ok", ui::IDOK, "alpha"}, Case{"cancel", ui::IDCANCEL, "Zeta"},
                         Case{"escape", ui::IDCANCEL, "Zeta"}}) {
        office.m_strDefaultPrinter = "Zeta";
        COfficeDialog dialog(spooler, prompt);
        dialog.Presenter().SetOffice(&office);
        OnNextModal([&](QWidget* modal) {
            auto* combo = Child<QComboBox>(modal, "defaultPrinter");
            combo->setFocus();
            QTest::keyClick(combo, Qt::Key_Down);
            if (std::string(c.how) == "escape")
                QTest::keyClick(modal, Qt::Key_Escape);
            else
                QTest::mouseClick(Child<QPushButton>(modal, c.how), Qt::LeftButton);
        });
        EXPECT_EQ(dialog.DoModal(), c.result) << c.how;
        EXPECT_EQ(office.m_strDefaultPrinter, c.printer) << c.how;
    }
}

TEST_F(OfficeDialogTest, TabsShowTheirOwnControlsAndKeepTypedValues) {
    auto dialog = Open(&office);
    QWidget* d = dialog.get();
    auto visible = [d](const char* name) { return Child<QWidget>(d, name)->isVisibleTo(d); };
    auto labelVisible = [d](const QString& text) {
        for (QLabel* label : d->findChildren<QLabel*>())
            if (label->text() == text) return label->isVisibleTo(d);
        ADD_FAILURE() << "no label " << text.toStdString();
        return false;
    };

    struct TabCase {
        int tab;
        bool printers, drives, network;
    };
    auto* ip = Child<IpAddressEdit>(d, "ipAddress");
    for (const TabCase t : {TabCase{0, true, false, false}, TabCase{2, false, false, true},
                            TabCase{1, false, true, false}, TabCase{2, false, false, true},
                            TabCase{0, true, false, false}}) {
        ClickTab(d, t.tab);
        SCOPED_TRACE(t.tab);
        EXPECT_EQ(visible("defaultPrinter"), t.printers);
        EXPECT_EQ(visible("availablePrinters"), t.printers);
        EXPECT_EQ(labelVisible("Default Printer"), t.printers);
        EXPECT_EQ(labelVisible("Available Printers"), t.printers);
        EXPECT_EQ(visible("notSupported"), t.drives);
        for (const char* name : kAddressControls) EXPECT_EQ(visible(name), t.network) << name;
        for (const char* label :
             {"IP Address", "Subnet Mask", "Default Gateway", "DHCP Server", "Primary DNS Server",
              "Secondary DNS Server", "Primary WINS Server"})
            EXPECT_EQ(labelVisible(label), t.network) << label;
        // The name and the buttons belong to no tab.
        EXPECT_TRUE(visible("name"));
        EXPECT_TRUE(visible("ok") && visible("apply") && visible("cancel"));
        if (t.tab == 2 && ip->Text() == "10.0.0.5") {
            ip->Field(3)->setFocus();
            ip->Field(3)->selectAll();
            Type("77");
        }
    }
    EXPECT_EQ(ip->Text(), "10.0.0.77");
    EXPECT_EQ(Child<QLabel>(d, "notSupported")->text(), "Not supported in this version");
    EXPECT_EQ(Child<QTabWidget>(d, "tabs")->tabText(0), "Printers");
    EXPECT_EQ(Child<QTabWidget>(d, "tabs")->tabText(1), "Drive Mapping");
    EXPECT_EQ(Child<QTabWidget>(d, "tabs")->tabText(2), "Network Settings");
}

TEST_F(OfficeDialogTest, HelpKeys) {
    auto dialog = Open(&office);
    std::vector<std::string> pages;
    dialog->Presenter().SetHelpHandler([&](const std::string& page) { pages.push_back(page); });
    QTest::keyClick(Child<QLineEdit>(dialog.get(), "name"), Qt::Key_F1);
    EXPECT_EQ(pages, std::vector<std::string>{"office"});

    // Every control with a help topic explains itself ("What's This", Shift+F1).
    for (const char* name : {"name", "defaultPrinter", "availablePrinters", "tabs"})
        EXPECT_FALSE(Child<QWidget>(dialog.get(), name)->whatsThis().isEmpty()) << name;
    for (const char* name : kAddressControls)
        EXPECT_FALSE(Child<QWidget>(dialog.get(), name)->whatsThis().isEmpty()) << name;

    auto* name = Child<QLineEdit>(dialog.get(), "name");
    name->setFocus();
    QTest::keyClick(name, Qt::Key_F1, Qt::ShiftModifier);
    QWidget* popup = QApplication::activePopupWidget();
    ASSERT_NE(popup, nullptr) << "Shift+F1 shows the focused control's text";
    popup->close();
    EXPECT_EQ(pages.size(), 1u) << "Shift+F1 does not open the manual";
}

}  // namespace
}  // namespace voldrane::test
