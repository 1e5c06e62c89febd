#pragma once

#include <string>

#include "platform/NetworkSource.h"
#include "platform/linux/NetworkPaths.h"

namespace voldrane::platform::linux_os {

// Adapters from rtnetlink, descriptions from udev/sysfs, DHCP and WINS servers from
// NetworkManager (D-Bus), systemd-networkd or dhclient leases, DNS from resolv.conf (and,
// behind a local cache, from systemd-resolved or NetworkManager).
class LinuxNetworkSource final : public INetworkSource {
  public:
    LinuxNetworkSource() = default;
    explicit LinuxNetworkSource(NetworkPaths paths) : m_paths(std::move(paths)) {}

    // Every interface but loopback. Like the IP helper, which answers "no data" when a
    // machine has no adapter, a machine with nothing but loopback counts as failed.
    std::optional<std::vector<AdapterInfo>> QueryAdapters() override;
    std::optional<std::vector<std::string>> QueryDnsServers() override;

    // Why the last query degraded, for diagnostics; empty when nothing went wrong.
    const std::string& LastProblem() const { return m_problem; }

  private:
    std::optional<std::vector<std::string>> ResolvedUpstream();

    NetworkPaths m_paths;
    std::string m_problem;
    // NetworkManager failed or did not answer during the last adapter query: the DNS query
    // that follows it in the same detection does not wait for it again.
    bool m_networkManagerFailed = false;
};

}  // namespace voldrane::platform::linux_os
