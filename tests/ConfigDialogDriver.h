#pragma once

// The main frame as the configuration dialog sees it, and the steps a person takes in the
// two dialogs, shared by the tests over a fake spooler and those over a private cupsd.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <functional>
#include <string>
#include <vector>

#include "network/OfficeSelection.h"
#include "offices/CRegistry.h"
#include "tests/UiTestSupport.h"
#include "ui/ConfigHost.h"

namespace voldrane::test {

// The main frame as the dialog sees it, recording what the dialog asks of it.
class RecordingHost final : public ui::IConfigHost {
  public:
    RecordingHost(platform::IRegistryStore& store, platform::ISpooler& spooler,
                  ui::IUserPrompts& prompts)
        : registry(store), spooler(spooler), prompts(prompts) {}

    COfficeList& Offices() override { return offices; }
    const CNetworkSettings& CurrentNetwork() const override { return current; }
    CRegistry& Registry() override { return registry; }
    platform::ISpooler& Spooler() override { return spooler; }
    ui::IUserPrompts& Prompts() override { return prompts; }

    // As the frame applies an office: the printer made the default, the position kept.
    void SelectOffice(int position) override {
        selected.push_back(position);
        voldrane::SelectOffice(offices, position, spooler, nullptr, currentOffice);
    }
    int GetCurrentOffice() const override { return currentOffice; }
    void SetCurrentOffice(int position) override { currentOffice = position; }
    bool GetAutoDetect() const override { return autoDetect; }
    void SetAutoDetect(bool on) override { autoDetect = on; }
    void ShowNoOffices() override { ++noOffices; }
    void OfficesChanged() override { ++officesChanged; }
    void ShowHelp(const std::string& page) override { helpPages.push_back(page); }

    COfficeList offices;
    CNetworkSettings current{"192.168.1.20", "255.255.255.0", "192.168.1.1", "192.168.1.2",
                             "192.168.1.3",  "N/A",           "0.0.0.0"};
    CRegistry registry;
    platform::ISpooler& spooler;
    ui::IUserPrompts& prompts;
    std::vector<int> selected;
    int currentOffice = -1;
    bool autoDetect = true;
    int noOffices = 0;
    int officesChanged = 0;
    std::vector<std::string> helpPages;
};

inline QStringList Entries(QWidget* config) {
    QStringList names;
    auto* list = Child<QListWidget>(config, "offices");
    for (int i = 0; i < list->count(); ++i) names << list->item(i)->text();
    return names;
}

inline QListWidgetItem* Entry(QWidget* config, const QString& name) {
    auto* list = Child<QListWidget>(config, "offices");
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->text() == name) return list->item(i);
    ADD_FAILURE() << "no entry " << name.toStdString();
    return nullptr;
}

inline void ClickEntry(QWidget* config, const QString& name) {
    auto* list = Child<QListWidget>(config, "offices");
    if (QListWidgetItem* item = Entry(config, name))
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(item).center());
}

inline void Click(QWidget* window, const char* button) {
    QTest::mouseClick(Child<QPushButton>(window, button), Qt::LeftButton);
}

inline bool Enabled(QWidget* window, const char* button) {
    return Child<QPushButton>(window, button)->isEnabled();
}

// Clicks `button` of the configuration window; `inOfficeDialog` then runs in the office
// dialog that opens, and must end it.
inline void ClickToOfficeDialog(QWidget* config, const char* button,
                                std::function<void(QWidget*)> inOfficeDialog) {
    OnNextModal(std::move(inOfficeDialog));
    Click(config, button);
}

// The office dialog: picks a printer by name and ends with the given button.
inline std::function<void(QWidget*)> ChoosePrinterAnd(const QString& printer, const char* button) {
    return [printer, button](QWidget* office) {
        auto* combo = Child<QComboBox>(office, "defaultPrinter");
        combo->setCurrentIndex(combo->findText(printer));
        Click(office, button);
    };
}

inline std::function<void(QWidget*)> RenameAnd(const QString& name, const char* button) {
    return [name, button](QWidget* office) {
        auto* edit = Child<QLineEdit>(office, "name");
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, name);
        Click(office, button);
    };
}

}  // namespace voldrane::test
