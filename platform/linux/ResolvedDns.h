#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace voldrane::platform::linux_os {

// systemd-resolved's upstream IPv4 DNS servers (its Manager's DNS property: the global ones
// first, then each link's), over the system bus. nullopt when resolved is not running or
// does not answer in time.
std::optional<std::vector<std::string>> QueryResolvedDnsServers(std::chrono::milliseconds timeout,
                                                                std::string* error);

}  // namespace voldrane::platform::linux_os
