#pragma once

#include <QIcon>
#include <QString>

class QListWidget;

namespace voldrane::ui {

// The list icon of an office network (resource 134) and of a printer (resource 135).
QIcon OfficeNetworkIcon();
QIcon PrinterIcon();

// Both dialogs' lists are sorted by name as entries are inserted, like a list view with the
// ascending sort style: case-insensitive first, then by exact text so the order is stable.
// Later edits of an entry's text do not move it.
bool NameLess(const QString& a, const QString& b);
// The row at which `text` goes in, after every entry that does not sort behind it.
int SortedRow(const QListWidget* list, const QString& text);

}  // namespace voldrane::ui
