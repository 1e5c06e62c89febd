#include "ui/qt/DialogSupport.h"

#include <QListWidget>

#include "res/Icons.h"
#include "res/Resource.h"

namespace voldrane::ui {

QIcon OfficeNetworkIcon() {
    return res::LoadIcon(res::IDI_OFFICE_ITEM);
}
QIcon PrinterIcon() {
    return res::LoadIcon(res::IDI_PRINTER);
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
