#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace voldrane::platform::linux_os {

// One property ("E:KEY=VALUE" line) of a udev database record; nullopt when absent.
std::optional<std::string> UdevProperty(std::string_view record, std::string_view key);

// Whether the interface's device lives under <sysRoot>/devices/virtual/net: bridges, veth,
// tun/tap, dummy, wireguard and the like, which have no hardware behind them. nullopt when
// sysfs does not know the interface.
std::optional<bool> IsVirtualInterface(const std::string& sysRoot, const std::string& ifname);

// A human description of an interface. Hardware: the udev hardware-database vendor and
// model ("Intel Corporation Ethernet Connection I219-LM"), else "<ifname> (<driver>)".
// Virtual interfaces always get a text containing "Virtual", so detection passes over them.
// `kind` is the rtnetlink link kind ("veth", "bridge"), empty for hardware; it decides only
// where sysfs cannot.
std::string DescribeInterface(const std::string& sysRoot, const std::string& runRoot, int ifindex,
                              const std::string& ifname, const std::string& kind);

}  // namespace voldrane::platform::linux_os
