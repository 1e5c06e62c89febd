// The file-based sources of the Linux network layer against temporary folders laid out like
// sysfs, /run and /var/lib/dhcp.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/linux/AdapterDescription.h"
#include "platform/linux/DhcpLeaseFiles.h"
#include "platform/linux/LinuxNetworkSource.h"
#include "platform/linux/TextFile.h"
#include "tests/support/TempFolder.h"

namespace voldrane::platform::linux_os {
namespace {

namespace fs = std::filesystem;

class TempTree : public ::testing::Test {
  protected:
    void SetUp() override { root = m_tmp.Path(); }

    void Write(const std::string& relative, const std::string& text) {
        const fs::path p = root / relative;
        fs::create_directories(p.parent_path());
        std::ofstream(p) << text;
    }
    // A sysfs entry: class/net/<if> links to the device folder, as the kernel lays it out.
    void Interface(const std::string& ifname, const std::string& devicePath,
                   const std::string& driver = "") {
        const fs::path dev = root / "sys" / devicePath / "net" / ifname;
        fs::create_directories(dev);
        fs::create_directories(root / "sys/class/net");
        fs::create_symlink(dev, root / "sys/class/net" / ifname);
        if (!driver.empty()) {
            fs::create_directories(root / "sys/bus/pci/drivers" / driver);
            fs::create_symlink(root / "sys" / devicePath, dev / "device");
            fs::create_symlink(root / "sys/bus/pci/drivers" / driver,
                               root / "sys" / devicePath / "driver");
        }
    }

    test::TempFolder m_tmp{"voldrane-net"};
    fs::path root;
};

TEST_F(TempTree, DescriptionFromUdevElseDriverAndVirtualAlwaysSaysSo) {
    Interface("enp0s31f6", "devices/pci0000:00/0000:00:1f.6", "e1000e");
    Interface("wlp2s0", "devices/pci0000:00/0000:02:00.0", "iwlwifi");
    Interface("eth0", "devices/pci0000:00/0000:00:03.0/virtio2", "virtio_net");
    Interface("veth1", "devices/virtual");
    Interface("br0", "devices/virtual");
    Write("run/udev/data/n2",
          "E:ID_MODEL_FROM_DATABASE=Ethernet Connection I219-LM\n"
          "E:ID_VENDOR_FROM_DATABASE=Intel Corporation\n");
    Write("run/udev/data/n3", "E:ID_MODEL_FROM_DATABASE=Wi-Fi 6 AX200\n");
    Write("run/udev/data/n9", "E:ID_MODEL_FROM_DATABASE=Some Bridge Model\n");

    const std::string sys = root / "sys", run = root / "run";
    struct Case {
        int ifindex;
        const char* ifname;
        const char* kind;
        const char* description;
    };
    const Case cases[] = {
        {2, "enp0s31f6", "", "Intel Corporation Ethernet Connection I219-LM"},
        {3, "wlp2s0", "", "Wi-Fi 6 AX200"},
        {4, "eth0", "", "eth0 (virtio_net)"},
        {8, "veth1", "veth", "veth1 (Virtual veth adapter)"},
        {9, "br0", "", "br0 (Virtual adapter)"},
        // Unknown to sysfs: the link kind decides.
        {10, "wg0", "wireguard", "wg0 (Virtual wireguard adapter)"},
        {11, "eth7", "", "eth7"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DescribeInterface(sys, run, c.ifindex, c.ifname, c.kind), c.description)
            << c.ifname;
    EXPECT_EQ(IsVirtualInterface(sys, "veth1"), true);
    EXPECT_EQ(IsVirtualInterface(sys, "eth0"), false);
    EXPECT_EQ(IsVirtualInterface(sys, "../../etc"), std::nullopt);
}

TEST_F(TempTree, LeaseFilesByInterfaceAndAddress) {
    Write("run/systemd/netif/leases/3", "ADDRESS=10.5.0.17\nSERVER_ADDRESS=10.5.0.2\n");
    Write("dhcp/dhclient.eth0.leases",
          "lease { interface \"eth0\"; fixed-address 10.77.0.50; option dhcp-server-identifier "
          "10.77.0.1; option netbios-name-servers 10.77.0.44; }\n");
    Write("dhclient/dhclient-wlan0.leases",
          "lease { interface \"wlan0\"; fixed-address 10.3.0.4; option "
          "dhcp-server-identifier 10.3.0.1; }\n");
    const std::string run = root / "run";
    const std::vector<std::string> dirs = {root / "dhcp", root / "dhclient"};

    const auto networkd = ReadNetworkdLease(run, 3, "10.5.0.17");
    ASSERT_TRUE(networkd);
    EXPECT_EQ(networkd->server, "10.5.0.2");
    EXPECT_FALSE(ReadNetworkdLease(run, 3, "10.5.0.99")) << "a lease for another address is stale";
    EXPECT_FALSE(ReadNetworkdLease(run, 4, "10.5.0.17"));

    const auto eth0 = ReadDhclientLease(dirs, "eth0", "10.77.0.50");
    ASSERT_TRUE(eth0);
    EXPECT_EQ(eth0->server, "10.77.0.1");
    EXPECT_EQ(eth0->winsServers, std::vector<std::string>{"10.77.0.44"});
    const auto wlan0 = ReadDhclientLease(dirs, "wlan0", "10.3.0.4");
    ASSERT_TRUE(wlan0);
    EXPECT_EQ(wlan0->server, "10.3.0.1");
    EXPECT_FALSE(ReadDhclientLease(dirs, "eth0", "10.77.0.51"));
    EXPECT_FALSE(ReadDhclientLease(dirs, "../dhcp/x", ""));
}

TEST_F(TempTree, DnsFromResolvConfAndBehindALocalCache) {
    struct Case {
        const char* name;
        std::optional<std::string> resolvConf;
        std::optional<std::string> upstream;  // run/systemd/resolve/resolv.conf
        std::optional<std::vector<std::string>> servers;
    };
    const std::vector<Case> cases = {
        {"plain file", "nameserver 10.0.0.1\nnameserver 10.0.0.2\n", std::nullopt,
         std::vector<std::string>{"10.0.0.1", "10.0.0.2"}},
        {"stub with upstream file", "nameserver 127.0.0.53\n", "nameserver 10.4.0.1\n",
         std::vector<std::string>{"10.4.0.1"}},
        {"stub with an upstream file naming only the stub", "nameserver 127.0.0.53\n",
         "nameserver 127.0.0.53\n", std::vector<std::string>{"127.0.0.53"}},
        {"stub without upstream", "nameserver 127.0.0.53\n", std::nullopt,
         std::vector<std::string>{"127.0.0.53"}},
        // NetworkManager's dnsmasq, or another local cache, with resolved beside it.
        {"local cache with resolved's upstream file", "nameserver 127.0.0.1\n",
         "nameserver 10.4.0.1\n", std::vector<std::string>{"10.4.0.1"}},
        {"local cache alone", "nameserver 127.0.1.1\nnameserver 127.0.0.1\n", std::nullopt,
         std::vector<std::string>{"127.0.1.1", "127.0.0.1"}},
        {"local cache beside a real server", "nameserver 127.0.0.1\nnameserver 10.0.0.1\n",
         "nameserver 10.4.0.1\n", std::vector<std::string>{"127.0.0.1", "10.0.0.1"}},
        {"no servers", "search lan\n", "nameserver 10.4.0.1\n", std::vector<std::string>{}},
        {"missing file", std::nullopt, "nameserver 10.4.0.1\n", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(root / "etc");
        fs::remove_all(root / "run");
        if (c.resolvConf) Write("etc/resolv.conf", *c.resolvConf);
        if (c.upstream) Write("run/systemd/resolve/resolv.conf", *c.upstream);
        NetworkPaths paths;
        paths.runRoot = root / "run";
        paths.resolvConf = root / "etc/resolv.conf";
        paths.askResolved = false;
        paths.askNetworkManager = false;
        LinuxNetworkSource source(paths);
        EXPECT_EQ(source.QueryDnsServers(), c.servers);
    }
}

TEST_F(TempTree, TextFileKeepsTheTailAndRefusesNonFiles) {
    Write("big", std::string(100, 'a') + "0123456789");
    EXPECT_EQ(ReadTextFile(root / "big", 10), "0123456789");
    EXPECT_EQ(ReadTextFile(root / "big")->size(), 110u);
    EXPECT_EQ(ReadTextFile(root / "missing"), std::nullopt);
    EXPECT_EQ(ReadTextFile(root), std::nullopt);
    ASSERT_EQ(mkfifo((root / "fifo").c_str(), 0600), 0);
    EXPECT_EQ(ReadTextFile(root / "fifo"), std::nullopt);  // and returns at once
}

}  // namespace
}  // namespace voldrane::platform::linux_os
