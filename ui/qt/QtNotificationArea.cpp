#include "ui/qt/QtNotificationArea.h"

#include "platform/GuiPlatform.h"

#include <xcb/xcb.h>

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QEvent>
#include <QGuiApplication>
#include <QIcon>
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

QtNotificationArea::QtNotificationArea(std::function<std::string(int)> iconPath, QObject* parent)
    : QObject(parent), m_iconPath(std::move(iconPath)) {
    if (qApp) qApp->installEventFilter(this);
}

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
    if (flags & kNifIcon) {
        const std::string path = m_iconPath(data.icon);
        icon.tray->setIcon(path.empty() ? QIcon() : QIcon(QString::fromStdString(path)));
    }
    if (flags & kNifTip) {
        icon.tray->setToolTip(
            QString::fromUtf8(data.tip, static_cast<qsizetype>(strnlen(data.tip, kTipSize))));
        ShowTipAsTitle(icon);
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
            ShowTipAsTitle(icon);
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
    if (!icon.menu) {
        // One menu for the icon's whole life: D-Bus tray hosts read its layout once and
        // follow only the changes it announces; a new menu would leave them showing the old
        // one, whose clicks reach nothing.
        icon.menu = std::make_unique<QMenu>();
        if (icon.tray) icon.tray->setContextMenu(icon.menu.get());
    }
    // Compared with what the menu shows, not only with the last model: Qt flips the tick of
    // a checkable entry itself when it is clicked.
    UpdateMenu(iconId, icon.menu.get(), icon.model, menu);
    icon.model = menu;
}

namespace {

// Whether the menu can be changed in place from `shown` to `wanted`: the same entries in the
// same places, differing in their texts at most. Over D-Bus an entry that loses its tick or
// becomes enabled loses a property instead of changing it, and hosts keep what they have: so
// those changes lay the menu out anew, which makes hosts read all of it again.
bool SameShape(const std::vector<MenuEntry>& shown, const std::vector<MenuEntry>& wanted) {
    if (shown.size() != wanted.size()) return false;
    for (size_t i = 0; i < shown.size(); ++i) {
        const MenuEntry& a = shown[i];
        const MenuEntry& b = wanted[i];
        if (a.kind != b.kind || a.enabled != b.enabled) return false;
        if (a.kind == MenuEntry::Command &&
            (a.command != b.command || a.checked != b.checked || a.isDefault != b.isDefault))
            return false;
    }
    return true;
}

void ShowEntry(QMenu* target, QAction* action, const MenuEntry& e) {
    action->setText(QString::fromStdString(e.text));
    // Only ticked entries are checkable: an unticked checkable entry would show an empty
    // box in most styles.
    action->setCheckable(e.checked);
    action->setChecked(e.checked);
    action->setEnabled(e.enabled);
    if (e.isDefault) target->setDefaultAction(action);
}

// Empties a menu, submenus included: clear() alone leaves them behind, still exported.
void EmptyMenu(QMenu* target) {
    for (QAction* action : target->actions()) {
        if (QMenu* sub = action->menu()) {
            EmptyMenu(sub);
            sub->deleteLater();  // it may be the one just closing
        }
    }
    target->clear();
}

}  // namespace

void QtNotificationArea::UpdateMenu(uint32_t id, QMenu* target, const std::vector<MenuEntry>& shown,
                                    const std::vector<MenuEntry>& wanted) {
    const QList<QAction*> actions = target->actions();
    if (!SameShape(shown, wanted) || actions.size() != static_cast<qsizetype>(wanted.size())) {
        EmptyMenu(target);
        FillMenu(id, target, wanted);
        return;
    }
    for (size_t i = 0; i < wanted.size(); ++i) {
        const MenuEntry& e = wanted[i];
        QAction* action = actions[static_cast<qsizetype>(i)];
        switch (e.kind) {
            case MenuEntry::Separator:
                break;
            case MenuEntry::Submenu:
                action->setText(QString::fromStdString(e.text));
                UpdateMenu(id, action->menu(), shown[i].children, e.children);
                break;
            case MenuEntry::Command:
                ShowEntry(target, action, e);
                break;
        }
    }
}

void QtNotificationArea::FillMenu(uint32_t id, QMenu* target,
                                  const std::vector<MenuEntry>& entries) {
    for (const MenuEntry& e : entries) {
        switch (e.kind) {
            case MenuEntry::Separator:
                target->addSeparator();
                break;
            case MenuEntry::Submenu: {
                QMenu* sub = target->addMenu(QString::fromStdString(e.text));
                sub->setEnabled(e.enabled);
                FillMenu(id, sub, e.children);
                break;
            }
            case MenuEntry::Command: {
                QAction* action = target->addAction(QString());
                ShowEntry(target, action, e);
                const int command = e.command;
                connect(action, &QAction::triggered, this, [this, id, command, action] {
                    // Qt has flipped the tick already; the owner decides what is ticked.
                    action->setChecked(action->isCheckable());
                    DeliverCommand(id, command);
                });
                break;
            }
        }
    }
}

void QtNotificationArea::ShowTipAsTitle(const Icon& icon) {
    // Some X11 trays (lxqt-panel's) show the icon window's title on hover instead of the
    // tooltip: let the title say the same. Qt names that window, which it alone creates.
    if (!icon.tray) return;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == QLatin1String("QSystemTrayIconSys"))
            w->setWindowTitle(icon.tray->toolTip());
    }
}

bool QtNotificationArea::eventFilter(QObject* watched, QEvent* event) {
    // The tray's window comes and goes with the X11 tray: give each new one the title.
    if (event->type() == QEvent::Show &&
        watched->objectName() == QLatin1String("QSystemTrayIconSys")) {
        for (const auto& [id, icon] : m_icons) {
            if (icon.added) ShowTipAsTitle(icon);
        }
    }
    return QObject::eventFilter(watched, event);
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

std::unique_ptr<INotificationArea> CreateNotificationArea(
    std::function<std::string(int)> iconPath) {
    return std::make_unique<linux_os::QtNotificationArea>(std::move(iconPath));
}

}  // namespace voldrane::platform
