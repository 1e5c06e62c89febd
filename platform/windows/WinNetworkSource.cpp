// The machine's TCP/IP settings from the IP Helper API: GetAdaptersInfo for the adapters (in
// the OS's order, with their first address, gateway, DHCP and WINS servers) and
// GetNetworkParams for the DNS servers. Choosing among the adapters is the core's work.
// The IP Helper header needs these before it, in this order.
#include <winsock2.h>
// (kept apart so that the order stays)
#include <windows.h>
// GetAdaptersInfo, GetNetworkParams.
#include <iphlpapi.h>

#include <memory>
#include <vector>

#include "platform/Platform.h"
#include "platform/windows/WinNetwork.h"

namespace voldrane::platform {

namespace windows_os {

namespace {

// The table a call fills, grown as often as it asks (an adapter may come between two calls).
template <typename Call>
std::optional<std::vector<uint8_t>> Fill(Call call, std::string* error) {
    ULONG size = 16 * 1024;
    for (int attempt = 0; attempt < 4; ++attempt) {
        std::vector<uint8_t> buffer(size);
        const DWORD rc = call(buffer.data(), &size);
        if (rc == ERROR_SUCCESS) return buffer;
        if (rc == ERROR_NO_DATA) return std::vector<uint8_t>();
        if (rc != ERROR_BUFFER_OVERFLOW) {
            if (error) *error = ErrorText(rc);
            return std::nullopt;
        }
    }
    if (error) *error = ErrorText(ERROR_BUFFER_OVERFLOW);
    return std::nullopt;
}

std::string Text(const char* s) {
    return s && *s ? s : "0.0.0.0";
}

}  // namespace

std::optional<std::vector<AdapterInfo>> WinNetworkSource::QueryAdapters() {
    m_problem.clear();
    const auto buffer = Fill(
        [](uint8_t* data, ULONG* size) {
            return GetAdaptersInfo(reinterpret_cast<IP_ADAPTER_INFO*>(data), size);
        },
        &m_problem);
    if (!buffer) return std::nullopt;
    std::vector<AdapterInfo> adapters;
    if (buffer->empty()) return adapters;
    for (auto* a = reinterpret_cast<const IP_ADAPTER_INFO*>(buffer->data()); a; a = a->Next) {
        if (a->Type == MIB_IF_TYPE_LOOPBACK) continue;
        AdapterInfo info;
        info.description = a->Description;
        info.dhcpEnabled = a->DhcpEnabled != 0;
        info.ipAddress = Text(a->IpAddressList.IpAddress.String);
        info.ipMask = Text(a->IpAddressList.IpMask.String);
        info.gateway = Text(a->GatewayList.IpAddress.String);
        info.dhcpServer = Text(a->DhcpServer.IpAddress.String);
        info.haveWins = a->HaveWins != 0;
        info.winsServer = Text(a->PrimaryWinsServer.IpAddress.String);
        adapters.push_back(std::move(info));
    }
    return adapters;
}

std::optional<std::vector<std::string>> WinNetworkSource::QueryDnsServers() {
    const auto buffer = Fill(
        [](uint8_t* data, ULONG* size) {
            return GetNetworkParams(reinterpret_cast<FIXED_INFO*>(data), size);
        },
        &m_problem);
    if (!buffer) return std::nullopt;
    std::vector<std::string> servers;
    if (buffer->empty()) return servers;
    const auto* info = reinterpret_cast<const FIXED_INFO*>(buffer->data());
    for (const IP_ADDR_STRING* s = &info->DnsServerList; s; s = s->Next)
        if (s->IpAddress.String[0]) servers.emplace_back(s->IpAddress.String);
    return servers;
}

}  // namespace windows_os

std::unique_ptr<INetworkSource> CreateNetworkSource() {
    return std::make_unique<windows_os::WinNetworkSource>();
}

}  // namespace voldrane::platform
