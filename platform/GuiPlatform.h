#pragma once

#include <QIcon>
#include <functional>
#include <memory>

#include "platform/NotificationArea.h"

namespace voldrane::platform {

// The desktop's notification area for the OS this program was built for. `loadIcon` turns a
// picture's resource number into an icon.
std::unique_ptr<INotificationArea> CreateNotificationArea(std::function<QIcon(int)> loadIcon);

}  // namespace voldrane::platform
