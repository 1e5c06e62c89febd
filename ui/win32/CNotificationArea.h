#pragma once

#include <windows.h>

#include <shellapi.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/NotificationArea.h"

namespace voldrane::win32 {

// The callback message of the program's icons: the shell sends it to the frame window.
inline constexpr UINT WM_TRAYNOTIFY = WM_USER + 10;

// The popup for a menu model: commands, separators and submenus, ticks, disabled entries and
// the bold default entry. The caller destroys it.
HMENU BuildPopupMenu(const std::vector<platform::MenuEntry>& menu);

// The two shell calls the area makes; tests record them instead.
struct ShellCalls {
    std::function<BOOL(DWORD message, NOTIFYICONDATAW* data)> notifyIcon;
    // Shows the popup at a point for its owner window, until the user closes it.
    std::function<void(HMENU popup, int x, int y, HWND owner)> trackPopup;
};
// Shell_NotifyIconW, and TrackPopupMenu as a notification-area menu needs it.
ShellCalls SystemShell();

// Explorer's notification area (Shell_NotifyIconW, NOTIFYICON_VERSION_4) for icons whose
// notifications go to one hidden window. That window passes its callback messages, its
// WM_COMMANDs and the "TaskbarCreated" broadcast on to this object.
class CNotificationArea final : public platform::INotificationArea {
  public:
    // `window` receives the notifications; icons are loaded from `resources` by number.
    CNotificationArea(HWND window, HINSTANCE resources, ShellCalls shell = SystemShell());
    ~CNotificationArea() override;
    CNotificationArea(const CNotificationArea&) = delete;
    CNotificationArea& operator=(const CNotificationArea&) = delete;

    bool IsAvailable() override;
    bool WaitUntilAvailable(int timeoutMs) override;
    std::string UnavailableReason() override;
    bool Notify(platform::NotifyOp op, const platform::NotifyIconData& data) override;
    void SetMenu(uint32_t iconId, const std::vector<platform::MenuEntry>& menu) override;

    // The window's callback message: what the user did to an icon.
    void OnCallback(WPARAM wParam, LPARAM lParam);
    // A WM_COMMAND: from the popup, or sent by a script. Goes to the extra entries' handler
    // when it is one of theirs, else to the owner of the first icon.
    void OnCommand(int command);
    // Explorer started again (or its notification area did): every icon is added anew.
    void OnTaskbarCreated();

    // Shows a balloon on an added icon; `clicked` runs when the user clicks it (replacing the
    // handler of the balloon before).
    bool ShowBalloon(uint32_t iconId, const std::string& title, const std::string& text,
                     std::function<void()> clicked);

    // Entries the popup shows after the model's first two (the program's own, such as the
    // undo of a switch), and who carries out their commands. Empty: none.
    void SetExtraEntries(std::vector<platform::MenuEntry> entries, std::function<void(int)> chosen);

    // The popup as it shows for an icon now: its menu with the extra entries.
    std::vector<platform::MenuEntry> MenuToShow(uint32_t iconId) const;

  private:
    HICON LoadSmallIcon(int resource);
    void FreeIcons();
    bool Add(const platform::NotifyIconData& data);
    void ShowMenu(uint32_t id, int x, int y);
    NOTIFYICONDATAW Record(const platform::NotifyIconData& data, uint32_t flags);

    HWND m_window;
    HINSTANCE m_resources;
    ShellCalls m_shell;
    std::map<uint32_t, platform::NotifyIconData> m_icons;  // the added ones, as last sent
    std::map<uint32_t, std::vector<platform::MenuEntry>> m_menus;
    std::map<int, HICON> m_loaded;  // by resource number, at the small icon size
    std::function<void()> m_balloonClicked;
    std::vector<platform::MenuEntry> m_extraEntries;
    std::function<void(int)> m_extraChosen;
};

}  // namespace voldrane::win32
