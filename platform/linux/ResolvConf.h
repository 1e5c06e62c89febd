#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace voldrane::platform::linux_os {

// The IPv4 `nameserver` entries of a resolv.conf text, in order, as dotted decimal. IPv6
// servers are left out: every address this program handles is IPv4.
std::vector<std::string> ParseResolvConfNameservers(std::string_view text);

// Whether the list names only systemd-resolved's local stub (127.0.0.53, or 127.0.0.54 for
// its proxy), so the real servers must be asked of resolved.
bool OnlyResolvedStub(const std::vector<std::string>& servers);

// Whether the list names only loopback addresses (127.0.0.0/8): a local cache such as
// NetworkManager's dnsmasq or resolved's stub, which tells nothing about the network.
bool OnlyLoopback(const std::vector<std::string>& servers);

}  // namespace voldrane::platform::linux_os
