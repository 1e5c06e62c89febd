#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/linux/DhcpLeaseParsers.h"

namespace voldrane::platform::linux_os {

// systemd-networkd's lease for an interface: <runRoot>/systemd/netif/leases/<ifindex>.
// A lease for another address than the interface's current one is stale and not returned.
std::optional<DhcpLease> ReadNetworkdLease(const std::string& runRoot, int ifindex,
                                           const std::string& address);

// dhclient's lease for an interface and address, from the usual file names in `dirs`
// (dhclient.<if>.leases, dhclient-<if>.leases, dhclient.leases), first file that has one.
std::optional<DhcpLease> ReadDhclientLease(const std::vector<std::string>& dirs,
                                           const std::string& ifname, const std::string& address);

}  // namespace voldrane::platform::linux_os
