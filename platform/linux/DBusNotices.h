#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <functional>

#include "platform/DesktopNotices.h"

namespace voldrane::platform::linux_os {

// Desktop notifications through org.freedesktop.Notifications on the session bus. Calls are
// asynchronous: a notification server that hangs must not hang the tray menu.
class DBusNotices final : public QObject, public IDesktopNotices {
    Q_OBJECT
  public:
    explicit DBusNotices(QDBusConnection bus);
    void Show(const std::string& text, std::function<void(Action)> acted) override;

  private slots:
    void OnActionInvoked(uint id, const QString& key);

  private:
    void Send(const QString& body, bool actions);

    QDBusConnection m_bus;
    uint m_id = 0;  // the server's number of the notice shown last
    std::function<void(Action)> m_acted;
};

}  // namespace voldrane::platform::linux_os
