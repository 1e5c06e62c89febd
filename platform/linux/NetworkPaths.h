#pragma once

#include <string>
#include <vector>

namespace voldrane::platform::linux_os {

// Where the network source looks for what the kernel, udev, the DHCP clients and the
// resolver leave behind. Tests point these at temporary folders.
struct NetworkPaths {
    std::string sysRoot = "/sys";
    std::string runRoot = "/run";  // udev data, systemd-networkd leases, systemd-resolved
    std::vector<std::string> dhclientLeaseDirs = {"/var/lib/dhcp", "/var/lib/dhclient"};
    std::string resolvConf = "/etc/resolv.conf";
    std::string varLibNetworkManager = "/var/lib/NetworkManager";  // its DHCP client's leases
    bool askNetworkManager = true;                                 // over D-Bus on the system bus
    bool askResolved = true;  // systemd-resolved over D-Bus, when only its stub is known
};

}  // namespace voldrane::platform::linux_os
