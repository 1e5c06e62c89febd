#pragma once

#include <QObject>
#include <QPointer>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/NotificationArea.h"

#include <QMenu>
#include <QSystemTrayIcon>

namespace voldrane::platform::linux_os {

// The notification area over QSystemTrayIcon: the D-Bus StatusNotifierItem protocol when a
// tray host has registered, else the X11 (XEmbed) system tray. Qt decides which one once per
// process, at the first tray icon, so nothing here asks Qt before a tray is known to exist.
class QtNotificationArea final : public QObject, public INotificationArea {
  public:
    // `iconPath` turns a picture's resource number into its path for QIcon; empty for none.
    explicit QtNotificationArea(std::function<std::string(int)> iconPath,
                                QObject* parent = nullptr);
    ~QtNotificationArea() override;

    bool IsAvailable() override;
    bool Notify(NotifyOp op, const NotifyIconData& data) override;
    void SetMenu(uint32_t iconId, const std::vector<MenuEntry>& menu) override;

    bool WaitUntilAvailable(int timeoutMs) override;
    std::string UnavailableReason() override { return NoTrayExplanation(); }

    // The reason there is no tray, for the user: what is missing and what would help.
    static std::string NoTrayExplanation();

  private:
    struct Icon {
        INotificationOwner* owner = nullptr;
        std::unique_ptr<QSystemTrayIcon> tray;
        std::unique_ptr<QMenu> menu;
        std::vector<MenuEntry> model;
        bool added = false;
    };

    Icon& Slot(uint32_t id) { return m_icons[id]; }
    void Apply(Icon& icon, uint32_t flags, const NotifyIconData& data);
    void UpdateMenu(uint32_t id, QMenu* target, const std::vector<MenuEntry>& shown,
                    const std::vector<MenuEntry>& wanted);
    void FillMenu(uint32_t id, QMenu* target, const std::vector<MenuEntry>& entries);
    void Deliver(uint32_t id, NotifyEvent event);
    void DeliverCommand(uint32_t id, int command);
    void ShowTipAsTitle(const Icon& icon);
    bool eventFilter(QObject* watched, QEvent* event) override;

    std::function<std::string(int)> m_iconPath;
    std::map<uint32_t, Icon> m_icons;
};

// Whether a StatusNotifierWatcher with a registered host is on the session bus.
bool StatusNotifierHostPresent();
// Whether an X11 system tray owns the tray selection of the default screen.
bool XEmbedTrayPresent();

}  // namespace voldrane::platform::linux_os
