#include "platform/linux/ResolvedDns.h"

#include <arpa/inet.h>
#include <sys/socket.h>
#include <systemd/sd-bus.h>

#include <algorithm>
#include <cstring>

#include "platform/linux/RtNetlink.h"
#include "platform/linux/SystemBus.h"

namespace voldrane::platform::linux_os {

std::optional<std::vector<std::string>> QueryResolvedDnsServers(std::chrono::milliseconds timeout,
                                                                std::string* error) {
    std::string ignored;
    if (!error) error = &ignored;
    const auto bus = SystemBus::Connect(timeout, error);
    if (!bus) return std::nullopt;
    const auto reply =
        bus->GetProperty("org.freedesktop.resolve1", "/org/freedesktop/resolve1",
                         "org.freedesktop.resolve1.Manager", "DNS", "a(iiay)", error);
    if (!reply) return std::nullopt;

    sd_bus_message* m = reply->message;
    struct Entry {
        int ifindex;
        std::string address;
    };
    std::vector<Entry> entries;
    if (sd_bus_message_enter_container(m, 'a', "(iiay)") <= 0) {
        *error = "resolved DNS: unreadable reply";
        return std::nullopt;
    }
    int r;
    while ((r = sd_bus_message_enter_container(m, 'r', "iiay")) > 0) {
        int32_t ifindex = 0, family = 0;
        const void* bytes = nullptr;
        size_t size = 0;
        if (sd_bus_message_read(m, "ii", &ifindex, &family) < 0 ||
            sd_bus_message_read_array(m, 'y', &bytes, &size) < 0 ||
            sd_bus_message_exit_container(m) < 0) {
            *error = "resolved DNS: unreadable reply";
            return std::nullopt;
        }
        if (family == AF_INET && size == 4) {
            uint32_t a = 0;
            std::memcpy(&a, bytes, 4);
            entries.push_back({ifindex, FormatIPv4(a)});
        }
    }
    if (r < 0) {
        *error = "resolved DNS: unreadable reply";
        return std::nullopt;
    }
    // Global servers (ifindex 0) first, as resolved writes them into its resolv.conf.
    std::stable_partition(entries.begin(), entries.end(),
                          [](const Entry& e) { return e.ifindex == 0; });
    std::vector<std::string> servers;
    for (auto& e : entries)
        if (std::find(servers.begin(), servers.end(), e.address) == servers.end())
            servers.push_back(std::move(e.address));
    return servers;
}

}  // namespace voldrane::platform::linux_os
