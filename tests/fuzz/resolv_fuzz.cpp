// The resolv.conf reader on any text: at most one server per line, each a canonical IPv4
// address, and the stub test agrees with the list.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/linux/Ipv4Text.h"
#include "platform/linux/ResolvConf.h"
#include "tests/fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace voldrane::platform::linux_os;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto servers = ParseResolvConfNameservers(text);

    const auto lines = static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
    FUZZ_CHECK(servers.size() <= lines);
    bool onlyStub = !servers.empty();
    for (const auto& server : servers) {
        const auto canonical = CanonicalIPv4(server);
        FUZZ_CHECK(canonical && *canonical == server);
        onlyStub = onlyStub && (server == "127.0.0.53" || server == "127.0.0.54");
    }
    FUZZ_CHECK(OnlyResolvedStub(servers) == onlyStub);
    return 0;
}
