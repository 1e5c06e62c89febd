// The Win32 shell's notification area and balloons, with the shell's two calls recorded: what
// the icon tells Explorer, which owner gets which event, and the popup built from the model.
#include <gtest/gtest.h>

#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

#include "platform/NotificationArea.h"
#include "ui/win32/CBalloonNotices.h"
#include "ui/win32/CFrameWindow.h"
#include "ui/win32/CNotificationArea.h"

namespace voldrane::win32 {
namespace {

using platform::MenuEntry;
using platform::NotifyEvent;

struct Recorded {
    DWORD message;
    NOTIFYICONDATAW data;
};

// One line per entry: "id text", "  " per submenu level, [x] ticked, [d] default, [-] disabled.
void Describe(HMENU menu, const std::string& indent, std::vector<std::string>& out) {
    const int count = GetMenuItemCount(menu);
    const UINT def = GetMenuDefaultItem(menu, FALSE, 0);
    for (int i = 0; i < count; ++i) {
        wchar_t text[256] = {};
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_ID | MIIM_STATE | MIIM_SUBMENU | MIIM_FTYPE | MIIM_STRING;
        info.dwTypeData = text;
        info.cch = 255;
        GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info);
        if (info.fType & MFT_SEPARATOR) {
            out.push_back(indent + "---");
            continue;
        }
        std::string line = indent;
        if (!info.hSubMenu) line += std::to_string(info.wID) + " ";
        for (const wchar_t* c = text; *c; ++c) line += static_cast<char>(*c < 128 ? *c : '?');
        if (info.fState & MFS_CHECKED) line += " [x]";
        if (!info.hSubMenu && info.wID == def) line += " [d]";
        if (info.fState & MFS_DISABLED) line += " [-]";
        out.push_back(line);
        if (info.hSubMenu) Describe(info.hSubMenu, indent + "  ", out);
    }
}

class Owner final : public platform::INotificationOwner {
  public:
    void OnNotify(uint32_t iconId, NotifyEvent event) override {
        events.push_back("notify " + std::to_string(iconId) + " " +
                         std::to_string(static_cast<int>(event)));
        if (event == NotifyEvent::ContextMenu && onContextMenu) onContextMenu();
    }
    void OnMenuCommand(int command) override {
        events.push_back("command " + std::to_string(command));
    }
    std::vector<std::string> events;
    std::function<void()> onContextMenu;
};

MenuEntry Command(const std::string& text, int id, bool checked = false) {
    MenuEntry e;
    e.text = text;
    e.command = id;
    e.checked = checked;
    return e;
}

// A frame's model: the default entry, a submenu with a ticked and a disabled office, Exit.
std::vector<MenuEntry> Model() {
    MenuEntry configure = Command("Configure Networks", 32771);
    configure.isDefault = true;
    MenuEntry use;
    use.kind = MenuEntry::Submenu;
    use.text = "Use Network";
    use.children = {Command("Auto-Detect", 32773), Command("Office A", 32774, true),
                    Command("Office B", 32775)};
    use.children.back().enabled = false;
    MenuEntry separator;
    separator.kind = MenuEntry::Separator;
    return {configure, use, separator, Command("Exit", 57665)};
}

class Win32Shell : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(window.Create(GetModuleHandleW(nullptr), nullptr));
        ShellCalls calls;
        calls.notifyIcon = [this](DWORD message, NOTIFYICONDATAW* data) {
            recorded.push_back({message, *data});
            return TRUE;
        };
        calls.trackPopup = [this](HMENU popup, int, int, HWND) {
            shown.emplace_back();
            Describe(popup, "", shown.back());
        };
        area =
            std::make_unique<CNotificationArea>(window.Handle(), GetModuleHandleW(nullptr), calls);
        window.SetArea(area.get());
    }
    void TearDown() override { window.SetArea(nullptr); }

    void Add(const char* tip) {
        platform::NotifyIconData data;
        data.owner = &owner;
        data.id = 130;
        data.flags = platform::kNifMessage | platform::kNifIcon | platform::kNifTip;
        data.icon = 132;
        std::snprintf(data.tip, sizeof data.tip, "%s", tip);
        ASSERT_TRUE(area->Notify(platform::NotifyOp::Add, data));
    }
    void Tray(UINT event, UINT id = 130) {
        SendMessageW(window.Handle(), WM_TRAYNOTIFY, MAKEWPARAM(10, 20), MAKELPARAM(event, id));
    }

    // What the area's calls record into outlives the area, whose end deletes its icons.
    std::vector<Recorded> recorded;
    std::vector<std::vector<std::string>> shown;
    Owner owner;
    CFrameWindow window;
    std::unique_ptr<CNotificationArea> area;
};

TEST_F(Win32Shell, AddsAVersion4IconWithItsTipAndPassesItsEventsToTheOwner) {
    Add("B\xC3\xBCro A");
    ASSERT_EQ(recorded.size(), 2u);
    EXPECT_EQ(recorded[0].message, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(recorded[0].data.uFlags,
              static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_SHOWTIP));
    EXPECT_EQ(recorded[0].data.uCallbackMessage, static_cast<UINT>(WM_USER + 10));
    EXPECT_EQ(recorded[0].data.uID, 130u);
    EXPECT_EQ(std::wstring(recorded[0].data.szTip), L"B\u00FCro A");
    EXPECT_NE(recorded[0].data.hIcon, nullptr);
    EXPECT_EQ(recorded[1].message, static_cast<DWORD>(NIM_SETVERSION));
    EXPECT_EQ(recorded[1].data.uVersion, static_cast<UINT>(NOTIFYICON_VERSION_4));

    Tray(WM_LBUTTONDBLCLK);
    Tray(NIN_SELECT);             // the first click of a double click: nothing
    Tray(WM_LBUTTONDBLCLK, 131);  // another icon's: nothing
    Tray(NIN_KEYSELECT);
    // Scripts send the menu's commands straight to the frame window.
    SendMessageW(window.Handle(), WM_COMMAND, 32774, 0);
    EXPECT_EQ(owner.events,
              (std::vector<std::string>{"notify 130 1", "notify 130 0", "command 32774"}));
    EXPECT_TRUE(shown.empty());
}

TEST_F(Win32Shell, ARightClickShowsTheMenuTheOwnerHasJustBroughtUpToDate) {
    area->SetMenu(130, {Command("stale", 1)});
    Add("");
    owner.onContextMenu = [this] { area->SetMenu(130, Model()); };
    Tray(WM_CONTEXTMENU);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], (std::vector<std::string>{"32771 Configure Networks [d]", "Use Network",
                                                  "  32773 Auto-Detect", "  32774 Office A [x]",
                                                  "  32775 Office B [-]", "---", "57665 Exit"}));
}

TEST_F(Win32Shell, ExplorersRestartGetsTheIconBackAsItStands) {
    Add("first");
    platform::NotifyIconData data;
    data.owner = &owner;
    data.id = 130;
    data.flags = platform::kNifTip;
    std::snprintf(data.tip, sizeof data.tip, "%s", "Office B");
    ASSERT_TRUE(area->Notify(platform::NotifyOp::Modify, data));
    recorded.clear();
    SendMessageW(window.Handle(), RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    ASSERT_EQ(recorded.size(), 2u);
    EXPECT_EQ(recorded[0].message, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(std::wstring(recorded[0].data.szTip), L"Office B");
    EXPECT_EQ(recorded[1].message, static_cast<DWORD>(NIM_SETVERSION));

    // A deleted icon does not come back.
    ASSERT_TRUE(area->Notify(platform::NotifyOp::Delete, data));
    recorded.clear();
    SendMessageW(window.Handle(), RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_TRUE(recorded.empty());
}

TEST_F(Win32Shell, ABalloonClickOpensTheSettingsAndUndoIsInTheMenuOnce) {
    Add("");
    area->SetMenu(130, Model());
    CBalloonNotices notices(*area, 130);
    std::vector<int> acted;
    notices.Show(
        "Office B: qb is now your default printer",
        [&](platform::IDesktopNotices::Action a) { acted.push_back(static_cast<int>(a)); });
    ASSERT_EQ(recorded.back().message, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_EQ(recorded.back().data.uFlags, static_cast<UINT>(NIF_INFO));
    EXPECT_EQ(std::wstring(recorded.back().data.szInfo).rfind(L"Office B: qb is now", 0), 0u);

    Tray(NIN_BALLOONUSERCLICK);
    EXPECT_EQ(acted,
              (std::vector<int>{static_cast<int>(platform::IDesktopNotices::Action::Settings)}));

    Tray(WM_CONTEXTMENU);
    ASSERT_EQ(shown.size(), 1u);
    ASSERT_EQ(shown[0].size(), 8u);
    EXPECT_EQ(shown[0][5], "32990 Undo Printer Switch");  // after Use Network's three
    SendMessageW(window.Handle(), WM_COMMAND, ID_UNDO_SWITCH, 0);
    SendMessageW(window.Handle(), WM_COMMAND, ID_UNDO_SWITCH, 0);  // gone: the owner's now
    EXPECT_EQ(acted,
              (std::vector<int>{static_cast<int>(platform::IDesktopNotices::Action::Settings),
                                static_cast<int>(platform::IDesktopNotices::Action::Undo)}));
    EXPECT_EQ(owner.events.back(), "command 32990");
    Tray(WM_CONTEXTMENU);
    EXPECT_EQ(shown.back().size(), 7u);  // no Undo any more
}

}  // namespace
}  // namespace voldrane::win32
