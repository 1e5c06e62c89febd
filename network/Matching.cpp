#include "network/Matching.h"

#include <ostream>

namespace voldrane {

namespace {

// One part of an address: decimal, octal (leading 0) or hex (0x). Returns false on junk.
bool ParsePart(std::string_view s, uint64_t& value) {
    if (s.empty()) return false;
    unsigned base = 10;
    size_t i = 0;
    if (s.size() > 1 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        i = 2;
        if (i == s.size()) return false;
    } else if (s[0] == '0') {
        base = 8;
    }
    value = 0;
    for (; i < s.size(); ++i) {
        const char c = s[i];
        unsigned d;
        if (c >= '0' && c <= '9') {
            d = static_cast<unsigned>(c - '0');
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            d = static_cast<unsigned>(c - 'a' + 10);
        } else if (base == 16 && c >= 'A' && c <= 'F') {
            d = static_cast<unsigned>(c - 'A' + 10);
        } else {
            return false;
        }
        if (d >= base) return false;
        value = value * base + d;
        if (value > 0xFFFFFFFFull) return false;
    }
    return true;
}

}  // namespace

uint32_t InetAddr(std::string_view text) {
    uint64_t parts[4];
    size_t n = 0;
    size_t start = 0;
    while (true) {
        const size_t dot = text.find('.', start);
        const std::string_view part = text.substr(
            start, dot == std::string_view::npos ? std::string_view::npos : dot - start);
        if (n == 4 || !ParsePart(part, parts[n])) return kInaddrNone;
        ++n;
        if (dot == std::string_view::npos) break;
        start = dot + 1;
    }
    // The last part fills the bytes that the earlier parts leave, as BSD's inet_addr does.
    uint64_t limit[4] = {0xFFFFFFFFull, 0xFFFFFFull, 0xFFFFull, 0xFFull};
    for (size_t i = 0; i + 1 < n; ++i)
        if (parts[i] > 0xFF) return kInaddrNone;
    if (parts[n - 1] > limit[n - 1]) return kInaddrNone;
    uint64_t value = parts[n - 1];
    for (size_t i = 0; i + 1 < n; ++i) value |= parts[i] << (24 - 8 * i);
    return static_cast<uint32_t>(value);
}

MatchScore ScoreOffice(const CNetworkSettings& cur, const CNetworkSettings& off) {
    MatchScore s;
    const uint32_t curNet = InetAddr(cur.m_strIPAddress) & InetAddr(cur.m_strSubnetMask);
    const uint32_t offNet = InetAddr(off.m_strIPAddress) & InetAddr(off.m_strSubnetMask);
    s.tests = {curNet == offNet,
               cur.m_strWINSServer == off.m_strWINSServer,
               cur.m_strDHCPServer == off.m_strDHCPServer,
               cur.m_strDNSServer1 == off.m_strDNSServer1,
               cur.m_strDNSServer2 == off.m_strDNSServer2,
               cur.m_strDNSServer1 == off.m_strDNSServer2,
               cur.m_strDNSServer2 == off.m_strDNSServer1};
    for (bool t : s.tests) s.count += t ? 1 : 0;
    return s;
}

std::vector<MatchScore> ExplainMatch(const COfficeList& offices, const CNetworkSettings& current) {
    std::vector<MatchScore> scores;
    scores.reserve(static_cast<size_t>(offices.GetSize()));
    for (int i = 0; i < offices.GetSize(); ++i)
        scores.push_back(ScoreOffice(current, offices.ElementAt(i).m_network));
    return scores;
}

int FindMatchingOffice(const COfficeList& offices, const CNetworkSettings& current,
                       std::ostream& out) {
    for (int i = 0; i < offices.GetSize(); ++i) {
        const COfficeNetwork& office = offices.ElementAt(i);
        if (ScoreOffice(current, office.m_network).Matches()) {
            out << office.m_strOfficeName << '\n' << std::flush;
            return i;
        }
    }
    return -1;
}

}  // namespace voldrane
