#pragma once

#include "platform/NetworkSource.h"

namespace voldrane::platform::linux_os {

// Adapters from rtnetlink, descriptions from udev/sysfs, DHCP and WINS servers from
// NetworkManager (D-Bus), systemd-networkd or dhclient leases, DNS from resolv.conf.
class LinuxNetworkSource final : public INetworkSource {
public:
    std::optional<std::vector<AdapterInfo>> QueryAdapters() override;
    std::optional<std::vector<std::string>> QueryDnsServers() override;
};

}  // namespace voldrane::platform::linux_os
