#include "network/Detection.h"

namespace voldrane {

namespace {

constexpr const char* kNone = "0.0.0.0";

bool IsVirtual(const platform::AdapterInfo& a) {
    // Case-sensitive on purpose: "virtual" in lower case does not mark an adapter.
    return a.description.find("Virtual") != std::string::npos;
}

bool HasAddress(const platform::AdapterInfo& a) {
    return !a.ipAddress.empty() && a.ipAddress != kNone;
}

// The first non-virtual adapter that has an address; failing that, the first non-virtual
// one. A laptop on Wi-Fi usually has an unplugged wired port listed first, and taking that
// port would make every office unrecognisable.
const platform::AdapterInfo* ChooseAdapter(const std::vector<platform::AdapterInfo>& adapters) {
    const platform::AdapterInfo* first = nullptr;
    for (const auto& a : adapters) {
        if (IsVirtual(a)) continue;
        if (HasAddress(a)) return &a;
        if (!first) first = &a;
    }
    return first;
}

}  // namespace

CNetworkSettings DetectNetworkSettings(platform::INetworkSource& source) {
    CNetworkSettings s;
    const auto adapters = source.QueryAdapters();
    if (!adapters) {
        s.m_strIPAddress = s.m_strSubnetMask = s.m_strDefaultGateway = s.m_strDHCPServer =
            s.m_strWINSServer = s.m_strDNSServer1 = s.m_strDNSServer2 = kNone;
        return s;
    }
    const platform::AdapterInfo* a = ChooseAdapter(*adapters);
    if (!a) {
        s.m_strIPAddress = kNone;
        s.m_strSubnetMask = "255.255.255.255";
        s.m_strDefaultGateway = s.m_strDHCPServer = s.m_strWINSServer = s.m_strDNSServer1 =
            s.m_strDNSServer2 = kNone;
        return s;
    }
    s.m_strIPAddress = a->ipAddress;
    s.m_strSubnetMask = a->ipMask;
    s.m_strDefaultGateway = a->gateway;
    s.m_strWINSServer = a->haveWins ? a->winsServer : kNone;
    s.m_strDHCPServer = a->dhcpEnabled ? a->dhcpServer : kNone;

    const auto dns = source.QueryDnsServers();
    if (!dns) {
        s.m_strDNSServer1 = s.m_strDNSServer2 = kNone;
        return s;
    }
    // No server known: there is no first entry to copy, so it reads as "no address".
    s.m_strDNSServer1 = dns->empty() ? kNone : (*dns)[0];
    s.m_strDNSServer2 = dns->size() >= 2 ? (*dns)[1] : "N/A";
    return s;
}

}  // namespace voldrane
