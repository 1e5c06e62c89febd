#include <gtest/gtest.h>

#include "offices/COfficeNetwork.h"

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

}  // namespace
}  // namespace voldrane
