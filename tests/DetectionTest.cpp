#include <gtest/gtest.h>

#include "network/Detection.h"
#include "tests/FakeNetworkSource.h"

namespace voldrane {
namespace {

using test::Adapter;
using test::FakeNetworkSource;

CNetworkSettings Settings(std::string ip, std::string mask, std::string gw, std::string dhcp,
                          std::string dns1, std::string dns2, std::string wins) {
    return {ip, mask, gw, dhcp, dns1, dns2, wins};
}

TEST(Detection, FailedAdapterQueryGivesAllZeroesAndSkipsDns) {
    FakeNetworkSource src;
    src.adapters = std::nullopt;
    src.dns = std::vector<std::string>{"10.0.0.1"};
    EXPECT_EQ(DetectNetworkSettings(src), Settings("0.0.0.0", "0.0.0.0", "0.0.0.0", "0.0.0.0",
                                                   "0.0.0.0", "0.0.0.0", "0.0.0.0"));
    EXPECT_EQ(src.dnsQueries, 0);
}

TEST(Detection, NoAdaptersOrOnlyVirtualOnesGiveAllOnesMask) {
    for (const auto& adapters : {std::vector<platform::AdapterInfo>{},
                                 std::vector<platform::AdapterInfo>{
                                     Adapter("Virtual Ethernet Adapter", "10.0.0.2", "255.0.0.0"),
                                     Adapter("Hyper-V Virtual Switch", "10.0.0.3", "255.0.0.0")}}) {
        FakeNetworkSource src;
        src.adapters = adapters;
        src.dns = std::vector<std::string>{"10.0.0.1"};
        EXPECT_EQ(DetectNetworkSettings(src), Settings("0.0.0.0", "255.255.255.255", "0.0.0.0",
                                                       "0.0.0.0", "0.0.0.0", "0.0.0.0", "0.0.0.0"));
        EXPECT_EQ(src.dnsQueries, 0);
    }
}

TEST(Detection, TakesFirstNonVirtualAdapterWithAllItsValues) {
    FakeNetworkSource src;
    auto real = Adapter("Intel(R) Ethernet", "10.1.7.133", "255.255.0.0");
    real.gateway = "10.1.0.1";
    real.dhcpEnabled = true;
    real.dhcpServer = "10.1.0.5";
    real.haveWins = true;
    real.winsServer = "10.1.0.12";
    auto later = Adapter("Realtek Wi-Fi", "192.168.1.5", "255.255.255.0");
    src.adapters =
        std::vector{Adapter("Virtual Ethernet", "172.17.0.1", "255.255.0.0"), real, later};
    src.dns = std::vector<std::string>{"10.1.0.10", "10.1.0.11", "10.1.0.99"};
    EXPECT_EQ(DetectNetworkSettings(src),
              Settings("10.1.7.133", "255.255.0.0", "10.1.0.1", "10.1.0.5", "10.1.0.10",
                       "10.1.0.11", "10.1.0.12"));
}

TEST(Detection, VirtualIsCaseSensitiveAndMatchesAnywhere) {
    FakeNetworkSource src;
    src.adapters = std::vector{Adapter("my virtual nic", "10.9.9.9", "255.0.0.0"),
                               Adapter("eth1", "10.8.8.8", "255.0.0.0")};
    EXPECT_EQ(DetectNetworkSettings(src).m_strIPAddress, "10.9.9.9");
    src.adapters = std::vector{Adapter("myVirtualnic", "10.9.9.9", "255.0.0.0"),
                               Adapter("eth1", "10.8.8.8", "255.0.0.0")};
    EXPECT_EQ(DetectNetworkSettings(src).m_strIPAddress, "10.8.8.8");
}

TEST(Detection, DhcpAndWinsServersOnlyWhenFlagged) {
    FakeNetworkSource src;
    auto a = Adapter("eth0", "10.0.0.15", "255.255.255.0");
    a.dhcpServer = "10.0.0.1";  // present but DHCP is off: must not be taken
    a.winsServer = "10.0.0.2";  // present but WINS is off
    src.adapters = std::vector{a};
    const auto s = DetectNetworkSettings(src);
    EXPECT_EQ(s.m_strDHCPServer, "0.0.0.0");
    EXPECT_EQ(s.m_strWINSServer, "0.0.0.0");
}

// A laptop whose wired port is unplugged and whose Wi-Fi is connected must see the Wi-Fi.
TEST(Detection, PassesOverAdapterWithoutAddressWhileALaterOneHasOne) {
    FakeNetworkSource src;
    src.adapters = std::vector{Adapter("Wired", "0.0.0.0", "0.0.0.0"),
                               Adapter("Virtual bridge", "172.16.0.1", "255.255.0.0"),
                               Adapter("Wireless", "192.168.4.20", "255.255.255.0")};
    EXPECT_EQ(DetectNetworkSettings(src).m_strIPAddress, "192.168.4.20");

    // Nothing has an address: the first non-virtual adapter is taken after all.
    src.adapters = std::vector{Adapter("Virtual bridge", "0.0.0.0", "0.0.0.0"),
                               Adapter("Wired", "0.0.0.0", "0.0.0.0"),
                               Adapter("Wireless", "0.0.0.0", "0.0.0.0")};
    auto wired = src.adapters->at(1);
    wired.gateway = "1.2.3.4";
    src.adapters->at(1) = wired;
    EXPECT_EQ(DetectNetworkSettings(src).m_strDefaultGateway, "1.2.3.4");
}

TEST(Detection, DnsServerCounts) {
    FakeNetworkSource src;
    src.adapters = std::vector{Adapter("eth0", "10.0.0.15", "255.255.255.0")};
    struct Case {
        std::optional<std::vector<std::string>> dns;
        const char* dns1;
        const char* dns2;
    } cases[] = {
        {std::nullopt, "0.0.0.0", "0.0.0.0"},  // the query failed
        {std::vector<std::string>{}, "0.0.0.0", "N/A"},
        {std::vector<std::string>{"10.0.0.53"}, "10.0.0.53", "N/A"},
        {std::vector<std::string>{"10.0.0.53", "10.0.0.54"}, "10.0.0.53", "10.0.0.54"},
        {std::vector<std::string>{"10.0.0.53", "10.0.0.54", "10.0.0.55"}, "10.0.0.53", "10.0.0.54"},
    };
    for (const auto& c : cases) {
        src.dns = c.dns;
        const auto s = DetectNetworkSettings(src);
        EXPECT_EQ(s.m_strDNSServer1, c.dns1);
        EXPECT_EQ(s.m_strDNSServer2, c.dns2);
        EXPECT_EQ(s.m_strIPAddress, "10.0.0.15") << "adapter values stay when DNS fails";
    }
}

}  // namespace
}  // namespace voldrane
