#pragma once

#include <functional>

#include "platform/NetworkSource.h"

namespace voldrane::test {

// Answers the two network queries with whatever the test put in; nullopt means "failed".
class FakeNetworkSource final : public platform::INetworkSource {
  public:
    std::optional<std::vector<platform::AdapterInfo>> adapters =
        std::vector<platform::AdapterInfo>{};
    std::optional<std::vector<std::string>> dns = std::vector<std::string>{};
    int dnsQueries = 0;
    std::function<void()> onAdapterQuery;  // told of each query of the adapters

    std::optional<std::vector<platform::AdapterInfo>> QueryAdapters() override {
        if (onAdapterQuery) onAdapterQuery();
        return adapters;
    }
    std::optional<std::vector<std::string>> QueryDnsServers() override {
        ++dnsQueries;
        return dns;
    }
};

inline platform::AdapterInfo Adapter(std::string description, std::string ip, std::string mask) {
    platform::AdapterInfo a;
    a.description = std::move(description);
    a.ipAddress = std::move(ip);
    a.ipMask = std::move(mask);
    return a;
}

}  // namespace voldrane::test
