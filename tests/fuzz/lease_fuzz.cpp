// The DHCP lease parsers (systemd-networkd's KEY=VALUE file, dhclient's lease blocks) on any
// text. What they return must be canonical addresses, and dhclient's choice must be stable:
// asking again for the address of the chosen lease finds that same lease.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/linux/DhcpLeaseParsers.h"
#include "platform/linux/Ipv4Text.h"
#include "tests/fuzz/FuzzCheck.h"

namespace {

using namespace voldrane::platform::linux_os;

void CheckCanonical(const std::string& address, bool mayBeEmpty) {
    if (address.empty()) {
        FUZZ_CHECK(mayBeEmpty);
        return;
    }
    const auto canonical = CanonicalIPv4(address);
    FUZZ_CHECK(canonical && *canonical == address);
}

void CheckLease(const DhcpLease& lease) {
    CheckCanonical(lease.address, true);
    CheckCanonical(lease.server, true);
    for (const auto& wins : lease.winsServers) CheckCanonical(wins, false);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    if (const auto lease = ParseNetworkdLease(text)) {
        CheckLease(*lease);
        FUZZ_CHECK(!lease->address.empty() || !lease->server.empty());
    }

    for (const std::string_view ifname : {"eth0", ""}) {
        const auto lease = ParseDhclientLeases(text, ifname, "");
        if (!lease) continue;
        CheckLease(*lease);
        if (lease->address.empty()) continue;
        const auto same = ParseDhclientLeases(text, ifname, lease->address);
        FUZZ_CHECK(same && same->address == lease->address && same->server == lease->server &&
                   same->winsServers == lease->winsServers);
    }
    return 0;
}
