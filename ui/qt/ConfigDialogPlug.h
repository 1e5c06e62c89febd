#pragma once

#include <memory>

#include "app/ConfigDialogPlug.h"

namespace voldrane {

// Makes the program's configuration dialog, drawn by Qt.
std::unique_ptr<IConfigDialog> CreateConfigDialog();

}  // namespace voldrane
