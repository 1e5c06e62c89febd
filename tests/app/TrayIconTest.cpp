#include <gtest/gtest.h>

#include <string>

#include "app/CTrayIcon.h"
#include "tests/app/RecordingNotificationArea.h"

namespace voldrane {
namespace {

using platform::kNifIcon;
using platform::kNifMessage;
using platform::kNifTip;
using platform::MenuEntry;
using platform::NotifyEvent;
using platform::NotifyOp;
using test::RecordingNotificationArea;
using test::RecordingOwner;

constexpr uint32_t kId = 130;

std::vector<MenuEntry> TwoEntryMenu() {
    MenuEntry first;
    first.text = "Configure Networks";
    first.command = 32771;
    MenuEntry exit;
    exit.text = "Exit";
    exit.command = 57665;
    return {first, exit};
}

TEST(TrayIconTest, CreateAddsOneIconWithAllFields) {
    RecordingNotificationArea area;
    RecordingOwner owner;
    CTrayIcon icon(area);
    ASSERT_TRUE(icon.Create(&owner, "tip", 132, kId));
    ASSERT_EQ(area.calls.size(), 1u);
    const auto& c = area.calls[0];
    EXPECT_EQ(c.op, NotifyOp::Add);
    EXPECT_EQ(c.flags, kNifMessage | kNifIcon | kNifTip);
    EXPECT_EQ(c.id, kId);
    EXPECT_EQ(c.icon, 132);
    EXPECT_EQ(c.tip, "tip");
    EXPECT_EQ(c.owner, &owner);
    EXPECT_EQ(icon.GetTip(), "tip");
    EXPECT_EQ(icon.GetIcon(), 132);
}

TEST(TrayIconTest, CreateFailuresLeaveItInactiveAndChangesDoNothing) {
    struct Case {
        const char* name;
        bool available;
        bool withOwner;
        bool refuse;
        size_t expectedCalls;
    } cases[] = {
        {"no notification area", false, true, false, 0},
        {"no owner", true, false, false, 0},
        {"area refuses the icon", true, true, true, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingNotificationArea area;
        area.available = c.available;
        area.refuseAdd = c.refuse;
        RecordingOwner owner;
        CTrayIcon icon(area);
        EXPECT_FALSE(icon.Create(c.withOwner ? &owner : nullptr, "", 132, kId));
        EXPECT_FALSE(icon.IsActive());
        EXPECT_EQ(area.calls.size(), c.expectedCalls);
        EXPECT_FALSE(icon.SetIcon(136));
        EXPECT_FALSE(icon.SetTip("x"));
        EXPECT_FALSE(icon.SetOwner(&owner));
        icon.Hide();
        icon.Show();
        icon.Remove();
        EXPECT_EQ(area.calls.size(), c.expectedCalls);
        EXPECT_EQ(icon.GetTip(), "");
        EXPECT_EQ(icon.GetIcon(), 0);
    }
}

TEST(TrayIconTest, TooltipHoldsAtMost127BytesCutBetweenCharacters) {
    const std::string a126(126, 'a');
    std::string replaced42;  // 42 replacement characters of 3 bytes: 126 bytes
    for (int i = 0; i < 42; ++i) replaced42 += "\xEF\xBF\xBD";
    struct Case {
        const char* name;
        std::string text;
        std::string expected;
    } cases[] = {
        {"empty", "", ""},
        {"127 characters, all shown", std::string(127, 'x'), std::string(127, 'x')},
        {"128 characters, first 127", std::string(128, 'x'), std::string(127, 'x')},
        {"2-byte character ending at 127", a126 + "\xC3\xA9", a126},
        {"2-byte character fitting exactly", std::string(125, 'a') + "\xC3\xA9" + "zz",
         std::string(125, 'a') + "\xC3\xA9"},
        {"3-byte character across the end", std::string(125, 'a') + "\xE2\x82\xAC",
         std::string(125, 'a')},
        {"4-byte character across the end", a126 + "\xF0\x9F\x8F\xA2", a126},
        {"short text with a multibyte char", "B\xC3\xBCro", "B\xC3\xBCro"},
        // Stored names may hold any bytes; the tip stays one line of valid UTF-8.
        {"bytes that are not UTF-8", "B\xFCro\xC3", "B\xEF\xBF\xBDro\xEF\xBF\xBD"},
        {"control characters", "A\nB\tC\x1B", "A B C "},
        {"only stray continuation bytes", std::string(200, '\x80'), replaced42},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingNotificationArea area;
        RecordingOwner owner;
        CTrayIcon icon(area);
        ASSERT_TRUE(icon.Create(&owner, "", 132, kId));
        ASSERT_TRUE(icon.SetTip(c.text));
        EXPECT_EQ(area.calls.back().op, NotifyOp::Modify);
        EXPECT_EQ(area.calls.back().flags, kNifTip);
        EXPECT_EQ(area.calls.back().tip, c.expected);
        EXPECT_EQ(icon.GetTip(), c.expected);
    }
}

TEST(TrayIconTest, ShowOnAnIconNeverHiddenAddsNothing) {
    RecordingNotificationArea area;
    RecordingOwner owner;
    CTrayIcon icon(area);
    ASSERT_TRUE(icon.Create(&owner, "", 132, kId));
    icon.Show();
    icon.Show();
    EXPECT_EQ(area.Count(NotifyOp::Add), 1);
}

TEST(TrayIconTest, HideSetIconShowAddsTheNewPictureWithTheCurrentTip) {
    RecordingNotificationArea area;
    RecordingOwner owner;
    CTrayIcon icon(area);
    ASSERT_TRUE(icon.Create(&owner, "Office A", 132, kId));
    icon.Hide();
    EXPECT_TRUE(icon.IsHidden());
    EXPECT_FALSE(icon.SetIcon(136));  // the icon is out: the area has nothing to change
    icon.Show();
    ASSERT_EQ(area.calls.size(), 4u);
    EXPECT_EQ(area.calls[1].op, NotifyOp::Delete);
    EXPECT_EQ(area.calls[1].flags, kNifIcon);
    EXPECT_EQ(area.calls[2].op, NotifyOp::Modify);
    EXPECT_EQ(area.calls[3].op, NotifyOp::Add);
    EXPECT_EQ(area.calls[3].flags, kNifMessage | kNifIcon | kNifTip);
    EXPECT_EQ(area.calls[3].icon, 136);
    EXPECT_EQ(area.calls[3].tip, "Office A");
    EXPECT_EQ(area.shown[kId].icon, 136);
    EXPECT_FALSE(icon.IsHidden());
}

TEST(TrayIconTest, FailedModifyKeepsTheNewValuesForTheNextCall) {
    RecordingNotificationArea area;
    RecordingOwner owner;
    CTrayIcon icon(area);
    ASSERT_TRUE(icon.Create(&owner, "old", 132, kId));
    area.refuseModify = true;
    EXPECT_FALSE(icon.SetTip("new"));
    area.refuseModify = false;
    EXPECT_TRUE(icon.SetIcon(136));
    icon.Reinsert();
    EXPECT_EQ(area.calls.back().op, NotifyOp::Add);
    EXPECT_EQ(area.calls.back().tip, "new");
    EXPECT_EQ(area.calls.back().icon, 136);
}

TEST(TrayIconTest, RemoveTwiceMakesOneCallAndTheDestructorNoMore) {
    RecordingNotificationArea area;
    RecordingOwner owner;
    {
        CTrayIcon icon(area);
        ASSERT_TRUE(icon.Create(&owner, "", 132, kId));
        icon.Remove();
        icon.Remove();
        EXPECT_FALSE(icon.IsActive());
    }
    EXPECT_EQ(area.Count(NotifyOp::Delete), 1);
    EXPECT_EQ(area.calls.back().flags, 0u);
    EXPECT_TRUE(area.shown.empty());
}

TEST(TrayIconTest, DestructorRemovesTheIcon) {
    RecordingNotificationArea area;
    RecordingOwner owner;
    { CTrayIcon icon(area, &owner, "tip", 132, kId); }
    ASSERT_EQ(area.calls.size(), 2u);
    EXPECT_EQ(area.calls[1].op, NotifyOp::Delete);
    EXPECT_TRUE(area.shown.empty());
}

TEST(TrayIconTest, MenuIsHandedOverBeforeTheIconAndOnEveryChange) {
    RecordingNotificationArea area;
    RecordingOwner owner;
    CTrayIcon icon(area);
    icon.SetMenu(TwoEntryMenu());
    EXPECT_EQ(area.menuUpdates, 0);  // nothing to attach it to yet
    ASSERT_TRUE(icon.Create(&owner, "", 132, kId));
    EXPECT_EQ(area.menuUpdates, 1);
    EXPECT_EQ(area.menus[kId], TwoEntryMenu());
    auto changed = TwoEntryMenu();
    changed[1].enabled = false;
    icon.SetMenu(changed);
    EXPECT_EQ(area.menus[kId], changed);
}

TEST(TrayIconTest, NotificationsGetTheDefaultAnswers) {
    struct Case {
        const char* name;
        uint32_t id;
        NotifyEvent event;
        bool withMenu;
        long result;
        std::vector<int> commands;
    } cases[] = {
        {"another icon id", 131, NotifyEvent::DoubleClick, true, 0, {}},
        {"double click runs the first entry", kId, NotifyEvent::DoubleClick, true, 1, {32771}},
        {"activation runs the first entry", kId, NotifyEvent::Activate, true, 1, {32771}},
        {"double click without a menu", kId, NotifyEvent::DoubleClick, false, 0, {}},
        {"context request shows the area's menu", kId, NotifyEvent::ContextMenu, true, 1, {}},
        {"context request without a menu", kId, NotifyEvent::ContextMenu, false, 0, {}},
        {"middle click is ignored", kId, NotifyEvent::MiddleClick, true, 1, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingNotificationArea area;
        RecordingOwner owner;
        CTrayIcon icon(area);
        if (c.withMenu) icon.SetMenu(TwoEntryMenu());
        ASSERT_TRUE(icon.Create(&owner, "", 132, kId));
        const size_t before = area.calls.size();
        EXPECT_EQ(icon.HandleMessage(c.id, c.event), c.result);
        EXPECT_EQ(owner.commands, c.commands);
        EXPECT_EQ(area.calls.size(), before);  // no icon calls, no menu shown by us
    }
}

}  // namespace
}  // namespace voldrane
