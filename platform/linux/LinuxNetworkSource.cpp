#include "platform/linux/LinuxNetworkSource.h"

#include "platform/Platform.h"

namespace voldrane::platform {

std::unique_ptr<INetworkSource> CreateNetworkSource() {
    return std::make_unique<linux_os::LinuxNetworkSource>();
}

namespace linux_os {

std::optional<std::vector<AdapterInfo>> LinuxNetworkSource::QueryAdapters() {
    return std::nullopt;  // placeholder until the rtnetlink reader lands
}

std::optional<std::vector<std::string>> LinuxNetworkSource::QueryDnsServers() {
    return std::nullopt;
}

}  // namespace linux_os
}  // namespace voldrane::platform
