#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace voldrane::platform {

// What the user did to an icon in the notification area.
enum class NotifyEvent {
    Activate,     // single activation: a left click on X11, Activate of a D-Bus tray host
    DoubleClick,  // left double click (X11 only; D-Bus hosts have none)
    ContextMenu,  // the user asked for the icon's menu (right button)
    MiddleClick,
};

// Receives the notifications of the icons it owns, one at a time, on the UI thread, and
// never from inside the call that added or changed the icon.
class INotificationOwner {
  public:
    virtual ~INotificationOwner() = default;
    virtual void OnNotify(uint32_t iconId, NotifyEvent event) = 0;
    // A command chosen from the icon's menu.
    virtual void OnMenuCommand(int command) = 0;
};

// Which fields of the record a call carries.
enum NotifyFlags : uint32_t {
    kNifMessage = 0x1,  // deliver notifications to the owner
    kNifIcon = 0x2,
    kNifTip = 0x4,
};

inline constexpr size_t kTipSize = 128;  // the tooltip field: 127 bytes of UTF-8 and a zero

// The one record sent with every call.
struct NotifyIconData {
    INotificationOwner* owner = nullptr;
    uint32_t id = 0;
    uint32_t flags = 0;
    int icon = 0;             // the picture's resource number; 0 for none
    char tip[kTipSize] = {};  // zero-terminated UTF-8
};

enum class NotifyOp { Add, Modify, Delete };

// One entry of an icon's menu: a command, a separator, or a submenu with its entries.
struct MenuEntry {
    enum Kind { Command, Separator, Submenu } kind = Command;
    std::string text;
    int command = 0;
    bool checked = false;
    bool enabled = true;
    bool isDefault = false;  // shown in bold where the tray can show it
    std::vector<MenuEntry> children;

    bool operator==(const MenuEntry&) const = default;
};

// The desktop's notification area: icons with a picture, a tooltip and a menu.
class INotificationArea {
  public:
    virtual ~INotificationArea() = default;

    // Whether an area exists now (a tray host has registered, or an X11 tray is running).
    virtual bool IsAvailable() = 0;
    // Waits up to `timeoutMs` for an area to appear (at login the program may start before
    // the panel). True as soon as one is there.
    virtual bool WaitUntilAvailable(int timeoutMs) {
        (void)timeoutMs;
        return IsAvailable();
    }
    // Why there is no area, for the user: what is missing and what would help.
    virtual std::string UnavailableReason() { return "no system tray is available"; }

    // Add: a new icon under `data.id` (fails when the id is taken or no area exists).
    // Modify: changes the fields named by `data.flags` (the owner always) of an added icon.
    // Delete: takes the icon out. Each fails for an id that was not added.
    virtual bool Notify(NotifyOp op, const NotifyIconData& data) = 0;

    // The menu the icon shows when asked for it. It must be set in advance: some trays show
    // it without asking the program. Commands come back through the owner's OnMenuCommand.
    virtual void SetMenu(uint32_t iconId, const std::vector<MenuEntry>& menu) = 0;
};

}  // namespace voldrane::platform
