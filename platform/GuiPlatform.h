#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/NotificationArea.h"

namespace voldrane::platform {

// The desktop's notification area for the OS this program was built for. `iconPath` turns a
// picture's resource number into where the program's resources hold it, in the form the
// toolkit's own loader reads (UTF-8); empty for no picture.
std::unique_ptr<INotificationArea> CreateNotificationArea(std::function<std::string(int)> iconPath);

}  // namespace voldrane::platform
