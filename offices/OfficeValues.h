#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "offices/CNetworkSettings.h"
#include "offices/COfficeNetwork.h"

namespace voldrane {

// The nine values of an office, by their place in the office key. This order is the one in
// which the store writes and reads them, `voldranectl list` shows them and an import checks
// them; places 1 to 7 are the network's values in the order of CNetworkSettings.
inline constexpr int kOfficeValueCount = 9;
inline constexpr int kOfficeNamePlace = 0;
inline constexpr int kDefaultPrinterPlace = 8;

enum class OfficeValueKind {
    Name,     // never empty
    Address,  // dotted-decimal IPv4
    Printer,  // may be empty
};

struct OfficeValueInfo {
    const char* name;  // the stored value's name
    OfficeValueKind kind;
    // The longest text the store gives back (see kMaxTextBytes): a longer one would be saved,
    // then read back as empty. Addresses are shorter by their form.
    size_t maxBytes;
};

inline constexpr OfficeValueInfo kOfficeValues[kOfficeValueCount] = {
    {"Office Name", OfficeValueKind::Name, 1023},
    {kNetworkValueNames[0], OfficeValueKind::Address, 15},
    {kNetworkValueNames[1], OfficeValueKind::Address, 15},
    {kNetworkValueNames[2], OfficeValueKind::Address, 15},
    {kNetworkValueNames[3], OfficeValueKind::Address, 15},
    {kNetworkValueNames[4], OfficeValueKind::Address, 15},
    {kNetworkValueNames[5], OfficeValueKind::Address, 15},
    {kNetworkValueNames[6], OfficeValueKind::Address, 15},
    {"Default Printer", OfficeValueKind::Printer, 1023},
};

// The office's text at `place`.
std::string& OfficeValue(COfficeNetwork& office, int place);
const std::string& OfficeValue(const COfficeNetwork& office, int place);

// Four decimal numbers 0-255 without leading zeros: the form the office dialog stores, and
// one that the matcher's conversion cannot read as octal.
bool IsDottedDecimal(std::string_view text);

// Why `text` cannot be the value at `place`, for a message; empty when it can. What the
// command line's add and edit refuse, import refuses too, and the office dialog cannot make.
std::string OfficeValueProblem(int place, const std::string& text);

}  // namespace voldrane
