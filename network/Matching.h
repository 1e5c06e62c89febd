#pragma once

#include <array>
#include <cstdint>
#include <iosfwd>
#include <string_view>
#include <vector>

#include "offices/CNetworkSettings.h"
#include "offices/COfficeNetwork.h"

namespace voldrane {

inline constexpr uint32_t kInaddrNone = 0xFFFFFFFFu;
inline constexpr int kMatchThreshold = 3;

// The sockets library's inet_addr, portably: "a.b.c.d" (and the shorter BSD forms, with
// decimal, octal or hex parts) to a 32-bit value; kInaddrNone for anything that is not an
// address. The value is in host order (a.b.c.d is a<<24 | b<<16 | c<<8 | d).
uint32_t InetAddr(std::string_view text);

// The seven tests, in order: network part, WINS, DHCP, DNS 1, DNS 2, DNS 1 = office DNS 2,
// DNS 2 = office DNS 1.
inline constexpr const char* kMatchTestNames[7] = {"network part (address AND mask)",
                                                   "WINS server",
                                                   "DHCP server",
                                                   "DNS server 1",
                                                   "DNS server 2",
                                                   "DNS server 1 = office DNS server 2",
                                                   "DNS server 2 = office DNS server 1"};

struct MatchScore {
    std::array<bool, 7> tests{};
    int count = 0;
    bool Matches() const { return count >= kMatchThreshold; }
};

MatchScore ScoreOffice(const CNetworkSettings& current, const CNetworkSettings& office);

// One score per office, in list order.
std::vector<MatchScore> ExplainMatch(const COfficeList& offices, const CNetworkSettings& current);

// Position of the first office, in list order, that scores three points or more; -1 when
// none does. On a match the office's name and a line feed are written to `out`.
int FindMatchingOffice(const COfficeList& offices, const CNetworkSettings& current,
                       std::ostream& out);

}  // namespace voldrane
