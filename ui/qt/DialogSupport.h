#pragma once

#include <QIcon>

namespace voldrane::ui {

// The list icon of an office network (resource 134) and of a printer (resource 135).
QIcon OfficeNetworkIcon();
QIcon PrinterIcon();

}  // namespace voldrane::ui
