#include <gtest/gtest.h>

#include <sstream>

#include "network/Matching.h"

namespace voldrane {
namespace {

// Networks as: address / mask, DHCP, DNS 1, DNS 2, WINS. The gateway is set to something
// that never agrees, so a test that passes never passes through it.
CNetworkSettings Net(std::string ip, std::string mask, std::string dhcp, std::string dns1,
                     std::string dns2, std::string wins, std::string gateway = "9.9.9.9") {
    return {ip, mask, gateway, dhcp, dns1, dns2, wins};
}

std::unique_ptr<COfficeNetwork> Office(std::string name, CNetworkSettings net) {
    auto o = std::make_unique<COfficeNetwork>();
    o->m_strOfficeName = std::move(name);
    o->m_network = std::move(net);
    return o;
}

TEST(InetAddr, ConvertsLikeTheSocketsLibrary) {
    struct {
        const char* text;
        uint32_t value;
    } cases[] = {
        {"10.1.4.20", 0x0A010414},
        {"255.255.255.255", 0xFFFFFFFF},
        {"0.0.0.0", 0},
        {"10.1.00.5", 0x0A010005},
        {"0x0A.1.2.3", 0x0A010203},
        {"012.1.2.3", 0x0A010203},  // octal
        {"10.1", 0x0A000001},
        {"10.1.2", 0x0A010002},
        {"167772161", 0x0A000001},
        {"N/A", kInaddrNone},
        {"", kInaddrNone},
        {"1.2.3.4.5", kInaddrNone},
        {"256.1.1.1", kInaddrNone},
        {"1.2.3.256", kInaddrNone},
        {"1..2.3", kInaddrNone},
        {"1.2.3.", kInaddrNone},
        {" 1.2.3.4", kInaddrNone},
        {"1.2.3.4x", kInaddrNone},
        {"08.1.1.1", kInaddrNone},
        {"0x", kInaddrNone},
        {"99999999999", kInaddrNone},
    };
    for (const auto& c : cases) EXPECT_EQ(InetAddr(c.text), c.value) << '"' << c.text << '"';
}

TEST(Matching, WorkedExampleSwappedDnsServers) {
    COfficeList offices;
    offices.Append(Office("Head office", Net("10.1.4.20", "255.255.0.0", "10.1.0.5", "10.1.0.10",
                                             "10.1.0.11", "10.1.0.12")));
    const auto current =
        Net("10.1.7.133", "255.255.0.0", "10.1.0.5", "10.1.0.11", "10.1.0.10", "0.0.0.0");
    const auto score = ScoreOffice(current, offices.ElementAt(0).m_network);
    EXPECT_EQ(score.tests, (std::array<bool, 7>{true, false, true, false, false, true, true}));
    EXPECT_EQ(score.count, 4);
    std::ostringstream out;
    EXPECT_EQ(FindMatchingOffice(offices, current, out), 0);
    EXPECT_EQ(out.str(), "Head office\n");
}

TEST(Matching, WorkedExamplePlaceholdersAloneReachThreeAndNaNeverEqualsAllOnes) {
    COfficeList offices;
    offices.Append(Office("Lab", Net("10.0.0.15", "255.255.255.0", "0.0.0.0", "10.0.0.1",
                                     "255.255.255.255", "0.0.0.0")));
    const auto current =
        Net("10.0.0.77", "255.255.255.0", "0.0.0.0", "10.0.0.53", "N/A", "0.0.0.0");
    EXPECT_EQ(ScoreOffice(current, offices.ElementAt(0).m_network).tests,
              (std::array<bool, 7>{true, true, true, false, false, false, false}));
    std::ostringstream out;
    EXPECT_EQ(FindMatchingOffice(offices, current, out), 0);
}

TEST(Matching, WorkedExampleTwoPointsIsNoMatchAndPrintsNothing) {
    COfficeList offices;
    offices.Append(Office("Branch", Net("192.168.1.20", "255.255.255.0", "192.168.1.1",
                                        "192.168.1.1", "255.255.255.255", "0.0.0.0")));
    const auto current =
        Net("192.168.1.57", "255.255.255.0", "192.168.1.254", "192.168.1.254", "N/A", "0.0.0.0");
    EXPECT_EQ(ScoreOffice(current, offices.ElementAt(0).m_network).count, 2);
    std::ostringstream out;
    EXPECT_EQ(FindMatchingOffice(offices, current, out), -1);
    EXPECT_EQ(out.str(), "");
}

TEST(Matching, FirstOfficeInListOrderWinsNotTheHighestScore) {
    const auto current =
        Net("10.0.0.77", "255.255.255.0", "0.0.0.0", "10.0.0.53", "N/A", "0.0.0.0");
    COfficeList offices;
    offices.Append(Office(
        "Unrelated", Net("172.16.0.1", "255.255.0.0", "1.1.1.1", "2.2.2.2", "3.3.3.3", "4.4.4.4")));
    offices.Append(
        Office("Lab", Net("10.0.0.15", "255.255.255.0", "0.0.0.0", "x", "y", "0.0.0.0")));
    offices.Append(Office(
        "Lab 2", Net("10.0.0.16", "255.255.255.0", "0.0.0.0", "10.0.0.53", "N/A", "0.0.0.0")));
    EXPECT_EQ(ScoreOffice(current, offices.ElementAt(2).m_network).count, 5);
    std::ostringstream out;
    EXPECT_EQ(FindMatchingOffice(offices, current, out), 1);
    EXPECT_EQ(out.str(), "Lab\n");

    // With the earlier one gone, the later one is chosen.
    offices.RemoveAt(1);
    EXPECT_EQ(FindMatchingOffice(offices, current, out), 1);
}

TEST(Matching, EmptyListMatchesNothing) {
    COfficeList offices;
    std::ostringstream out;
    EXPECT_EQ(FindMatchingOffice(offices, Net("1.2.3.4", "255.0.0.0", "", "", "", ""), out), -1);
    EXPECT_TRUE(out.str().empty());
    EXPECT_TRUE(ExplainMatch(offices, {}).empty());
}

TEST(Matching, GatewayNeverCounts) {
    const auto current = Net("10.0.0.1", "255.0.0.0", "a", "b", "c", "d", "10.0.0.254");
    const auto office = Net("11.0.0.1", "255.0.0.0", "e", "f", "g", "h", "10.0.0.254");
    EXPECT_EQ(ScoreOffice(current, office).count, 0);
}

TEST(Matching, CopyOfCurrentNetworkScoresAtLeastFive) {
    const auto a = Net("10.0.0.1", "255.0.0.0", "10.0.0.2", "10.0.0.3", "10.0.0.4", "10.0.0.5");
    EXPECT_EQ(ScoreOffice(a, a).count, 5);
    const auto b = Net("10.0.0.1", "255.0.0.0", "10.0.0.2", "10.0.0.3", "10.0.0.3", "10.0.0.5");
    EXPECT_EQ(ScoreOffice(b, b).count, 7);
}

TEST(Matching, NetworkPartUsesEachSidesOwnMask) {
    const auto cur = Net("10.1.4.20", "255.255.0.0", "", "", "", "");
    EXPECT_TRUE(ScoreOffice(cur, Net("10.1.200.9", "255.255.0.0", "1", "2", "3", "4")).tests[0]);
    EXPECT_FALSE(ScoreOffice(cur, Net("10.1.4.20", "255.0.0.0", "1", "2", "3", "4")).tests[0]);
    // A mask that is not an address keeps the whole address as the network part.
    EXPECT_TRUE(ScoreOffice(cur, Net("10.1.0.0", "N/A", "1", "2", "3", "4")).tests[0]);
    EXPECT_FALSE(ScoreOffice(cur, Net("10.1.4.20", "garbage", "1", "2", "3", "4")).tests[0]);
}

TEST(Matching, TextTestsAreExactBytes) {
    const auto cur = Net("1.1.1.1", "255.255.255.255", "10.1.0.5", "x", "y", "ABC");
    const auto off = Net("2.2.2.2", "255.255.255.255", "10.1.00.5", "X", "Y", "abc");
    EXPECT_EQ(ScoreOffice(cur, off).count, 0);
}

TEST(Matching, ExplainGivesOneScorePerOfficeInOrder) {
    const auto current =
        Net("10.0.0.77", "255.255.255.0", "0.0.0.0", "10.0.0.53", "N/A", "0.0.0.0");
    COfficeList offices;
    offices.Append(Office("A", Net("172.16.0.1", "255.255.0.0", "1", "2", "3", "4")));
    offices.Append(Office("B", current));
    const auto scores = ExplainMatch(offices, current);
    ASSERT_EQ(scores.size(), 2u);
    EXPECT_EQ(scores[0].count, 0);
    EXPECT_FALSE(scores[0].Matches());
    EXPECT_EQ(scores[1].count, 5);
    EXPECT_TRUE(scores[1].Matches());
}

}  // namespace
}  // namespace voldrane
