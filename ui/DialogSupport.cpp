#include "ui/DialogSupport.h"

#include <QListWidget>

// Resources of a static library are registered by hand (outside any namespace).
static void InitDialogResources() {
    Q_INIT_RESOURCE(dialogs);
}

namespace voldrane::ui {

namespace {

QIcon ResourceIcon(const char* path) {
    static const bool registered = (InitDialogResources(), true);
    (void)registered;
    return QIcon(QString::fromLatin1(path));
}

}  // namespace

QIcon OfficeNetworkIcon() {
    return ResourceIcon(":/ui/icons/office-network.svg");
}
QIcon PrinterIcon() {
    return ResourceIcon(":/ui/icons/printer.svg");
}

bool NameLess(const QString& a, const QString& b) {
    const int folded = QString::compare(a, b, Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : QString::compare(a, b, Qt::CaseSensitive) < 0;
}

int SortedRow(const QListWidget* list, const QString& text) {
    int row = 0;
    while (row < list->count() && !NameLess(text, list->item(row)->text())) ++row;
    return row;
}

}  // namespace voldrane::ui
