#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/NotificationArea.h"

namespace voldrane {

// One icon in the notification area. Keeps the record the area needs and re-sends it, with
// the flags of each change; every change does nothing while the icon is not active.
class CTrayIcon {
  public:
    explicit CTrayIcon(platform::INotificationArea& area);
    CTrayIcon(platform::INotificationArea& area, platform::INotificationOwner* owner,
              const std::string& tip, int icon, uint32_t id);
    virtual ~CTrayIcon();
    CTrayIcon(const CTrayIcon&) = delete;
    CTrayIcon& operator=(const CTrayIcon&) = delete;

    // Adds the icon. False when there is no notification area or no owner, or the area
    // refuses it; the object then stays inactive.
    bool Create(platform::INotificationOwner* owner, const std::string& tip, int icon, uint32_t id);

    bool SetIcon(int icon);
    int GetIcon() const;
    bool SetTip(const std::string& tip);
    std::string GetTip() const;
    bool SetOwner(platform::INotificationOwner* owner);
    platform::INotificationOwner* GetOwner() const;

    void Hide();
    void Show();
    void Reinsert();
    void Remove();

    // The icon's menu. Its first entry is also what a double click (or a single activation)
    // runs. The area shows the menu itself, so it is handed over whenever it changes.
    void SetMenu(const std::vector<platform::MenuEntry>& menu);
    const std::vector<platform::MenuEntry>& GetMenu() const { return m_menu; }

    // The default answer to a notification: 0 for another icon or when there is no menu;
    // a double click or an activation sends the menu's first command to the owner.
    virtual long HandleMessage(uint32_t id, platform::NotifyEvent event);

    bool IsActive() const { return m_bActive; }
    bool IsHidden() const { return m_bHidden; }

    // Copies `text` into a tooltip field as DisplayText shows it (valid UTF-8, no control
    // characters): at most 127 bytes, cut at a character boundary, zero-terminated.
    static void CopyTip(char (&field)[platform::kTipSize], const std::string& text);

  private:
    bool Send(platform::NotifyOp op, uint32_t flags);

    platform::INotificationArea& m_area;
    bool m_bActive = false;
    bool m_bHidden = false;
    platform::NotifyIconData m_data;
    std::vector<platform::MenuEntry> m_menu;
};

}  // namespace voldrane
