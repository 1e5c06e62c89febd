// The configuration dialog's presenter over a recording view and host, a settings store in
// memory, a fake spooler and scripted answers: what each action does to the rows, the
// buttons, the store and the frame. No toolkit, print server, file system or display.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "offices/OfficeStore.h"
#include "offices/RegFile.h"
#include "tests/support/FakeSpooler.h"
#include "tests/support/Offices.h"
#include "tests/support/RecordingHost.h"
#include "tests/support/ScriptedPrompt.h"
#include "ui/ConfigDialogPresenter.h"

namespace voldrane::test {
namespace {

using ui::ConfigSwitches;
using ui::OfficeForm;

// The office dialog's controls: they show what they were given and hold what the test types.
class FormView final : public ui::IOfficeView {
  public:
    void ShowForm(const OfficeForm& shown, const std::vector<std::string>&,
                  const std::vector<std::string>&) override {
        form = shown;
    }
    OfficeForm FormValues() const override { return form; }
    OfficeForm form;
};

// The window: rows and a selection that moves with its entry, as a list view keeps them.
class RecordingView final : public ui::IConfigView {
  public:
    void ClearRows() override { rows.clear(), selected = -1; }
    void InsertRow(int row, const std::string& name) override {
        rows.insert(rows.begin() + row, name);
        if (selected >= row) ++selected;
    }
    void SetRowText(int row, const std::string& name) override { rows.at(size_t(row)) = name; }
    void RemoveRow(int row) override {
        rows.erase(rows.begin() + row);
        selected = selected == row ? -1 : selected - (selected > row);
    }
    int SelectedRow() const override { return selected; }
    void ClearSelection() override { selected = -1; }
    void EnableOfficeButtons(bool enabled) override { buttons = enabled; }
    void ShowSwitches(const ConfigSwitches& shown) override { switches = shown; }
    void ShowAutostart(bool) override {}
    void RunModal() override {
        if (whileOpen) whileOpen();
    }
    void EndDialog() override { ++ended; }
    // The office dialog: `office` acts in it and says whether it ends with OK.
    bool RunOfficeDialog(ui::OfficeDialogPresenter& presenter, bool aboveWindow) override {
        officeAbove.push_back(aboveWindow);
        FormView view;
        presenter.Init(view);
        presenter.OnHelp();
        const bool ok = office ? office(view.form, presenter) : false;
        if (ok) presenter.OnOk();
        return ok;
    }

    std::vector<std::string> rows;
    int selected = -1;
    bool buttons = true;
    ConfigSwitches switches;
    int ended = 0;
    std::vector<bool> officeAbove;
    std::function<bool(OfficeForm&, ui::OfficeDialogPresenter&)> office;
    std::function<void()> whileOpen;
};

class ConfigPresenterTest : public testing::Test {
  protected:
    void SetUp() override {
        spooler.printers = std::vector<std::string>{"Zeta", "alpha", "Beta"};
        spooler.defaultPrinter = "Beta";
    }
    void TearDown() override { EXPECT_TRUE(prompt.AllAnswersUsed()); }

    void Seed(const std::vector<COfficeNetwork>& offices) {
        for (const COfficeNetwork& o : offices) ASSERT_TRUE(SaveOffice(host.registry, o));
        LoadOffices(host.registry, host.offices);
    }
    // What a fresh start would load: "key=name/printer" per office.
    std::vector<std::string> Stored() {
        CRegistry registry(store);
        COfficeList offices;
        LoadOffices(registry, offices);
        std::vector<std::string> out;
        for (int i = 0; i < offices.GetSize(); ++i) {
            const COfficeNetwork& o = offices.ElementAt(i);
            out.push_back(o.m_strKeyName + "=" + o.m_strOfficeName + "/" + o.m_strDefaultPrinter);
        }
        return out;
    }
    void Select(const std::string& row) {
        view.selected = -1;
        for (size_t r = 0; r < view.rows.size(); ++r)
            if (view.rows[r] == row) view.selected = static_cast<int>(r);
        ASSERT_GE(view.selected, 0) << row;
        presenter.OnSelectionChanged();
    }
    // Opens the window; `inside` runs while it is open.
    void Open(std::function<void()> inside) {
        view.whileOpen = std::move(inside);
        EXPECT_EQ(presenter.Run(false), ui::IDCANCEL);
    }

    MemoryRegistryStore store;
    FakeSpooler spooler;
    ScriptedPrompt prompt;
    RecordingHost host{store, spooler, prompt};
    RecordingView view;
    ui::ConfigDialogPresenter presenter{host, view};
};

// The office dialog: the name typed, then OK, Cancel, or Apply and Cancel.
enum class End { Ok, Cancel, ApplyThenCancel };
auto Named(const std::string& name, End end = End::Ok) {
    return [name, end](OfficeForm& form, ui::OfficeDialogPresenter& dialog) {
        form.name = name;
        if (end == End::ApplyThenCancel) dialog.OnApply();
        return end == End::Ok;
    };
}

TEST_F(ConfigPresenterTest, RowsAreSortedAsTheyGoInAndAnEditDoesNotMoveThem) {
    Seed({MakeOffice("01", "beta"), MakeOffice("02", "Alpha"), MakeOffice("03", "alpha"),
          MakeOffice("04", "Zeta")});
    Open([&] {
        EXPECT_EQ(view.rows, (std::vector<std::string>{"Alpha", "alpha", "beta", "Zeta"}));
        Select("beta");
        view.office = Named("zz");
        presenter.OnEdit();
        // A new office goes in before the first entry that sorts behind it, as listed now.
        prompt.Answer(false);  // Use Current Network Settings?
        view.office = Named("b");
        presenter.OnNew();
        EXPECT_EQ(view.rows, (std::vector<std::string>{"Alpha", "alpha", "b", "zz", "Zeta"}));
        EXPECT_EQ(view.rows[size_t(view.selected)], "zz") << "the selection stays on its entry";
        view.rows[3] = "typed in place";  // names change only through the office dialog
        presenter.OnRowTextEdited(3);
        EXPECT_EQ(view.rows[3], "zz");

        // A name applied before Cancel is kept unsaved but not listed; the list's own texts
        // decide where the next office goes.
        Select("Alpha");
        view.office = Named("0", End::ApplyThenCancel);
        presenter.OnEdit();
        EXPECT_EQ(view.rows[0], "Alpha");
        EXPECT_TRUE(host.offices.ElementAt(1).m_unsavedValues[0]);
        prompt.Answer(false);
        view.office = Named("aa");
        presenter.OnNew();
        EXPECT_EQ(view.rows[0], "aa");
    });
    EXPECT_EQ(view.officeAbove, (std::vector<bool>{true, true, true, true}));
    EXPECT_EQ(host.helpPages, (std::vector<std::string>(4, "office")));
}

TEST_F(ConfigPresenterTest, NewInTheHiddenFlowTakesThisNetworkAndAppliesTheFirstOffice) {
    view.office = [](OfficeForm& form, ui::OfficeDialogPresenter&) {
        EXPECT_EQ(form.name, "New Office");
        EXPECT_EQ(form.addresses[0], "192.168.1.20");
        EXPECT_EQ(form.addresses[5], "N/A");
        EXPECT_EQ(form.printer, 2) << "the user's default printer";
        form.name = "Home";
        return true;
    };
    EXPECT_EQ(presenter.Run(true), 0);
    EXPECT_TRUE(prompt.shown.empty()) << "no question in this flow";
    EXPECT_EQ(view.officeAbove, std::vector<bool>{false});
    ASSERT_EQ(host.offices.GetSize(), 1);
    const std::string key = host.offices.ElementAt(0).m_strKeyName;
    EXPECT_FALSE(key.empty());
    EXPECT_EQ(Stored(), std::vector<std::string>{key + "=Home/Beta"});
    EXPECT_EQ(host.selected, std::vector<int>{0});
    EXPECT_GE(host.officesChanged, 1);

    // The second office is not applied, and Cancel adds nothing.
    Open([&] {
        prompt.Answer(true);
        view.office = Named("Second");
        presenter.OnNew();
        prompt.Answer(true);
        view.office = Named("Cancelled", End::Cancel);
        presenter.OnNew();
    });
    EXPECT_EQ(host.offices.GetSize(), 2);
    EXPECT_EQ(Stored().size(), 2u);
    EXPECT_EQ(host.selected, std::vector<int>{0});
}

TEST_F(ConfigPresenterTest, ButtonsFollowTheSelectionAndDeleteRenumbers) {
    Seed({MakeOffice("0A", "A", "10.1.0.5", "Zeta"), MakeOffice("0B", "B"), MakeOffice("0C", "C")});
    host.currentOffice = 2;
    Open([&] {
        EXPECT_FALSE(view.buttons);
        Select("B");
        EXPECT_TRUE(view.buttons);
        presenter.OnSelect();
        EXPECT_EQ(host.selected, std::vector<int>{1});
        EXPECT_EQ(spooler.defaultPrinter, "Laser");
        host.currentOffice = 2;

        Select("A");
        prompt.Answer(false);
        presenter.OnDelete();
        EXPECT_EQ(host.offices.GetSize(), 3) << "No deletes nothing";
        prompt.Answer(true);
        presenter.OnDelete();
        EXPECT_FALSE(view.buttons) << "no other office is selected in its place";
        EXPECT_EQ(view.rows, (std::vector<std::string>{"B", "C"}));
        EXPECT_EQ(host.currentOffice, 1) << "the applied office moved up one place";
        ASSERT_EQ(presenter.Rows().size(), 2u);
        EXPECT_EQ(presenter.Rows()[0].position, 0);
        EXPECT_EQ(presenter.Rows()[1].position, 1);

        Select("C");
        prompt.Answer(true);
        presenter.OnDelete();
        EXPECT_EQ(host.currentOffice, -1) << "its printer stays, no office is current";
        EXPECT_EQ(host.noOffices, 0);
        Select("B");
        prompt.Answer(true);
        presenter.OnDelete();
        EXPECT_EQ(host.noOffices, 1);
    });
    EXPECT_TRUE(Stored().empty());
    EXPECT_EQ(prompt.shown[0].text, "Are you sure you want to delete this office network?");
    EXPECT_EQ(prompt.shown[0].icon, ui::PromptIcon::Exclamation);
}

TEST_F(ConfigPresenterTest, EditStoresOnlyWhatChangedAndAppliesTheOfficeInUseAgain) {
    Seed({MakeOffice("0A", "Head", "10.1.0.5", "Zeta"), MakeOffice("0B", "Berlin")});
    host.currentOffice = 0;
    spooler.defaultPrinter = "Zeta";
    CRegistry other(store);  // another program
    COfficeNetwork renamed;  // renames it meanwhile
    renamed.m_strKeyName = "0A";
    renamed.m_strOfficeName = "Headquarters";
    bool gone = false;
    ASSERT_TRUE(UpdateOffice(other, renamed, {true}, gone));
    const auto choose = [](int printer) {
        return [printer](OfficeForm& form, ui::OfficeDialogPresenter&) {
            form.printer = printer;
            return true;
        };
    };
    Open([&] {
        Select("Berlin");  // not the office in use: stored, and the printer stays
        view.office = choose(1);
        presenter.OnEdit();
        EXPECT_TRUE(host.selected.empty());
        Select("Head");
        view.office = choose(2);
        presenter.OnEdit();
        EXPECT_EQ(view.rows, (std::vector<std::string>{"Berlin", "Headquarters"}));
    });
    EXPECT_EQ(Stored(), (std::vector<std::string>{"0A=Headquarters/Beta", "0B=Berlin/alpha"}));
    EXPECT_EQ(host.selected, std::vector<int>{0});
    EXPECT_EQ(spooler.defaultPrinter, "Beta");

    // Removed by another program meanwhile: said so, gone from the list too, and the
    // positions behind it move up.
    ASSERT_TRUE(DeleteOfficeKey(other, "0A"));
    host.currentOffice = 1;
    Open([&] {
        Select("Headquarters");
        view.office = Named("Lost");
        presenter.OnEdit();
        EXPECT_EQ(view.rows, std::vector<std::string>{"Berlin"});
        EXPECT_EQ(presenter.Rows()[0].position, 0);
    });
    EXPECT_EQ(Stored(), std::vector<std::string>{"0B=Berlin/alpha"});
    EXPECT_EQ(host.currentOffice, 0);
    EXPECT_EQ(host.noOffices, 0);
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].text,
              "The office network \"Headquarters\" was removed by another program, so the "
              "change was not saved.");
}

TEST_F(ConfigPresenterTest, DeletionKeepsTheCurrentOfficeMarked) {
    struct Case {
        int current;
        const char* deleted;
        int after;
    };
    // Behind the deleted office: one place up. The deleted office itself: none.
    for (const Case c : {Case{2, "B", 1}, Case{0, "B", 0}, Case{1, "B", -1}, Case{-1, "A", -1}}) {
        for (const char* key : {"0A", "0B", "0C"}) DeleteOfficeKey(host.registry, key);
        host.offices.RemoveAll();
        Seed({MakeOffice("0A", "A"), MakeOffice("0B", "B"), MakeOffice("0C", "C")});
        host.currentOffice = c.current;
        prompt.Answer(true);
        Open([&] {
            Select(c.deleted);
            presenter.OnDelete();
        });
        EXPECT_EQ(host.currentOffice, c.after) << c.current;
    }
    EXPECT_TRUE(host.selected.empty()) << "deleting applies nothing";
}

// Only a switch the user changed is stored: one left as shown keeps what another program
// stored meanwhile (the frame takes that up when it reloads). Escape stores nothing.
TEST_F(ConfigPresenterTest, CloseStoresOnlyTheSwitchesTheUserChanged) {
    CRegistry other(store);  // another program
    Open([&] {
        EXPECT_EQ(view.switches.autoDetect, true);
        EXPECT_EQ(view.switches.followNetwork, false);
        EXPECT_EQ(view.switches.notify, true);
        ASSERT_TRUE(WriteNotify(other, false));
        presenter.OnClose({false, true, true});
    });
    EXPECT_EQ(view.ended, 1);
    EXPECT_FALSE(ReadAutoDetect(host.registry));
    EXPECT_FALSE(host.autoDetect);
    EXPECT_TRUE(ReadFollowNetwork(host.registry));
    EXPECT_FALSE(ReadNotify(host.registry)) << "an untouched switch leaves the other's change";

    Open([&] {
        EXPECT_EQ(view.switches.notify, false);
        ASSERT_TRUE(WriteAutoDetect(other, true));
        presenter.OnClose({false, true, true});
    });
    EXPECT_TRUE(ReadNotify(host.registry));
    EXPECT_TRUE(ReadAutoDetect(host.registry));
    EXPECT_FALSE(host.autoDetect);

    Open([&] {
        ASSERT_TRUE(WriteAutoDetect(other, false));
        presenter.OnClose({true, true, true});  // switched on again by the user
    });
    EXPECT_TRUE(ReadAutoDetect(host.registry));
    EXPECT_TRUE(host.autoDetect);
    presenter.OnHelp();
    EXPECT_EQ(host.helpPages, std::vector<std::string>{"config"});
}

}  // namespace
}  // namespace voldrane::test
