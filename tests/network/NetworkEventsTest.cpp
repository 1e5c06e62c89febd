// The resolver's and the DHCP clients' files as network events, in temporary folders.
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/linux/NetworkEvents.h"
#include "tests/support/TempFolder.h"

namespace voldrane::platform::linux_os {
namespace {

namespace fs = std::filesystem;

class NetworkEventsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        root = m_tmp.Path();
        fs::create_directories(root + "/etc");
        fs::create_directories(root + "/dhcp");
        Write("etc/resolv.conf", "nameserver 10.0.0.1\n");
        NetworkPaths paths;
        paths.resolvConf = root + "/etc/resolv.conf";
        paths.dhclientLeaseDirs = {root + "/dhcp"};
        paths.runRoot = root + "/run";  // missing, as where no systemd-networkd runs
        paths.varLibNetworkManager = root + "/nm";
        std::string error;
        events = OpenNetworkEvents(paths, false, &error);
        ASSERT_NE(events, nullptr) << error;
        // Only the files' descriptor: the kernel's may speak of the machine's own network.
        for (int fd : events->Descriptors()) {
            const fs::path target = fs::read_symlink("/proc/self/fd/" + std::to_string(fd));
            if (target.string().find("inotify") != std::string::npos) inotify = fd;
        }
        ASSERT_GE(inotify, 0);
    }

    void Write(const std::string& relative, const std::string& text) {
        std::ofstream(root + "/" + relative) << text;
    }
    // Waits (boundedly) until something is to be read, then drains it.
    INetworkEvents::Drained Next() {
        pollfd p{inotify, POLLIN, 0};
        if (poll(&p, 1, 5000) != 1) return INetworkEvents::Drained::Closed;
        return events->Drain(inotify);
    }

    test::TempFolder m_tmp{"voldrane-events"};
    std::string root;
    std::unique_ptr<INetworkEvents> events;
    int inotify = -1;
};

TEST_F(NetworkEventsTest, ResolvConfWrittenOrReplacedAndLeasesRenewedAreChanges) {
    using D = INetworkEvents::Drained;
    Write("etc/resolv.conf", "nameserver 10.0.0.2\n");  // in place
    EXPECT_EQ(Next(), D::Changed);
    Write("etc/resolv.conf.new", "nameserver 10.0.0.3\n");
    EXPECT_EQ(Next(), D::Nothing) << "another file of the folder";
    fs::rename(root + "/etc/resolv.conf.new", root + "/etc/resolv.conf");
    EXPECT_EQ(Next(), D::Changed);
    Write("etc/resolv.conf", "nameserver 10.0.0.4\n");  // the new file is watched as well
    EXPECT_EQ(Next(), D::Changed);
    Write("dhcp/dhclient.eth0.leases", "lease {}\n");
    EXPECT_EQ(Next(), D::Changed);
}

}  // namespace
}  // namespace voldrane::platform::linux_os
