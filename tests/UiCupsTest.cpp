// The printer side of the dialogs with the CUPS spooler and a private cupsd: what the office
// dialog offers, and the default printer changing (as `lpstat -d` shows it) when the applied
// office's printer is edited.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QListWidget>

#include "offices/OfficeStore.h"
#include "platform/linux/CupsSpooler.h"
#include "platform/linux/RegFileStore.h"
#include "tests/ConfigDialogDriver.h"
#include "tests/printers/CupsTest.h"
#include "tests/support/TempFolder.h"
#include "ui/qt/CConfigDialog.h"
#include "ui/qt/COfficeDialog.h"

namespace voldrane::test {
namespace {

using platform::linux_os::CupsSpooler;
using platform::linux_os::RegFileStore;

class DialogCupsTest : public CupsTest {
  protected:
    void SetUp() override {
        CupsTest::SetUp();
        // The queues come from the spooler sorted without regard to case.
        AddQueues({"Zeta", "alpha", "Mid-Laser"});
        ASSERT_EQ(CupsTool({"/usr/bin/lpoptions", "-d", "Mid-Laser"}), "");
        m_store = std::make_unique<RegFileStore>(m_dir / "Voldrane.reg");
        host = std::make_unique<RecordingHost>(*m_store, spooler, prompt);
    }
    void TearDown() override { EXPECT_EQ(CancelPendingModalWaiters(), 0); }

    void Seed(const std::vector<std::pair<std::string, std::string>>& namesAndPrinters) {
        int key = 0x3FF36300;
        for (const auto& [name, printer] : namesAndPrinters) {
            COfficeNetwork office;
            office.m_strKeyName = QString::number(key++, 16).toUpper().toStdString();
            office.m_strOfficeName = name;
            office.m_strDefaultPrinter = printer;
            ASSERT_TRUE(SaveOffice(host->registry, office));
        }
        LoadOffices(host->registry, host->offices);
    }

    TempFolder m_dir{"voldrane-uicups"};
    CupsSpooler spooler;
    std::unique_ptr<RegFileStore> m_store;
    std::unique_ptr<RecordingHost> host;
    ScriptedPrompt prompt;
};

TEST_F(DialogCupsTest, OfficeDialogOffersTheInstalledPrintersAndTheUsersDefault) {
    COfficeNetwork fresh;
    fresh.m_strOfficeName = "New Office";
    ui::COfficeDialog dialog(spooler, prompt);
    dialog.Presenter().SetOffice(&fresh);
    dialog.OnInitDialog();
    auto* combo = Child<QComboBox>(&dialog, "defaultPrinter");
    auto* list = Child<QListWidget>(&dialog, "availablePrinters");
    QStringList items, listed;
    for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
    for (int i = 0; i < list->count(); ++i) listed << list->item(i)->text();
    EXPECT_EQ(items, QStringList({"alpha", "Mid-Laser", "Zeta"}));
    EXPECT_EQ(listed, items);
    EXPECT_EQ(combo->currentText(), "Mid-Laser") << "a new office starts at the user's default";
}

TEST_F(DialogCupsTest, EditingTheAppliedOfficesPrinterMakesItTheDefaultAtOnce) {
    Seed({{"Head Office", "Mid-Laser"}, {"Branch", "Mid-Laser"}});
    host->SelectOffice(0);
    ASSERT_EQ(LpstatDefault(), "system default destination: Mid-Laser");

    ui::CConfigDialog dialog;
    dialog.SetOfficeList(&host->offices);
    dialog.SetCurrentNetwork(&host->current);
    OnNextModal([&](QWidget* config) {
        ClickEntry(config, "Branch");
        ClickToOfficeDialog(config, "edit", ChoosePrinterAnd("alpha", "ok"));
        EXPECT_EQ(LpstatDefault(), "system default destination: Mid-Laser")
            << "another office's printer is only stored";

        ClickEntry(config, "Head Office");
        ClickToOfficeDialog(config, "edit", ChoosePrinterAnd("Zeta", "ok"));
        EXPECT_EQ(LpstatDefault(), "system default destination: Zeta");
        Click(config, "close");
    });
    dialog.Run(false, host.get());
    EXPECT_EQ(host->offices.ElementAt(1).m_strDefaultPrinter, "alpha");
    EXPECT_EQ(host->offices.ElementAt(0).m_strDefaultPrinter, "Zeta");
}

}  // namespace
}  // namespace voldrane::test
