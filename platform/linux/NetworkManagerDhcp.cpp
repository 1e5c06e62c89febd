#include "platform/linux/NetworkManagerDhcp.h"

#include <systemd/sd-bus.h>

#include <algorithm>
#include <cstring>
#include <sstream>
#include <vector>

#include "platform/linux/Ipv4Text.h"
#include "platform/linux/SystemBus.h"

namespace voldrane::platform::linux_os {

namespace {

constexpr const char* kService = "org.freedesktop.NetworkManager";
constexpr const char* kManagerPath = "/org/freedesktop/NetworkManager";
constexpr const char* kDeviceInterface = "org.freedesktop.NetworkManager.Device";
constexpr const char* kDhcp4Interface = "org.freedesktop.NetworkManager.DHCP4Config";
constexpr const char* kIp4Interface = "org.freedesktop.NetworkManager.IP4Config";
constexpr const char* kActiveInterface = "org.freedesktop.NetworkManager.Connection.Active";

std::optional<std::vector<std::string>> ReadObjectPaths(sd_bus_message* m) {
    std::vector<std::string> paths;
    if (sd_bus_message_enter_container(m, 'a', "o") <= 0) return std::nullopt;
    const char* p = nullptr;
    int r;
    while ((r = sd_bus_message_read(m, "o", &p)) > 0) paths.emplace_back(p);
    if (r < 0) return std::nullopt;
    return paths;
}

// a{sv} with the string-valued entries kept; NetworkManager sends only strings here.
std::optional<std::map<std::string, std::string>> ReadStringDict(sd_bus_message* m) {
    std::map<std::string, std::string> dict;
    if (sd_bus_message_enter_container(m, 'a', "{sv}") <= 0) return std::nullopt;
    int r;
    while ((r = sd_bus_message_enter_container(m, 'e', "sv")) > 0) {
        const char* key = nullptr;
        if (sd_bus_message_read(m, "s", &key) < 0) return std::nullopt;
        char type = 0;
        const char* contents = nullptr;
        if (sd_bus_message_peek_type(m, &type, &contents) < 0) return std::nullopt;
        if (type == 'v' && contents && std::strcmp(contents, "s") == 0) {
            const char* value = nullptr;
            if (sd_bus_message_read(m, "v", "s", &value) < 0) return std::nullopt;
            dict[key] = value;
        } else if (sd_bus_message_skip(m, "v") < 0) {
            return std::nullopt;
        }
        if (sd_bus_message_exit_container(m) < 0) return std::nullopt;
    }
    if (r < 0 || sd_bus_message_exit_container(m) < 0) return std::nullopt;
    return dict;
}

// IP4Config's NameserverData: one a{sv} per server, its text in "address".
std::optional<std::vector<std::string>> ReadNameserverData(sd_bus_message* m) {
    std::vector<std::string> servers;
    if (sd_bus_message_enter_container(m, 'a', "a{sv}") <= 0) return std::nullopt;
    int r;
    while ((r = sd_bus_message_at_end(m, false)) == 0) {
        const auto entry = ReadStringDict(m);
        if (!entry) return std::nullopt;
        const auto it = entry->find("address");
        if (it != entry->end())
            if (auto a = CanonicalIPv4(it->second)) servers.push_back(*a);
    }
    if (r < 0) return std::nullopt;
    return servers;
}

}  // namespace

DhcpLease LeaseFromNetworkManagerOptions(const std::map<std::string, std::string>& options) {
    DhcpLease lease;
    auto text = [&](const char* key) {
        auto it = options.find(key);
        return it == options.end() ? std::string() : it->second;
    };
    if (auto a = CanonicalIPv4(text("ip_address"))) lease.address = *a;
    if (auto a = CanonicalIPv4(text("dhcp_server_identifier"))) lease.server = *a;
    std::istringstream wins(text("netbios_name_servers"));
    for (std::string word; wins >> word;)
        if (auto a = CanonicalIPv4(word)) lease.winsServers.push_back(*a);
    return lease;
}

std::optional<std::map<std::string, DhcpLease>> QueryNetworkManagerDhcp(
    std::chrono::milliseconds timeout, std::string* error) {
    std::string ignored;
    if (!error) error = &ignored;
    const auto bus = SystemBus::Connect(timeout, error);
    if (!bus) return std::nullopt;

    std::vector<std::string> devices;
    {
        const auto reply =
            bus->GetProperty(kService, kManagerPath, kService, "Devices", "ao", error);
        if (!reply) return std::nullopt;
        auto paths = ReadObjectPaths(reply->message);
        if (!paths) {
            *error = "NetworkManager Devices: unreadable reply";
            return std::nullopt;
        }
        devices = std::move(*paths);
    }

    std::map<std::string, DhcpLease> leases;
    for (const auto& device : devices) {
        std::string err;
        const auto config =
            bus->GetObjectPath(kService, device, kDeviceInterface, "Dhcp4Config", &err);
        if (bus->TimedOut()) break;
        if (!config || *config == "/") continue;
        // The IP interface differs from the device's own for PPP and similar links.
        auto ifname = bus->GetString(kService, device, kDeviceInterface, "IpInterface", &err);
        if (!ifname || ifname->empty())
            ifname = bus->GetString(kService, device, kDeviceInterface, "Interface", &err);
        if (!ifname || ifname->empty()) continue;
        const auto reply =
            bus->GetProperty(kService, *config, kDhcp4Interface, "Options", "a{sv}", &err);
        if (!reply) continue;
        if (const auto options = ReadStringDict(reply->message))
            leases[*ifname] = LeaseFromNetworkManagerOptions(*options);
    }
    if (bus->TimedOut()) {
        *error = "NetworkManager did not answer in time";
        return std::nullopt;
    }
    return leases;
}

std::optional<std::vector<std::string>> QueryNetworkManagerDnsServers(
    std::chrono::milliseconds timeout, std::string* error) {
    std::string ignored;
    if (!error) error = &ignored;
    const auto bus = SystemBus::Connect(timeout, error);
    if (!bus) return std::nullopt;

    // The primary connection's servers first: NetworkManager puts the connection that holds
    // the default route first in resolv.conf too. Then every other device's, in device order.
    std::vector<std::string> configs;
    std::string err;
    if (const auto primary =
            bus->GetObjectPath(kService, kManagerPath, kService, "PrimaryConnection", &err);
        primary && *primary != "/") {
        if (auto config =
                bus->GetObjectPath(kService, *primary, kActiveInterface, "Ip4Config", &err);
            config && *config != "/")
            configs.push_back(*config);
    }
    if (bus->TimedOut()) {
        *error = "NetworkManager did not answer in time";
        return std::nullopt;
    }
    const auto reply = bus->GetProperty(kService, kManagerPath, kService, "Devices", "ao", error);
    if (!reply) return std::nullopt;
    const auto devices = ReadObjectPaths(reply->message);
    if (!devices) {
        *error = "NetworkManager Devices: unreadable reply";
        return std::nullopt;
    }
    for (const auto& device : *devices) {
        const auto config =
            bus->GetObjectPath(kService, device, kDeviceInterface, "Ip4Config", &err);
        if (bus->TimedOut()) break;
        if (config && *config != "/" &&
            std::find(configs.begin(), configs.end(), *config) == configs.end())
            configs.push_back(*config);
    }

    std::vector<std::string> servers;
    for (const auto& config : configs) {
        if (bus->TimedOut()) break;
        const auto data =
            bus->GetProperty(kService, config, kIp4Interface, "NameserverData", "aa{sv}", &err);
        if (!data) continue;
        if (const auto list = ReadNameserverData(data->message))
            for (const auto& s : *list)
                if (std::find(servers.begin(), servers.end(), s) == servers.end())
                    servers.push_back(s);
    }
    if (bus->TimedOut()) {
        *error = "NetworkManager did not answer in time";
        return std::nullopt;
    }
    return servers;
}

}  // namespace voldrane::platform::linux_os
