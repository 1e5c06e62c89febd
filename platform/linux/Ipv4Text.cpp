#include "platform/linux/Ipv4Text.h"

#include <arpa/inet.h>

namespace voldrane::platform::linux_os {

std::optional<std::string> CanonicalIPv4(std::string_view text) {
    if (text.empty() || text.size() >= INET_ADDRSTRLEN) return std::nullopt;
    const std::string copy(text);
    in_addr a{};
    if (inet_pton(AF_INET, copy.c_str(), &a) != 1) return std::nullopt;
    char out[INET_ADDRSTRLEN];
    if (!inet_ntop(AF_INET, &a, out, sizeof out)) return std::nullopt;
    return std::string(out);
}

}  // namespace voldrane::platform::linux_os
