// The catalogue, the combo's selection rule and the apply sequence, over an in-memory spooler.
#include <gtest/gtest.h>

#include "network/OfficeSelection.h"
#include "printers/CPrinterList.h"
#include "tests/support/FakeSpooler.h"

namespace voldrane {
namespace {

using Strings = std::vector<std::string>;
using test::FakeSpooler;

class LogDisplay : public ISelectionDisplay {
  public:
    explicit LogDisplay(Strings& log) : m_log(log) {}
    void ShowAppliedOffice(const COfficeNetwork& office) override {
        m_log.push_back("display:" + office.m_strOfficeName);
    }

  private:
    Strings& m_log;
};

TEST(CPrinterList, KeepsEveryNameInTheSpoolersOrder) {
    FakeSpooler spooler;
    spooler.printers = Strings{};
    for (int i = 0; i < 60; ++i) spooler.printers->push_back("P" + std::to_string(59 - i));
    CPrinterList list(spooler);
    ASSERT_EQ(list.GetCount(), 60);  // past the dialog's old 50: nothing dropped
    for (int i = 0; i < 60; ++i) EXPECT_EQ(list.GetPrinterName(i), "P" + std::to_string(59 - i));
    for (int index : {60, 61, -1, -60}) EXPECT_EQ(list.GetPrinterName(index), "Error") << index;
}

TEST(CPrinterList, SpoolerFailureLeavesItEmptyWithTheReason) {
    FakeSpooler spooler;
    spooler.printers = std::nullopt;
    CPrinterList list(spooler);
    EXPECT_EQ(list.GetCount(), 0);
    EXPECT_EQ(list.GetPrinterName(0), "Error");
    EXPECT_EQ(list.LastError(), "print server unreachable: test");
}

TEST(SelectDefaultPrinterEntry, TargetIsTheOfficesPrinterElseTheDefault) {
    const Strings entries{"Laser", "Ink", "laser", "default", "Ink"};
    struct {
        const char* what;
        Strings entries;
        std::string office, defaultName;
        int expected;
    } cases[] = {
        {"office printer wins over the default", entries, "laser", "Laser", 2},
        {"new office: the current default", entries, "", "Laser", 0},
        {"case differs: nothing", entries, "LASER", "Laser", -1},
        {"office printer gone: nothing, no fallback", entries, "Gone", "Laser", -1},
        {"no user default: only a printer named default", entries, "", "default", 3},
        {"several equal: the last", entries, "Ink", "", 4},
        {"no printers", {}, "Laser", "Laser", -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SelectDefaultPrinterEntry(c.entries, c.office, c.defaultName), c.expected)
            << c.what;
}

COfficeList Offices() {
    COfficeList offices;
    for (auto [name, printer] : {std::pair{"Head office", "Laser"}, {"Branch", ""}}) {
        auto o = std::make_unique<COfficeNetwork>();
        o->m_strOfficeName = name;
        o->m_strDefaultPrinter = printer;
        offices.Append(std::move(o));
    }
    return offices;
}

TEST(SelectOffice, DisplayThenPrinterThenPosition) {
    const COfficeList offices = Offices();
    struct {
        const char* what;
        int position;
        bool spoolerAccepts;
        Strings log;
    } cases[] = {
        {"office with a printer", 0, true, {"display:Head office", "printer:Laser"}},
        {"empty printer is still passed", 1, false, {"display:Branch", "printer:"}},
        {"refused printer changes nothing else",
         0,
         false,
         {"display:Head office", "printer:Laser"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Strings log;
        FakeSpooler spooler(&log);
        spooler.setResult = c.spoolerAccepts;
        LogDisplay display(log);
        int current = -1;
        const auto outcome = SelectOffice(offices, c.position, spooler, &display, current);
        EXPECT_EQ(log, c.log);
        EXPECT_EQ(current, c.position);
        EXPECT_EQ(outcome.printerSet, c.spoolerAccepts);
        EXPECT_EQ(outcome.error.empty(), c.spoolerAccepts) << outcome.error;
    }
}

TEST(SelectOffice, AgainMakesTheSameCallsAndWorksWithoutDisplay) {
    const COfficeList offices = Offices();
    Strings log;
    FakeSpooler spooler(&log);
    LogDisplay display(log);
    int current = 1;
    SelectOffice(offices, 0, spooler, &display, current);
    SelectOffice(offices, 0, spooler, &display, current);
    EXPECT_EQ(log, (Strings{"display:Head office", "printer:Laser", "display:Head office",
                            "printer:Laser"}));
    SelectOffice(offices, 1, spooler, nullptr, current);
    EXPECT_EQ(log.back(), "printer:");
    EXPECT_EQ(current, 1);
}

}  // namespace
}  // namespace voldrane
