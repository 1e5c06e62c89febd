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

#include "tests/UiTestSupport.h"
#include "tests/support/RecordingHost.h"

namespace voldrane::test {

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
