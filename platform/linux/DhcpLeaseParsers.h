#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace voldrane::platform::linux_os {

// What a DHCP lease tells about the servers behind an address. Empty texts: not known.
struct DhcpLease {
    std::string address;                   // the leased address
    std::string server;                    // DHCP server identifier (option 54)
    std::vector<std::string> winsServers;  // NetBIOS name servers (option 44), in order
};

// systemd-networkd's lease file: KEY=VALUE lines (ADDRESS, SERVER_ADDRESS, ...). It has no
// NetBIOS key. nullopt when the text names neither an address nor a server.
std::optional<DhcpLease> ParseNetworkdLease(std::string_view text);

// dhclient's lease file: appended `lease { ... }` blocks. The last complete block counts
// that is for `ifname` (blocks naming another interface are passed over) and, when `address`
// is given, leased that address (an older lease from another network must not describe this
// one). nullopt when no block qualifies.
std::optional<DhcpLease> ParseDhclientLeases(std::string_view text, std::string_view ifname,
                                             std::string_view address);

}  // namespace voldrane::platform::linux_os
