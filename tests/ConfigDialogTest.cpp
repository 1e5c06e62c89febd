// The configuration dialog over a settings file in a temp folder, driven by clicks and keys;
// the office dialog it opens is answered from inside its own modal loop.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <memory>

#include "offices/OfficeStore.h"
#include "platform/linux/RegFileStore.h"
#include "tests/ConfigDialogDriver.h"
#include "tests/UiTestSupport.h"
#include "tests/support/TempFolder.h"
#include "ui/qt/CConfigDialog.h"
#include "ui/qt/COfficeDialog.h"
#include "ui/qt/IpAddressEdit.h"

namespace voldrane::test {
namespace {

using platform::linux_os::RegFileStore;

class ConfigDialogTest : public testing::Test {
  protected:
    void SetUp() override {
        spooler.printers = std::vector<std::string>{"Zeta", "alpha", "Beta"};
        spooler.defaultPrinter = "Beta";
        Fresh();
    }

    void TearDown() override {
        EXPECT_EQ(CancelPendingModalWaiters(), 0)
            << "a modal window the test waited for never came";
    }

    // An empty store of its own and a frame that has loaded nothing yet.
    void Fresh() {
        ++m_generation;
        host.reset();
        m_store = std::make_unique<RegFileStore>(StorePath());
        host = std::make_unique<RecordingHost>(*m_store, spooler, prompt);
    }

    std::string StorePath() const {
        return m_dir / ("settings" + std::to_string(m_generation) + "/Voldrane.reg");
    }

    // Stores offices under the given key names (in that order) and loads them as the frame
    // does at start-up.
    void Seed(const std::vector<std::pair<std::string, std::string>>& keysAndNames,
              const std::string& printer = "Zeta") {
        for (const auto& [key, name] : keysAndNames) {
            COfficeNetwork office;
            office.m_strKeyName = key;
            office.m_strOfficeName = name;
            office.m_strDefaultPrinter = printer;
            office.m_network.m_strIPAddress = "10.0.0." + std::to_string(keysAndNames.size());
            ASSERT_TRUE(SaveOffice(host->registry, office));
        }
        LoadOffices(host->registry, host->offices);
    }

    // What a fresh start would load: "key=name/printer" per office.
    std::vector<std::string> Stored() {
        RegFileStore store(StorePath());
        CRegistry registry(store);
        COfficeList offices;
        LoadOffices(registry, offices);
        std::vector<std::string> out;
        for (int i = 0; i < offices.GetSize(); ++i) {
            const COfficeNetwork& o = offices.ElementAt(i);
            out.push_back(o.m_strOfficeName + "/" + o.m_strDefaultPrinter);
        }
        return out;
    }

    std::optional<uint32_t> StoredAutoDetect() {
        RegFileStore store(StorePath());
        CRegistry registry(store);
        uint32_t value = 0;
        if (!registry.ReadDWORD(kAppKey, kAutoDetectValue, value)) return std::nullopt;
        return value;
    }

    // Runs the modal configuration window; `script` acts in it and must end it.
    int RunConfig(std::function<void(QWidget*)> script) {
        ui::CConfigDialog dialog;
        dialog.SetOfficeList(&host->offices);
        dialog.SetCurrentNetwork(&host->current);
        OnNextModal(std::move(script));
        return dialog.Run(false, host.get());
    }

    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (int i = 0; i < host->offices.GetSize(); ++i)
            names.push_back(host->offices.ElementAt(i).m_strOfficeName);
        return names;
    }

    TempFolder m_dir{"voldrane-config"};
    int m_generation = 0;
    std::unique_ptr<RegFileStore> m_store;
    FakeSpooler spooler;
    ScriptedPrompt prompt;
    std::unique_ptr<RecordingHost> host;
};

TEST_F(ConfigDialogTest, ListsByNameWhileEachEntryKeepsItsOffice) {
    Seed({{"3FF36300", "Zurich"}, {"3FF36301", "amsterdam"}, {"3FF36302", "Berlin"}});
    ASSERT_EQ(Names(), (std::vector<std::string>{"Zurich", "amsterdam", "Berlin"}));
    RunConfig([&](QWidget* config) {
        EXPECT_EQ(Entries(config), QStringList({"amsterdam", "Berlin", "Zurich"}));
        // Nothing selected yet: only New (and the rest of the window) can be used.
        EXPECT_FALSE(Enabled(config, "edit") || Enabled(config, "select") ||
                     Enabled(config, "delete"));
        EXPECT_TRUE(Enabled(config, "new"));
        EXPECT_TRUE(Child<QCheckBox>(config, "autoDetect")->isChecked());

        for (const auto& [name, position] :
             std::vector<std::pair<QString, int>>{{"Zurich", 0}, {"amsterdam", 1}, {"Berlin", 2}}) {
            ClickEntry(config, name);
            EXPECT_TRUE(Enabled(config, "edit") && Enabled(config, "select") &&
                        Enabled(config, "delete"));
            Click(config, "select");
            EXPECT_EQ(host->selected.back(), position) << name.toStdString();
            // Edit opens the entry's own office.
            ClickToOfficeDialog(config, "edit", [&](QWidget* office) {
                EXPECT_EQ(Child<QLineEdit>(office, "name")->text(), name);
                Click(office, "cancel");
            });
        }
        EXPECT_TRUE(config->isVisible()) << "Select leaves the window open";
        Click(config, "close");
    });
    EXPECT_TRUE(host->autoDetect) << "Select does not change automatic detection";
}

struct NewCase {
    bool useCurrent;  // the answer to "Use Current Network Settings?"
    bool firstOffice;
};

class ConfigNewOfficeTest : public ConfigDialogTest, public testing::WithParamInterface<NewCase> {};

TEST_P(ConfigNewOfficeTest, AddsStoresAndAppliesTheFirstOffice) {
    const NewCase c = GetParam();
    if (!c.firstOffice) Seed({{"3FF36300", "Zurich"}});
    host->currentOffice = c.firstOffice ? -1 : 0;
    prompt.Answer(c.useCurrent);
    RunConfig([&](QWidget* config) {
        ClickToOfficeDialog(config, "new", [&](QWidget* office) {
            EXPECT_EQ(Child<QLineEdit>(office, "name")->text(), "New Office");
            EXPECT_EQ(Child<QComboBox>(office, "defaultPrinter")->currentText(), "Beta");
            EXPECT_EQ(Child<ui::IpAddressEdit>(office, "ipAddress")->Text(),
                      c.useCurrent ? "192.168.1.20" : "0.0.0.0");
            Click(office, "ok");
        });
        EXPECT_EQ(Entries(config), c.firstOffice ? QStringList({"New Office"})
                                                 : QStringList({"New Office", "Zurich"}));
        Click(config, "close");
    });
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].text, "Use Current Network Settings?");
    EXPECT_EQ(prompt.shown[0].icon, ui::PromptIcon::Question);

    const int n = c.firstOffice ? 0 : 1;
    ASSERT_EQ(host->offices.GetSize(), n + 1);
    const COfficeNetwork& added = host->offices.ElementAt(n);
    EXPECT_EQ(added.m_network.m_strIPAddress, c.useCurrent ? "192.168.1.20" : "0.0.0.0");
    EXPECT_EQ(added.m_network.m_strDNSServer2, c.useCurrent ? "255.255.255.255" : "0.0.0.0");
    EXPECT_EQ(added.m_strDefaultPrinter, "Beta");
    EXPECT_EQ(added.m_strKeyName.size(), 8u);
    EXPECT_EQ(Stored().back(), "New Office/Beta");
    EXPECT_EQ(host->selected, c.firstOffice ? std::vector<int>{0} : std::vector<int>{});
    EXPECT_EQ(host->currentOffice, 0);
    EXPECT_GE(host->officesChanged, 1);
}

INSTANTIATE_TEST_SUITE_P(Answers, ConfigNewOfficeTest,
                         testing::Values(NewCase{true, true}, NewCase{false, true},
                                         NewCase{true, false}, NewCase{false, false}));

TEST_F(ConfigDialogTest, NewThenCancelAddsNothingEvenAfterApply) {
    Seed({{"3FF36300", "Zurich"}});
    for (const bool applyFirst : {false, true}) {
        prompt.Answer(true);
        RunConfig([&](QWidget* config) {
            ClickToOfficeDialog(config, "new", [&](QWidget* office) {
                if (applyFirst) RenameAnd("Applied", "apply")(office);
                Click(office, "cancel");
            });
            EXPECT_EQ(Entries(config), QStringList({"Zurich"}));
            Click(config, "close");
        });
        EXPECT_EQ(Names(), std::vector<std::string>{"Zurich"});
        EXPECT_EQ(Stored(), std::vector<std::string>{"Zurich/Zeta"});
        EXPECT_TRUE(host->selected.empty());
    }
}

TEST_F(ConfigDialogTest, EditCancelAfterApplyKeepsTheValuesInMemoryOnly) {
    Seed({{"3FF36300", "Zurich"}});
    RunConfig([&](QWidget* config) {
        ClickEntry(config, "Zurich");
        ClickToOfficeDialog(config, "edit", [&](QWidget* office) {
            RenameAnd("Geneva", "apply")(office);
            Click(office, "cancel");
        });
        EXPECT_EQ(Entries(config), QStringList({"Zurich"})) << "the entry is not touched";
        Click(config, "close");
    });
    EXPECT_EQ(Names(), std::vector<std::string>{"Geneva"});
    EXPECT_EQ(Stored(), std::vector<std::string>{"Zurich/Zeta"});
}

TEST_F(ConfigDialogTest, EditingTheAppliedOfficeAppliesItAgainAtOnce) {
    Seed({{"3FF36300", "Zurich"}, {"3FF36301", "Berlin"}});
    host->currentOffice = 0;
    spooler.defaultPrinter = "Zeta";
    RunConfig([&](QWidget* config) {
        // Another office: stored, but the default printer stays.
        ClickEntry(config, "Berlin");
        ClickToOfficeDialog(config, "edit", ChoosePrinterAnd("alpha", "ok"));
        EXPECT_TRUE(host->selected.empty());
        EXPECT_EQ(spooler.defaultPrinter, "Zeta");

        // The applied office: its new printer is the default at once, its new name listed.
        ClickEntry(config, "Zurich");
        ClickToOfficeDialog(config, "edit", [](QWidget* office) {
            auto* combo = Child<QComboBox>(office, "defaultPrinter");
            combo->setCurrentIndex(combo->findText("Beta"));
            RenameAnd("Zug", "ok")(office);
        });
        EXPECT_EQ(host->selected, std::vector<int>{0});
        EXPECT_EQ(spooler.defaultPrinter, "Beta");
        EXPECT_EQ(Entries(config), QStringList({"Berlin", "Zug"}));
        Click(config, "close");
    });
    EXPECT_EQ(Stored(), (std::vector<std::string>{"Zug/Beta", "Berlin/alpha"}));
    EXPECT_EQ(host->offices.ElementAt(0).m_strKeyName, "3FF36300") << "same key, rewritten";
}

TEST_F(ConfigDialogTest, CloseStoresTheSwitchWhileEscapeAndTheCloseBoxDoNot) {
    struct Case {
        bool before;
        const char* how;
        std::optional<uint32_t> stored;
        bool after;
    };
    for (const Case c :
         {Case{true, "close", 0u, false}, Case{false, "close", 1u, true},
          Case{true, "escape", std::nullopt, true}, Case{false, "closebox", std::nullopt, false}}) {
        SCOPED_TRACE(std::string(c.how) + (c.before ? " from on" : " from off"));
        Fresh();
        Seed({{"3FF36300", "Zurich"}});
        host->autoDetect = c.before;
        const int result = RunConfig([&](QWidget* config) {
            auto* check = Child<QCheckBox>(config, "autoDetect");
            EXPECT_EQ(check->isChecked(), c.before);
            check->setFocus();
            QTest::keyClick(check, Qt::Key_Space);
            // The unsaved change survives changes of the list's selection.
            ClickEntry(config, "Zurich");
            EXPECT_EQ(check->isChecked(), !c.before);
            if (std::string(c.how) == "close")
                Click(config, "close");
            else if (std::string(c.how) == "escape")
                QTest::keyClick(config, Qt::Key_Escape);
            else
                config->close();
        });
        EXPECT_EQ(result, ui::IDCANCEL);
        EXPECT_EQ(StoredAutoDetect(), c.stored);
        EXPECT_EQ(host->autoDetect, c.after);
    }
}

// The login entry is written and removed by the click itself, not by Close, and the box
// shows the entry that is there when the window opens.
TEST_F(ConfigDialogTest, StartAtLoginWritesAndRemovesTheEntryAtOnce) {
    struct RestoreXdg {
        const bool set = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
        const QByteArray value = qgetenv("XDG_CONFIG_HOME");
        ~RestoreXdg() { set ? qputenv("XDG_CONFIG_HOME", value) : qunsetenv("XDG_CONFIG_HOME"); }
    } restoreXdg;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(QString::fromStdString(m_dir / "config")));
    const QString entry =
        QString::fromStdString(m_dir / "config/autostart/com.kestamor.Voldrane.desktop");
    auto readEntry = [&] {
        QFile f(entry);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    };
    for (const bool before : {false, true}) {
        SCOPED_TRACE(before ? "from on" : "from off");
        RunConfig([&](QWidget* config) {
            auto* box = Child<QCheckBox>(config, "autostart");
            EXPECT_EQ(box->isChecked(), before);
            EXPECT_FALSE(box->whatsThis().isEmpty());
            box->setFocus();
            QTest::keyClick(box, Qt::Key_Space);
            EXPECT_EQ(QFileInfo::exists(entry), !before) << "stored before Close";
            QTest::keyClick(config, Qt::Key_Escape);
        });
    }
    // The entry starts this very program.
    RunConfig([&](QWidget* config) {
        Child<QCheckBox>(config, "autostart")->click();
        QTest::keyClick(config, Qt::Key_Escape);
    });
    EXPECT_TRUE(readEntry().contains(QStringLiteral("\nExec=") +
                                     QCoreApplication::applicationFilePath() + QLatin1Char('\n')))
        << readEntry().toStdString();
    // A folder that cannot hold the entry: the reason is shown and the box goes back.
    QFile blocker(QString::fromStdString(m_dir / "file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(blocker.fileName()));
    RunConfig([&](QWidget* config) {
        auto* box = Child<QCheckBox>(config, "autostart");
        box->click();
        EXPECT_FALSE(box->isChecked());
        QTest::keyClick(config, Qt::Key_Escape);
    });
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_NE(prompt.shown[0].text.find("Not a directory"), std::string::npos)
        << prompt.shown[0].text;
}

TEST_F(ConfigDialogTest, InPlaceLabelEditsGoBackToTheOfficeName) {
    Seed({{"3FF36300", "Zurich"}});
    RunConfig([&](QWidget* config) {
        ClickEntry(config, "Zurich");
        auto* list = Child<QListWidget>(config, "offices");
        list->setFocus();
        QTest::keyClick(list, Qt::Key_F2);
        auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        ASSERT_NE(editor, nullptr) << "F2 edits the label in place";
        editor->selectAll();
        QTest::keyClicks(editor, "Renamed");
        QTest::keyClick(editor, Qt::Key_Return);
        EXPECT_EQ(Entries(config), QStringList({"Zurich"}));
        Click(config, "close");
    });
    EXPECT_EQ(Names(), std::vector<std::string>{"Zurich"});
    EXPECT_EQ(Stored(), std::vector<std::string>{"Zurich/Zeta"});
}

TEST_F(ConfigDialogTest, DoubleClickEditsTheOfficeUnderIt) {
    Seed({{"3FF36300", "Zurich"}, {"3FF36301", "Berlin"}});
    RunConfig([&](QWidget* config) {
        auto* list = Child<QListWidget>(config, "offices");
        // On the empty part of the list, without a selection: nothing opens.
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {},
                           QPoint(5, list->viewport()->height() - 5));
        EXPECT_EQ(QApplication::activeModalWidget(), config);

        // A person's double click: the first click selects, the second opens.
        const QPoint berlin = list->visualItemRect(Entry(config, "Berlin")).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, berlin);
        OnNextModal(RenameAnd("Bern", "ok"));
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, berlin);
        EXPECT_EQ(Entries(config), QStringList({"Bern", "Zurich"}));
        Click(config, "close");
    });
    EXPECT_EQ(Stored(), (std::vector<std::string>{"Zurich/Zeta", "Bern/Zeta"}));
}

TEST_F(ConfigDialogTest, AddCurrentNetworkModeAsksNothingAndShowsOnlyTheOfficeDialog) {
    LoadOffices(host->registry, host->offices);
    for (const bool ok : {false, true}) {
        ui::CConfigDialog dialog;
        dialog.SetOfficeList(&host->offices);
        dialog.SetCurrentNetwork(&host->current);
        OnNextModal([&](QWidget* office) {
            EXPECT_EQ(office->objectName(), "officeDialog");
            EXPECT_FALSE(dialog.isVisible()) << "the configuration window stays hidden";
            EXPECT_EQ(Child<ui::IpAddressEdit>(office, "ipAddress")->Text(), "192.168.1.20");
            EXPECT_EQ(Child<ui::IpAddressEdit>(office, "dnsServer1")->Text(), "192.168.1.3");
            Click(office, ok ? "ok" : "cancel");
        });
        EXPECT_EQ(dialog.Run(true, host.get()), 0);
    }
    EXPECT_TRUE(prompt.shown.empty()) << "no question in this mode";
    EXPECT_EQ(Names(), std::vector<std::string>{"New Office"});
    EXPECT_EQ(Stored(), std::vector<std::string>{"New Office/Beta"});
    EXPECT_EQ(host->selected, std::vector<int>{0}) << "the first office is applied at once";
}

TEST_F(ConfigDialogTest, StoreFailuresAreReportedAndTheChangeIsKeptInMemory) {
    Seed({{"3FF36300", "Zurich"}, {"3FF36301", "Berlin"}});
    // The settings folder becomes a plain file: every write fails, also for root.
    const QString folder = QFileInfo(QString::fromStdString(StorePath())).path();
    ASSERT_TRUE(QDir().rename(folder, folder + ".moved"));
    QFile blocker(folder);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    prompt.Answer(false);  // Use Current Network Settings?
    prompt.Answer(true);   // delete?
    RunConfig([&](QWidget* config) {
        ClickToOfficeDialog(config, "new", RenameAnd("Oslo", "ok"));
        ClickEntry(config, "Zurich");
        ClickToOfficeDialog(config, "edit", RenameAnd("Zug", "ok"));
        ClickEntry(config, "Berlin");
        Click(config, "delete");
        EXPECT_EQ(Entries(config), QStringList({"Oslo", "Zug"}));
        auto* check = Child<QCheckBox>(config, "autoDetect");
        check->setFocus();
        QTest::keyClick(check, Qt::Key_Space);
        Click(config, "close");
    });
    std::vector<std::string> messages;
    for (const auto& shown : prompt.shown)
        if (!shown.question) {
            messages.push_back(shown.text);
            EXPECT_EQ(shown.icon, ui::PromptIcon::Exclamation);
        }
    ASSERT_EQ(messages.size(), 4u);
    EXPECT_NE(messages[0].find("\"Oslo\" could not be saved"), std::string::npos) << messages[0];
    EXPECT_NE(messages[1].find("\"Zug\" could not be saved"), std::string::npos) << messages[1];
    EXPECT_NE(messages[2].find("\"Berlin\" could not be removed"), std::string::npos);
    EXPECT_NE(messages[3].find("Auto-detect Network"), std::string::npos);
    for (const auto& m : messages)
        EXPECT_NE(m.find("Not a directory"), std::string::npos) << "the reason: " << m;
    // In memory, everything happened.
    EXPECT_EQ(Names(), (std::vector<std::string>{"Zug", "Oslo"}));
    EXPECT_FALSE(host->autoDetect) << "the frame's flag follows the check box all the same";
}

// Two writers on one office: another program changes one value while the office dialog has
// the office open, the user changes another. Both changes stay.
TEST_F(ConfigDialogTest, HelpOpensTheManualAndEveryControlExplainsItself) {
    prompt.Answer(false);
    RunConfig([&](QWidget* config) {
        Click(config, "help");
        QTest::keyClick(Child<QListWidget>(config, "offices"), Qt::Key_F1);
        ClickToOfficeDialog(config, "new", [](QWidget* office) {
            EXPECT_EQ(QApplication::activeWindow(), office);
            QTest::keyClick(Child<QLineEdit>(office, "name"), Qt::Key_F1);
            Click(office, "cancel");
        });
        for (const char* name : {"offices", "select", "new", "edit", "delete", "autoDetect",
                                 "followNetwork", "notify", "close", "help"})
            EXPECT_FALSE(Child<QWidget>(config, name)->whatsThis().isEmpty()) << name;

        auto* close = Child<QPushButton>(config, "close");
        close->setFocus();
        QTest::keyClick(close, Qt::Key_F1, Qt::ShiftModifier);
        QWidget* popup = QApplication::activePopupWidget();
        EXPECT_NE(popup, nullptr) << "Shift+F1 shows what the focused control does";
        if (popup) popup->close();
        Click(config, "close");
    });
    EXPECT_EQ(host->helpPages, (std::vector<std::string>{"config", "config", "office"}));
}

// Pictures of both dialogs for reviewers and the manual, under the build folder.
TEST_F(ConfigDialogTest, RendersTheDialogsToPictures) {
    const QDir out(QStringLiteral(VOLDRANE_SCREENSHOT_DIR));
    ASSERT_TRUE(QDir().mkpath(out.path()));
    auto save = [&](QWidget* w, const char* file) {
        const QPixmap picture = w->grab();
        EXPECT_FALSE(picture.isNull());
        EXPECT_TRUE(picture.save(out.filePath(QString::fromLatin1(file)))) << file;
    };

    spooler.printers = std::vector<std::string>{"Reception-Colour", "Accounts-Laser", "Plotter"};
    spooler.defaultPrinter = "Accounts-Laser";
    Seed({{"3FF36300", "Head Office"}, {"3FF36301", "Branch Berlin"}, {"3FF36302", "Home"}},
         "Accounts-Laser");
    host->offices.ElementAt(0).m_network = {"192.168.10.57", "255.255.255.0", "192.168.10.1",
                                            "192.168.10.2",  "192.168.10.3",  "192.168.10.4",
                                            "0.0.0.0"};
    RunConfig([&](QWidget* config) {
        ClickEntry(config, "Head Office");
        save(config, "config-dialog.png");
        ClickToOfficeDialog(config, "edit", [&](QWidget* office) {
            auto* tabs = Child<QTabWidget>(office, "tabs");
            const char* files[3] = {"office-dialog-printers.png", "office-dialog-drive-mapping.png",
                                    "office-dialog-network-settings.png"};
            for (int i = 0; i < 3; ++i) {
                tabs->setCurrentIndex(i);
                ProcessEvents();
                save(office, files[i]);
            }
            Click(office, "cancel");
        });
        Click(config, "close");
    });
}

}  // namespace
}  // namespace voldrane::test
