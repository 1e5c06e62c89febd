#include <gtest/gtest.h>

#include "offices/COfficeNetwork.h"
#include "offices/OfficeLookup.h"
#include "offices/OfficeValues.h"

namespace voldrane {
namespace {

TEST(OfficeList, AppendReturnsOldSizeAndRemoveShifts) {
    COfficeList list;
    EXPECT_TRUE(list.IsEmpty());
    for (int i = 0; i < 3; ++i) {
        auto o = std::make_unique<COfficeNetwork>();
        o->m_strOfficeName = std::string(1, static_cast<char>('A' + i));
        EXPECT_EQ(list.Append(std::move(o)), i);
    }
    list.RemoveAt(1);
    ASSERT_EQ(list.GetSize(), 2);
    EXPECT_EQ(list.ElementAt(0).m_strOfficeName, "A");
    EXPECT_EQ(list.ElementAt(1).m_strOfficeName, "C");
}

TEST(OfficeList, NewRecordIsAllEmpty) {
    COfficeNetwork o;
    EXPECT_TRUE(o.m_strKeyName.empty() && o.m_strOfficeName.empty() &&
                o.m_strDefaultPrinter.empty());
    EXPECT_EQ(o.m_network, CNetworkSettings{});
}

// One rule wherever an office is named: the key as the store compares key names, before any
// office's name; a name only exactly, the first in list order.
TEST(OfficeList, FoundByKeyInEitherCaseThenByExactName) {
    COfficeList list;
    for (const auto& [key, name] : {std::pair{"3FF3A", "Head office"}, std::pair{"3FF3B", "3ff3a"},
                                    std::pair{"3FF3C", "Twin"}, std::pair{"3FF3D", "Twin"}}) {
        auto o = std::make_unique<COfficeNetwork>();
        o->m_strKeyName = key;
        o->m_strOfficeName = name;
        list.Append(std::move(o));
    }
    EXPECT_EQ(FindOfficeByKey(list, "3ff3b"), 1);
    EXPECT_EQ(FindOfficeByKey(list, "Twin"), -1);        // a name is no key
    EXPECT_EQ(FindOfficeByKey(list, "3FF3"), -1);        // nor is a part of one
    EXPECT_EQ(FindOfficeByKeyOrName(list, "3ff3a"), 0);  // the key wins over a name
    EXPECT_EQ(FindOfficeByKeyOrName(list, "Twin"), 2);   // the first of that name
    EXPECT_EQ(FindOfficeByKeyOrName(list, "twin"), -1);  // names exactly
    EXPECT_EQ(FindOfficeByKeyOrName(list, "Head office"), 0);
    EXPECT_EQ(FindOfficeByKeyOrName(COfficeList{}, "Twin"), -1);
}

// What add, edit and import take, by the place in the office key.
TEST(OfficeValues, EachPlaceRefusesWhatTheStoreCouldNotGiveBack) {
    EXPECT_STREQ(kOfficeValues[kOfficeNamePlace].name, "Office Name");
    EXPECT_STREQ(kOfficeValues[1].name, "IP Address");
    EXPECT_STREQ(kOfficeValues[7].name, "WINS Server");
    EXPECT_STREQ(kOfficeValues[kDefaultPrinterPlace].name, "Default Printer");
    struct {
        int place;
        std::string text;
        bool taken;
    } cases[] = {
        {0, "", false},  // a name is never empty
        {8, "", true},   // a printer may be
        {0, std::string(1023, 'x'), true},
        {0, std::string(1024, 'x'), false},
        {8, std::string(1024, 'x'), false},
        {8, std::string("a\0b", 3), false},
        {1, "192.168.1.20", true},
        {1, "192.168.01.20", false},  // the matcher would read 01 as octal
        {1, "192.168.1", false},
        {1, "256.1.1.1", false},
        {6, "N/A", true},  // DNS Server 2 as detection gives it with one DNS server
        {5, "N/A", false},
        {7, "0.0.0.0", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.place) + " " + c.text.substr(0, 20));
        EXPECT_EQ(OfficeValueProblem(c.place, c.text).empty(), c.taken);
    }
    EXPECT_EQ(OfficeValueProblem(1, std::string(50, '9')),
              "\"" + std::string(40, '9') +
                  "...\" is not a dotted-decimal IPv4 address (such as 192.168.1.20)");
}

}  // namespace
}  // namespace voldrane
