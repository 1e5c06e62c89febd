// The rtnetlink reader against the running kernel, in the test's own network namespace
// (read only).
#include <gtest/gtest.h>
#include <linux/rtnetlink.h>
#include <net/if.h>

#include "platform/linux/RtNetlink.h"

namespace voldrane::platform::linux_os {
namespace {

TEST(RtNetlink, OneDumpPerKindAndInterfacesInIndexOrder) {
    std::string error;
    const auto snapshot = ReadNetlinkSnapshot(&error);
    ASSERT_TRUE(snapshot) << error;
    EXPECT_EQ(snapshot->dumpsRequested,
              (std::vector<uint16_t>{RTM_GETLINK, RTM_GETADDR, RTM_GETROUTE}));
    ASSERT_FALSE(snapshot->interfaces.empty());
    for (size_t i = 1; i < snapshot->interfaces.size(); ++i)
        EXPECT_LT(snapshot->interfaces[i - 1].ifindex, snapshot->interfaces[i].ifindex);
    for (const auto& itf : snapshot->interfaces) {
        EXPECT_EQ(if_nametoindex(itf.name.c_str()), static_cast<unsigned>(itf.ifindex));
        if (itf.flags & IFF_LOOPBACK) {
            EXPECT_TRUE(itf.kind.empty());
            if (itf.flags & IFF_UP) {
                ASSERT_FALSE(itf.addresses.empty());
                EXPECT_EQ(FormatIPv4(itf.addresses[0].address), "127.0.0.1");
                EXPECT_EQ(itf.addresses[0].prefixLength, 8);
            }
        }
    }
}

}  // namespace
}  // namespace voldrane::platform::linux_os
