#include "platform/linux/DhcpLeaseFiles.h"

#include "platform/linux/TextFile.h"

namespace voldrane::platform::linux_os {

std::optional<DhcpLease> ReadNetworkdLease(const std::string& runRoot, int ifindex,
                                           const std::string& address) {
    const auto text =
        ReadTextFile(runRoot + "/systemd/netif/leases/" + std::to_string(ifindex), 64 * 1024);
    if (!text) return std::nullopt;
    auto lease = ParseNetworkdLease(*text);
    if (lease && !lease->address.empty() && lease->address != address) return std::nullopt;
    return lease;
}

std::optional<DhcpLease> ReadDhclientLease(const std::vector<std::string>& dirs,
                                           const std::string& ifname, const std::string& address) {
    if (ifname.empty() || ifname.find('/') != std::string::npos) return std::nullopt;
    for (const auto& dir : dirs) {
        for (const std::string& name :
             {"dhclient." + ifname + ".leases", "dhclient-" + ifname + ".leases",
              std::string("dhclient.leases")}) {
            const auto text = ReadTextFile(dir + "/" + name);
            if (!text) continue;
            if (auto lease = ParseDhclientLeases(*text, ifname, address)) return lease;
        }
    }
    return std::nullopt;
}

}  // namespace voldrane::platform::linux_os
