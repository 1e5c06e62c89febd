#include "offices/OfficeValues.h"

#include "offices/CRegistry.h"

namespace voldrane {

static_assert(kOfficeValues[kOfficeNamePlace].maxBytes == kMaxTextBytes &&
              kOfficeValues[kDefaultPrinterPlace].maxBytes == kMaxTextBytes);

std::string& OfficeValue(COfficeNetwork& office, int place) {
    if (place == kOfficeNamePlace) return office.m_strOfficeName;
    if (place == kDefaultPrinterPlace) return office.m_strDefaultPrinter;
    return NetworkField(office.m_network, place - 1);
}

const std::string& OfficeValue(const COfficeNetwork& office, int place) {
    return OfficeValue(const_cast<COfficeNetwork&>(office), place);
}

bool IsDottedDecimal(std::string_view text) {
    int parts = 0;
    size_t i = 0;
    while (true) {
        const size_t start = i;
        unsigned value = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9' && i - start < 3)
            value = value * 10 + static_cast<unsigned>(text[i++] - '0');
        const size_t len = i - start;
        if (len == 0 || value > 255 || (len > 1 && text[start] == '0')) return false;
        if (++parts == 4) return i == text.size();
        if (i >= text.size() || text[i] != '.') return false;
        ++i;
    }
}

namespace {

// At most `limit` bytes of `text`, for a message.
std::string Shown(const std::string& text, size_t limit = 40) {
    return text.size() > limit ? text.substr(0, limit) + "..." : text;
}

}  // namespace

std::string OfficeValueProblem(int place, const std::string& text) {
    const OfficeValueInfo& value = kOfficeValues[place];
    if (value.kind != OfficeValueKind::Address) {
        if (value.kind == OfficeValueKind::Name && text.empty())
            return "the office name must not be empty";
        if (text.size() > value.maxBytes)
            return "at most " + std::to_string(value.maxBytes) + " bytes (this one has " +
                   std::to_string(text.size()) + ")";
        if (text.find('\0') != std::string::npos) return "a text with a zero byte inside";
        return {};
    }
    // What detection gives, and an office made from that network stores, with one DNS server.
    if (place == 6 && text == "N/A") return {};  // "DNS Server 2"
    if (!IsDottedDecimal(text)) {
        return "\"" + Shown(text) +
               "\" is not a dotted-decimal IPv4 address (such as 192.168.1.20)";
    }
    return {};
}

}  // namespace voldrane
