#pragma once

#include <optional>
#include <string>
#include <vector>

namespace voldrane::platform {

// One network adapter as the OS reports it. Addresses are dotted-decimal text; an adapter
// without an IPv4 address reports "0.0.0.0" for address and mask.
struct AdapterInfo {
    std::string description;  // contains "Virtual" for virtual adapters
    bool dhcpEnabled = false;
    std::string ipAddress = "0.0.0.0";  // first address of the adapter
    std::string ipMask = "0.0.0.0";     // mask of that same address
    std::string gateway = "0.0.0.0";    // first default gateway through this adapter
    std::string dhcpServer = "0.0.0.0";
    bool haveWins = false;
    std::string winsServer = "0.0.0.0";  // primary WINS (NetBIOS name) server
};

// The machine's TCP/IP settings. Implementations never throw and never hang: a source that
// is missing or unreadable degrades to "not known" for its part.
class INetworkSource {
  public:
    virtual ~INetworkSource() = default;

    // Adapters in the OS's stable order (loopback excluded); nullopt when the query failed.
    virtual std::optional<std::vector<AdapterInfo>> QueryAdapters() = 0;

    // The machine-wide DNS servers in order; nullopt when the query failed.
    virtual std::optional<std::vector<std::string>> QueryDnsServers() = 0;
};

}  // namespace voldrane::platform
