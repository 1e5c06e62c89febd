#pragma once

#include <memory>
#include <string>

#include "platform/NetworkEvents.h"
#include "platform/linux/NetworkPaths.h"

namespace voldrane::platform::linux_os {

// The events of OpenNetworkEvents with the files and folders at `paths` (tests point them at
// temporary folders): rtnetlink, resolv.conf, the DHCP clients' lease folders and, with
// `askSystemBus`, logind's resume and NetworkManager's changes on the system bus.
std::unique_ptr<INetworkEvents> OpenNetworkEvents(const NetworkPaths& paths, bool askSystemBus,
                                                  std::string* error);

}  // namespace voldrane::platform::linux_os
