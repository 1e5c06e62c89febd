#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace voldrane::platform::linux_os {

// The dotted-decimal form of an IPv4 address written as four decimal parts; nullopt for
// anything else (IPv6, host names, garbage).
std::optional<std::string> CanonicalIPv4(std::string_view text);

}  // namespace voldrane::platform::linux_os
