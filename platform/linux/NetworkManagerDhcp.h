#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/linux/DhcpLeaseParsers.h"

namespace voldrane::platform::linux_os {

// The lease NetworkManager holds in a DHCP4Config object's Options (string values:
// ip_address, dhcp_server_identifier, netbios_name_servers separated by spaces, ...).
DhcpLease LeaseFromNetworkManagerOptions(const std::map<std::string, std::string>& options);

// NetworkManager's current DHCPv4 leases by IP interface name, read over the system bus.
// nullopt when NetworkManager is not running (*error empty) or fails or does not answer
// within `timeout` per call (*error says so); devices without a DHCP4Config are left out.
std::optional<std::map<std::string, DhcpLease>> QueryNetworkManagerDhcp(
    std::chrono::milliseconds timeout, std::string* error);

// The IPv4 DNS servers NetworkManager configured (its IP4Configs' NameserverData): the
// primary connection's first, then each device's, without repeats. These are the upstream
// servers also when resolv.conf names only a local cache (`dns=dnsmasq`). nullopt as above.
std::optional<std::vector<std::string>> QueryNetworkManagerDnsServers(
    std::chrono::milliseconds timeout, std::string* error);

}  // namespace voldrane::platform::linux_os
