#include "platform/linux/QtNotificationArea.h"

#include "platform/GuiPlatform.h"

#include <xcb/xcb.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QGuiApplication>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QThread>
#include <cstdlib>
#include <cstring>
#include <string>

namespace voldrane::platform::linux_os {

namespace {

NotifyEvent ToEvent(QSystemTrayIcon::ActivationReason reason) {
    switch (reason) {
        case QSystemTrayIcon::DoubleClick:
            return NotifyEvent::DoubleClick;
        case QSystemTrayIcon::Context:
            return NotifyEvent::ContextMenu;
        case QSystemTrayIcon::MiddleClick:
            return NotifyEvent::MiddleClick;
        case QSystemTrayIcon::Trigger:
        case QSystemTrayIcon::Unknown:
            break;
    }
    return NotifyEvent::Activate;
}

}  // namespace

bool StatusNotifierHostPresent() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface()) return false;
    const QString watcher = QStringLiteral("org.kde.StatusNotifierWatcher");
    if (!bus.interface()->isServiceRegistered(watcher).value()) return false;
    QDBusInterface props(watcher, QStringLiteral("/StatusNotifierWatcher"),
                         QStringLiteral("org.kde.StatusNotifierWatcher"), bus);
    return props.property("IsStatusNotifierHostRegistered").toBool();
}

bool XEmbedTrayPresent() {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) return false;
    int screen = 0;
    xcb_connection_t* c = xcb_connect(nullptr, &screen);
    bool present = false;
    if (!xcb_connection_has_error(c)) {
        const std::string name = "_NET_SYSTEM_TRAY_S" + std::to_string(screen);
        xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
            c, xcb_intern_atom(c, 0, static_cast<uint16_t>(name.size()), name.c_str()), nullptr);
        if (atom) {
            xcb_get_selection_owner_reply_t* owner =
                xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, atom->atom), nullptr);
            present = owner && owner->owner != XCB_WINDOW_NONE;
            std::free(owner);
            std::free(atom);
        }
    }
    xcb_disconnect(c);
    return present;
}

QtNotificationArea::QtNotificationArea(std::function<QIcon(int)> loadIcon, QObject* parent)
    : QObject(parent), m_loadIcon(std::move(loadIcon)) {}

QtNotificationArea::~QtNotificationArea() = default;

bool QtNotificationArea::IsAvailable() {
    if (StatusNotifierHostPresent()) return true;
    // Qt only falls back to the X11 tray under its xcb platform.
    return QGuiApplication::platformName() == QLatin1String("xcb") && XEmbedTrayPresent();
}

bool QtNotificationArea::WaitUntilAvailable(int timeoutMs) {
    constexpr int kStepMs = 200;
    for (int waited = 0;; waited += kStepMs) {
        if (IsAvailable()) return true;
        if (waited >= timeoutMs) return false;
        QThread::msleep(kStepMs);
    }
}

std::string QtNotificationArea::NoTrayExplanation() {
    std::string text =
        "no system tray is available: no tray host is registered on the session bus "
        "(org.kde.StatusNotifierWatcher) and no X11 system tray is running";
    const char* desktop = std::getenv("XDG_CURRENT_DESKTOP");
    if (desktop && std::strstr(desktop, "GNOME")) {
        text +=
            "\nGNOME shows tray icons only with the AppIndicator extension: install "
            "gnome-shell-extension-appindicator, enable it (gnome-extensions enable "
            "ubuntu-appindicators@ubuntu.com), log out and in again";
    }
    return text;
}

void QtNotificationArea::Apply(Icon& icon, uint32_t flags, const NotifyIconData& data) {
    icon.owner = data.owner;
    if (flags & kNifIcon) icon.tray->setIcon(m_loadIcon(data.icon));
    if (flags & kNifTip) {
        icon.tray->setToolTip(
            QString::fromUtf8(data.tip, static_cast<qsizetype>(strnlen(data.tip, kTipSize))));
    }
}

bool QtNotificationArea::Notify(NotifyOp op, const NotifyIconData& data) {
    auto it = m_icons.find(data.id);
    const bool exists = it != m_icons.end() && it->second.added;
    switch (op) {
        case NotifyOp::Add: {
            if (exists || !IsAvailable()) return false;
            Icon& icon = Slot(data.id);
            icon.tray = std::make_unique<QSystemTrayIcon>();
            Apply(icon, data.flags, data);
            if (data.flags & kNifMessage) {
                const uint32_t id = data.id;
                connect(icon.tray.get(), &QSystemTrayIcon::activated, this,
                        [this, id](QSystemTrayIcon::ActivationReason reason) {
                            Deliver(id, ToEvent(reason));
                        });
            }
            if (icon.menu) icon.tray->setContextMenu(icon.menu.get());
            icon.tray->show();
            icon.added = true;
            return true;
        }
        case NotifyOp::Modify:
            if (!exists) return false;
            Apply(it->second, data.flags, data);
            return true;
        case NotifyOp::Delete: {
            if (!exists) return false;
            Icon& icon = it->second;
            icon.tray->hide();
            // The call may come from one of the icon's own signals: let Qt finish with it.
            icon.tray.release()->deleteLater();
            icon.added = false;
            icon.owner = nullptr;
            return true;
        }
    }
    return false;
}

void QtNotificationArea::SetMenu(uint32_t iconId, const std::vector<MenuEntry>& menu) {
    Icon& icon = Slot(iconId);
    if (icon.menu && icon.model == menu) return;  // unchanged: spare the tray host an update
    icon.model = menu;
    RebuildMenu(iconId, icon);
}

void QtNotificationArea::RebuildMenu(uint32_t id, Icon& icon) {
    // A fresh menu each time: clearing a menu would leave its submenus behind.
    auto menu = std::make_unique<QMenu>();
    std::function<void(QMenu*, const std::vector<MenuEntry>&)> fill =
        [&](QMenu* target, const std::vector<MenuEntry>& entries) {
            for (const MenuEntry& e : entries) {
                switch (e.kind) {
                    case MenuEntry::Separator:
                        target->addSeparator();
                        break;
                    case MenuEntry::Submenu: {
                        QMenu* sub = target->addMenu(QString::fromStdString(e.text));
                        sub->setEnabled(e.enabled);
                        fill(sub, e.children);
                        break;
                    }
                    case MenuEntry::Command: {
                        QAction* action = target->addAction(QString::fromStdString(e.text));
                        // Only ticked entries are checkable: an unticked checkable entry
                        // would show an empty box in most styles.
                        action->setCheckable(e.checked);
                        action->setChecked(e.checked);
                        action->setEnabled(e.enabled);
                        if (e.isDefault) target->setDefaultAction(action);
                        const int command = e.command;
                        connect(action, &QAction::triggered, this,
                                [this, id, command] { DeliverCommand(id, command); });
                        break;
                    }
                }
            }
        };
    fill(menu.get(), icon.model);
    if (icon.tray) icon.tray->setContextMenu(menu.get());
    if (icon.menu) icon.menu.release()->deleteLater();  // it may be the one just closing
    icon.menu = std::move(menu);
}

// Notifications and commands reach the owner from the event loop, never from inside Qt's
// handler: the owner may open a modal dialog, or take the icon away.
void QtNotificationArea::Deliver(uint32_t id, NotifyEvent event) {
    QMetaObject::invokeMethod(
        this,
        [this, id, event] {
            auto it = m_icons.find(id);
            if (it != m_icons.end() && it->second.added && it->second.owner)
                it->second.owner->OnNotify(id, event);
        },
        Qt::QueuedConnection);
}

void QtNotificationArea::DeliverCommand(uint32_t id, int command) {
    QMetaObject::invokeMethod(
        this,
        [this, id, command] {
            auto it = m_icons.find(id);
            if (it != m_icons.end() && it->second.added && it->second.owner)
                it->second.owner->OnMenuCommand(command);
        },
        Qt::QueuedConnection);
}

}  // namespace voldrane::platform::linux_os

namespace voldrane::platform {

std::unique_ptr<INotificationArea> CreateNotificationArea(std::function<QIcon(int)> loadIcon) {
    return std::make_unique<linux_os::QtNotificationArea>(std::move(loadIcon));
}

}  // namespace voldrane::platform
