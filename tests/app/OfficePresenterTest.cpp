// The office dialog's presenter over a form the test fills, and the lists' sort rule. No
// toolkit, print server or display.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/FakeSpooler.h"
#include "tests/support/ScriptedPrompt.h"
#include "ui/NameOrder.h"
#include "ui/OfficeDialogPresenter.h"

namespace voldrane::test {
namespace {

using ui::OfficeForm;

// The controls: what they were given, changed by the test. Addresses that the real address
// controls would show in another form are given back as they show them.
class FormView final : public ui::IOfficeView {
  public:
    void ShowForm(const OfficeForm& shown, const std::vector<std::string>& catalogue,
                  const std::vector<std::string>& sorted) override {
        form = shown;
        for (std::string& a : form.addresses)
            a = a.empty() ? "0.0.0.0" : a == "N/A" ? "255.255.255.255" : a;
        printers = catalogue;
        listed = sorted;
    }
    OfficeForm FormValues() const override { return form; }
    OfficeForm form;
    std::vector<std::string> printers, listed;
};

class OfficePresenterTest : public testing::Test {
  protected:
    void SetUp() override {
        spooler.printers = std::vector<std::string>{"Zeta", "alpha", "Beta-Laser", "beta"};
        spooler.defaultPrinter = "beta";
        office.m_strKeyName = "3FF36300";
        office.m_strOfficeName = "Head Office";
        office.m_strDefaultPrinter = "Not installed";
        office.m_network = {"10.0.0.5", "255.0.0.0", "10.0.0.1", "10.0.0.2", "10.0.0.3", "N/A", ""};
        presenter.SetOffice(&office);
    }

    FakeSpooler spooler;
    ScriptedPrompt prompt;
    COfficeNetwork office;
    ui::OfficeDialogPresenter presenter{spooler, prompt};
    FormView view;
};

TEST_F(OfficePresenterTest, AnEditTakesOnlyWhatTheUserChangedAndKeepsAPrinterNotChosen) {
    presenter.Init(view);
    EXPECT_EQ(view.printers, presenter.Printers());
    EXPECT_EQ(view.listed, (std::vector<std::string>{"alpha", "beta", "Beta-Laser", "Zeta"}));
    EXPECT_EQ(view.form.printer, -1) << "the office's printer is not installed here";
    const COfficeNetwork before = office;

    presenter.OnApply();  // nothing changed: "N/A", the blank WINS and the printer stay
    EXPECT_EQ(presenter.ChangedValues(), (std::array<bool, 9>{}));
    EXPECT_EQ(office.m_network, before.m_network);
    EXPECT_EQ(office.m_strDefaultPrinter, "Not installed");

    view.form.name = "Branch";
    view.form.addresses[2] = "172.16.0.254";
    view.form.printer = -1;  // none chosen: the office keeps its printer
    presenter.OnApply();
    EXPECT_EQ(office.m_strOfficeName, "Branch");
    EXPECT_EQ(office.m_network.m_strDefaultGateway, "172.16.0.254");
    EXPECT_EQ(office.m_network.m_strDNSServer2, "N/A");
    EXPECT_EQ(office.m_strDefaultPrinter, "Not installed");
    view.form.printer = 1;
    presenter.OnOk();
    EXPECT_EQ(office.m_strDefaultPrinter, "alpha");
    const std::array<bool, 9> changed = {true,  false, false, true, false,
                                         false, false, false, true};
    EXPECT_EQ(presenter.ChangedValues(), changed);
    view.form.printer = -1;
    presenter.OnApply();
    EXPECT_EQ(office.m_strDefaultPrinter, "alpha") << "without a choice the printer stays";
}

TEST_F(OfficePresenterTest, ANewOfficeAsksForThisNetworkAndTakesEveryValue) {
    const CNetworkSettings current{"192.168.1.20", "255.255.255.0", "192.168.1.1", "192.168.1.2",
                                   "192.168.1.3",  "N/A",           "0.0.0.0"};
    for (const bool yes : {true, false}) {
        COfficeNetwork fresh;
        fresh.m_strOfficeName = "New Office";
        ui::OfficeDialogPresenter dialog(spooler, prompt);
        dialog.SetOffice(&fresh);
        prompt.Answer(yes);
        dialog.UseCurrentNetwork(&current, true);
        dialog.Init(view);
        EXPECT_EQ(view.form.addresses[0], yes ? "192.168.1.20" : "0.0.0.0");
        EXPECT_EQ(view.form.printer, 3) << "the user's default printer";
        dialog.OnOk();
        EXPECT_EQ(fresh.m_network.m_strDNSServer2, yes ? "255.255.255.255" : "0.0.0.0");
        EXPECT_EQ(fresh.m_strDefaultPrinter, "beta");
    }
    ASSERT_EQ(prompt.shown.size(), 2u);
    EXPECT_EQ(prompt.shown[0].text, "Use Current Network Settings?");
    EXPECT_EQ(prompt.shown[0].icon, ui::PromptIcon::Question);
}

TEST(OfficeNameTest, FitsWhatTheStoreGivesBack) {
    EXPECT_TRUE(ui::OfficeDialogPresenter::NameFits(std::string(1023, 'x')));
    EXPECT_FALSE(ui::OfficeDialogPresenter::NameFits(std::string(1022, 'x') + "\xC3\xBC"));
}

TEST(NameOrderTest, CaseFoldedFirstThenExactTextAsUtf16) {
    const auto less = [](const char* a, const char* b) { return ui::NameLess(a, b); };
    EXPECT_TRUE(less("Alpha", "alpha"));
    EXPECT_TRUE(less("alpha", "Beta"));
    EXPECT_FALSE(less("beta", "Beta"));
    EXPECT_TRUE(less("Zeta", "\xC3\xA4rger")) << "U+00E4 folds to itself, behind z";
    EXPECT_TRUE(less("\xC3\x84rger", "\xC3\xA4rger")) << "equal folded, then exact";
    EXPECT_TRUE(less("\xCE\xB1", "\xCE\x92")) << "Greek small alpha before capital beta";
    EXPECT_TRUE(less("\xD0\xB0", "\xD0\x91")) << "Cyrillic small a before capital be";
    // UTF-16 order: a letter outside the BMP (a surrogate pair) before U+FFxx.
    EXPECT_TRUE(less("\xF0\x9F\x98\x80", "\xEF\xBC\xA1"));
    EXPECT_EQ(ui::SortedRow({"a", "c", "b"}, "b"), 1) << "the first entry that sorts behind";
    EXPECT_EQ(ui::SortedRow({"a", "B"}, "b"), 2) << "after an entry equal but for case";
}

}  // namespace
}  // namespace voldrane::test
