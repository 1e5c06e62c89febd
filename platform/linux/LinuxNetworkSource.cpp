#include "platform/linux/LinuxNetworkSource.h"

#include <linux/if_addr.h>
#include <net/if.h>
#include <net/if_arp.h>

#include <map>

#include "platform/Platform.h"
#include "platform/linux/AdapterDescription.h"
#include "platform/linux/DhcpLeaseFiles.h"
#include "platform/linux/NetworkManagerDhcp.h"
#include "platform/linux/ResolvConf.h"
#include "platform/linux/ResolvedDns.h"
#include "platform/linux/RtNetlink.h"
#include "platform/linux/TextFile.h"

namespace voldrane::platform {

std::unique_ptr<INetworkSource> CreateNetworkSource() {
    return std::make_unique<linux_os::LinuxNetworkSource>();
}

namespace linux_os {

namespace {

// Detection runs at start-up, in front of the user: a stuck service must cost little.
constexpr std::chrono::milliseconds kBusTimeout{500};

const NetlinkAddress* FirstPrimaryAddress(const NetlinkInterface& itf) {
    for (const auto& a : itf.addresses)
        if (!(a.flags & IFA_F_SECONDARY)) return &a;
    return nullptr;
}

void AppendProblem(std::string* problems, const std::string& problem) {
    if (problem.empty()) return;
    if (!problems->empty()) *problems += "; ";
    *problems += problem;
}

}  // namespace

std::optional<std::vector<AdapterInfo>> LinuxNetworkSource::QueryAdapters() {
    m_problem.clear();
    m_networkManagerFailed = false;
    auto snapshot = ReadNetlinkSnapshot(&m_problem);
    if (!snapshot) return std::nullopt;

    // NetworkManager is asked once, and only when some adapter has an address.
    std::optional<std::map<std::string, DhcpLease>> nmLeases;
    bool nmAsked = false;

    std::vector<AdapterInfo> adapters;
    for (const auto& itf : snapshot->interfaces) {
        if ((itf.flags & IFF_LOOPBACK) || itf.type == ARPHRD_LOOPBACK) continue;
        AdapterInfo a;
        a.description =
            DescribeInterface(m_paths.sysRoot, m_paths.runRoot, itf.ifindex, itf.name, itf.kind);
        if (itf.gateway) a.gateway = FormatIPv4(*itf.gateway);
        const NetlinkAddress* addr = FirstPrimaryAddress(itf);
        if (!addr) {
            adapters.push_back(std::move(a));
            continue;
        }
        a.ipAddress = FormatIPv4(addr->address);
        a.ipMask = PrefixToMask(addr->prefixLength);

        std::optional<DhcpLease> lease;
        bool fromNetworkManager = false;
        if (m_paths.askNetworkManager && !nmAsked) {
            nmAsked = true;
            std::string problem;
            nmLeases = QueryNetworkManagerDhcp(kBusTimeout, &problem);
            m_networkManagerFailed = !problem.empty();
            AppendProblem(&m_problem, problem);
        }
        if (nmLeases) {
            auto it = nmLeases->find(itf.name);
            if (it != nmLeases->end()) {
                lease = it->second;
                fromNetworkManager = true;
            }
        }
        if (!lease) lease = ReadNetworkdLease(m_paths.runRoot, itf.ifindex, a.ipAddress);
        if (!lease) lease = ReadDhclientLease(m_paths.dhclientLeaseDirs, itf.name, a.ipAddress);

        // A leased address has a finite lifetime, whichever client obtained it. An infinite
        // lease, though, makes the kernel mark the address permanent like a static one: then
        // the DHCP client's own record decides, NetworkManager's DHCP4Config (it exists only
        // while NetworkManager runs DHCP on the device) or a lease file naming this very
        // address (an old lease of another address says nothing about this one).
        const bool finite = !(addr->flags & IFA_F_PERMANENT);
        a.dhcpEnabled = finite || (lease && (fromNetworkManager || lease->address == a.ipAddress));
        if (a.dhcpEnabled && lease) {
            if (!lease->server.empty()) a.dhcpServer = lease->server;
            if (!lease->winsServers.empty()) {
                a.haveWins = true;
                a.winsServer = lease->winsServers.front();
            }
        }
        adapters.push_back(std::move(a));
    }
    if (adapters.empty()) {
        m_problem = "no network adapter besides loopback";
        return std::nullopt;
    }
    return adapters;
}

std::optional<std::vector<std::string>> LinuxNetworkSource::QueryDnsServers() {
    m_problem.clear();
    const auto text = ReadTextFile(m_paths.resolvConf);
    if (!text) {
        m_problem = "cannot read " + m_paths.resolvConf;
        return std::nullopt;
    }
    auto servers = ParseResolvConfNameservers(*text);
    if (!OnlyLoopback(servers)) return servers;

    // A local cache (resolved's stub, NetworkManager's dnsmasq, ...) stands in front of the
    // network's servers: ask whoever configured it. Resolved first behind its own stub, and
    // NetworkManager first otherwise. Failing all, the cache is what the machine uses.
    const bool stub = OnlyResolvedStub(servers);
    if (stub)
        if (auto real = ResolvedUpstream()) return real;
    if (m_paths.askNetworkManager && !m_networkManagerFailed) {
        std::string problem;
        auto real = QueryNetworkManagerDnsServers(kBusTimeout, &problem);
        AppendProblem(&m_problem, problem);
        if (real && !real->empty() && !OnlyLoopback(*real)) return real;
    }
    if (!stub)
        if (auto real = ResolvedUpstream()) return real;
    return servers;
}

// Resolved's upstream servers: from the file it keeps for programs that bypass it, else from
// resolved itself.
std::optional<std::vector<std::string>> LinuxNetworkSource::ResolvedUpstream() {
    if (const auto upstream = ReadTextFile(m_paths.runRoot + "/systemd/resolve/resolv.conf")) {
        auto real = ParseResolvConfNameservers(*upstream);
        if (!real.empty() && !OnlyLoopback(real)) return real;
    }
    if (m_paths.askResolved) {
        std::string problem;
        auto real = QueryResolvedDnsServers(kBusTimeout, &problem);
        AppendProblem(&m_problem, problem);
        if (real && !real->empty() && !OnlyLoopback(*real)) return real;
    }
    return std::nullopt;
}

}  // namespace linux_os
}  // namespace voldrane::platform
