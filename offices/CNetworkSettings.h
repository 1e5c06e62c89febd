#pragma once

#include <string>

namespace voldrane {

// The seven TCP/IP texts that describe one network: the detected current network, and the
// network of every office. Addresses stay text (dotted decimal, or the fixed placeholders
// "0.0.0.0", "255.255.255.255" and "N/A"); only the matcher turns two of them into numbers.
struct CNetworkSettings {
    std::string m_strIPAddress;
    std::string m_strSubnetMask;
    std::string m_strDefaultGateway;
    std::string m_strDHCPServer;
    std::string m_strDNSServer1;
    std::string m_strDNSServer2;
    std::string m_strWINSServer;

    bool operator==(const CNetworkSettings&) const = default;
};

// The stored value names, in the order the fields are declared.
inline constexpr const char* kNetworkValueNames[7] = {
    "IP Address",   "Subnet Mask",  "Default Gateway", "DHCP Server",
    "DNS Server 1", "DNS Server 2", "WINS Server"};

// Field access by that same order, for code that walks all seven.
inline std::string& NetworkField(CNetworkSettings& s, int i) {
    std::string* fields[7] = {&s.m_strIPAddress,  &s.m_strSubnetMask, &s.m_strDefaultGateway,
                              &s.m_strDHCPServer, &s.m_strDNSServer1, &s.m_strDNSServer2,
                              &s.m_strWINSServer};
    return *fields[i];
}
inline const std::string& NetworkField(const CNetworkSettings& s, int i) {
    return NetworkField(const_cast<CNetworkSettings&>(s), i);
}

}  // namespace voldrane
