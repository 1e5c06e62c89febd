// The text parsers of the Linux network layer, on samples of what the DHCP clients, udev and
// the resolver write.
#include <gtest/gtest.h>

#include "platform/linux/AdapterDescription.h"
#include "platform/linux/DhcpLeaseParsers.h"
#include "platform/linux/Ipv4Text.h"
#include "platform/linux/NetworkManagerDhcp.h"
#include "platform/linux/ResolvConf.h"
#include "platform/linux/RtNetlink.h"

namespace voldrane::platform::linux_os {
namespace {

using Servers = std::vector<std::string>;

constexpr const char* kTwoNetworks = R"(default-duid "\000\001\000\001,\012\"\304RT\000\022\064V";
lease {
  interface "eth0";
  fixed-address 10.77.0.50;
  option subnet-mask 255.255.255.0;
  option dhcp-server-identifier 10.77.0.1;
  option netbios-name-servers 10.77.0.44, 10.77.0.45;
  option domain-name "old; office {with} braces";
  renew 4 2026/12/10 12:00:00;
}
lease {
  interface "wlan0";
  fixed-address 192.168.5.20;
  option dhcp-server-identifier 192.168.5.1;
}
lease {
  interface "eth0";
  fixed-address 10.88.0.9;  # a newer lease on another network
  option dhcp-server-identifier 10.88.0.1;
  option vendor-encapsulated-options 1:2:3;
}
lease6 {
  interface "eth0";
  ia-na 1e:2f:3a:4b { iaaddr 2001:db8::5 { preferred-life 300; } }
}
)";

TEST(DhclientLeases, PicksLastCompleteBlockForInterfaceAndAddress) {
    struct Case {
        const char* name;
        std::string text;
        const char* ifname;
        const char* address;
        std::optional<std::string> server;
        Servers wins;
    };
    const std::vector<Case> cases = {
        {"last block of the interface", kTwoNetworks, "eth0", "", "10.88.0.1", {}},
        {"older block matching the address",
         kTwoNetworks,
         "eth0",
         "10.77.0.50",
         "10.77.0.1",
         {"10.77.0.44", "10.77.0.45"}},
        {"other interface", kTwoNetworks, "wlan0", "192.168.5.20", "192.168.5.1", {}},
        {"address leased nowhere", kTwoNetworks, "eth0", "10.99.0.1", std::nullopt, {}},
        {"interface without a lease", kTwoNetworks, "eth1", "", std::nullopt, {}},
        {"block without interface counts for any",
         "lease { fixed-address 10.1.0.5; option dhcp-server-identifier 10.1.0.1; }",
         "eth3",
         "10.1.0.5",
         "10.1.0.1",
         {}},
        {"block still being written is ignored",
         std::string(kTwoNetworks) +
             "lease {\n interface \"eth0\";\n fixed-address 10.99.0.7;\n option dhcp-serv",
         "eth0",
         "",
         "10.88.0.1",
         {}},
        {"file cut in the middle of a block",
         "  option netbios-name-servers 10.0.0.9;\n}\nlease { interface \"eth0\"; fixed-address "
         "10.2.0.3; option dhcp-server-identifier 10.2.0.1; }",
         "eth0",
         "10.2.0.3",
         "10.2.0.1",
         {}},
        {"later repeat of an option replaces it",
         "lease { option netbios-name-servers 10.0.0.1; option netbios-name-servers 10.0.0.2; "
         "option dhcp-server-identifier not-an-address; }",
         "eth0",
         "",
         "",
         {"10.0.0.2"}},
        {"quote left open by damage ends with its line",
         "\x01\"\x7f{\n}\nlease { interface \"eth0\"; fixed-address 10.3.0.4; "
         "option dhcp-server-identifier 10.3.0.1; }",
         "eth0",
         "10.3.0.4",
         "10.3.0.1",
         {}},
        {"block cut off by a stop, then a whole lease",
         "lease {\n interface \"eth0\";\n fixed-address 10.4.0.9;\n option dhcp-serv\n"
         "lease {\n interface \"eth0\";\n fixed-address 10.4.0.9;\n"
         " option dhcp-server-identifier 10.4.0.1;\n}\n",
         "eth0",
         "10.4.0.9",
         "10.4.0.1",
         {}},
        {"empty text", "", "eth0", "", std::nullopt, {}},
        {"garbage", "}}}{{;;\"unterminated", "eth0", "", std::nullopt, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto lease = ParseDhclientLeases(c.text, c.ifname, c.address);
        ASSERT_EQ(lease.has_value(), c.server.has_value());
        if (!lease) continue;
        EXPECT_EQ(lease->server, *c.server);
        EXPECT_EQ(lease->winsServers, c.wins);
    }
}

TEST(NetworkdLease, ReadsServerAndAddress) {
    const auto lease = ParseNetworkdLease(
        "# This is private data. Do not parse.\n"
        "ADDRESS=10.5.0.17\nNETMASK=255.255.255.0\nROUTER=10.5.0.1\n"
        "SERVER_ADDRESS=10.5.0.2\nDNS=10.5.0.53 10.5.0.54\nLIFETIME=3600\nCLIENTID=ff1234\n");
    ASSERT_TRUE(lease);
    EXPECT_EQ(lease->address, "10.5.0.17");
    EXPECT_EQ(lease->server, "10.5.0.2");
    EXPECT_TRUE(lease->winsServers.empty());

    EXPECT_FALSE(ParseNetworkdLease("# nothing\nROUTER=10.0.0.1\nSERVER_ADDRESS=bogus\n"));
    EXPECT_FALSE(ParseNetworkdLease(R"({"Address": "10.0.0.1"})"));
}

TEST(NetworkManagerOptions, ServerAndSpaceSeparatedWins) {
    const auto lease =
        LeaseFromNetworkManagerOptions({{"ip_address", "10.9.0.5"},
                                        {"dhcp_server_identifier", "10.9.0.1"},
                                        {"netbios_name_servers", " 10.9.0.44  10.9.0.45 "},
                                        {"routers", "10.9.0.1"}});
    EXPECT_EQ(lease.address, "10.9.0.5");
    EXPECT_EQ(lease.server, "10.9.0.1");
    EXPECT_EQ(lease.winsServers, (Servers{"10.9.0.44", "10.9.0.45"}));
    EXPECT_EQ(LeaseFromNetworkManagerOptions({}).server, "");
}

TEST(ResolvConf, NameserversInOrderIPv4Only) {
    struct Case {
        const char* name;
        const char* text;
        Servers servers;
        bool stubOnly;
    };
    const std::vector<Case> cases = {
        {"plain",
         "nameserver 10.0.0.1\nnameserver 10.0.0.2\nnameserver 10.0.0.3\n",
         {"10.0.0.1", "10.0.0.2", "10.0.0.3"},
         false},
        {"comments, options, IPv6 and trailing words",
         "# Generated\n; also a comment\nsearch example.com\noptions edns0 trust-ad\n"
         "nameserver 2001:db8::1\nnameserver fe80::1%eth0\nnameserver\t192.0.2.53 # main\n"
         "#nameserver 10.6.6.6\n  nameserver 10.7.7.7\nnameservers 10.8.8.8\n"
         "nameserver 192.0.2.54;x\r\nnameserver 999.1.1.1\n",
         {"192.0.2.53", "192.0.2.54"},
         false},
        {"resolved stub", "nameserver 127.0.0.53\noptions edns0\n", {"127.0.0.53"}, true},
        {"stub and a real server",
         "nameserver 127.0.0.53\nnameserver 10.0.0.1\n",
         {"127.0.0.53", "10.0.0.1"},
         false},
        {"no server", "search lan\n", {}, false},
        {"no final newline", "nameserver 10.1.1.1", {"10.1.1.1"}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto servers = ParseResolvConfNameservers(c.text);
        EXPECT_EQ(servers, c.servers);
        EXPECT_EQ(OnlyResolvedStub(servers), c.stubOnly);
    }
}

TEST(UdevRecord, PropertiesByExactKey) {
    const char* record =
        "I:1234\nE:ID_MODEL_FROM_DATABASE_X=no\nE:ID_MODEL_FROM_DATABASE=Ethernet Connection "
        "I219-LM\nE:ID_VENDOR_FROM_DATABASE=Intel Corporation\nG:systemd\nE:EMPTY=";
    EXPECT_EQ(UdevProperty(record, "ID_MODEL_FROM_DATABASE"), "Ethernet Connection I219-LM");
    EXPECT_EQ(UdevProperty(record, "ID_VENDOR_FROM_DATABASE"), "Intel Corporation");
    EXPECT_EQ(UdevProperty(record, "EMPTY"), "");
    EXPECT_EQ(UdevProperty(record, "I"), std::nullopt);
    EXPECT_EQ(UdevProperty(record, "ID_MODEL"), std::nullopt);
}

TEST(Ipv4Text, MasksAndCanonicalForm) {
    EXPECT_EQ(PrefixToMask(0), "0.0.0.0");
    EXPECT_EQ(PrefixToMask(8), "255.0.0.0");
    EXPECT_EQ(PrefixToMask(23), "255.255.254.0");
    EXPECT_EQ(PrefixToMask(32), "255.255.255.255");
    EXPECT_EQ(PrefixToMask(40), "255.255.255.255");
    EXPECT_EQ(CanonicalIPv4("10.0.0.1"), "10.0.0.1");
    for (const char* bad :
         {"", "10.1", "10.0.0.256", "::1", "host.example", "10.0.0.1 ", "10.0.0.1.2.3.4.5.6.7.8.9"})
        EXPECT_EQ(CanonicalIPv4(bad), std::nullopt) << bad;
}

}  // namespace
}  // namespace voldrane::platform::linux_os
