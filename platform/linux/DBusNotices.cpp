#include "platform/linux/DBusNotices.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

namespace voldrane::platform {

namespace linux_os {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
constexpr int kCallTimeoutMs = 3000;

}  // namespace

DBusNotices::DBusNotices(QDBusConnection bus) : m_bus(std::move(bus)) {
    m_bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                  SLOT(OnActionInvoked(uint, QString)));
}

void DBusNotices::Show(const std::string& text, std::function<void(Action)> acted) {
    m_acted = std::move(acted);
    // Actions only where the server draws them: asked with each notice, as the server may
    // have been replaced meanwhile.
    const QDBusMessage caps = QDBusMessage::createMethodCall(kService, kPath, kInterface,
                                                             QStringLiteral("GetCapabilities"));
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(caps, kCallTimeoutMs), this);
    const QString body = QString::fromStdString(text);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, body](QDBusPendingCallWatcher* w) {
                const QDBusPendingReply<QStringList> reply = *w;
                w->deleteLater();
                Send(body, !reply.isError() && reply.value().contains(QStringLiteral("actions")));
            });
}

void DBusNotices::Send(const QString& body, bool actions) {
    QDBusMessage m =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    const QStringList actionList =
        actions ? QStringList{QStringLiteral("undo"), QStringLiteral("Undo"),
                              QStringLiteral("settings"), QStringLiteral("Settings")}
                : QStringList{};
    m << QStringLiteral("Voldrane") << m_id << QStringLiteral("printer")
      << QStringLiteral("Voldrane") << body << actionList << QVariantMap{} << -1;
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(m, kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        const QDBusPendingReply<uint> reply = *w;
        w->deleteLater();
        if (!reply.isError()) m_id = reply.value();
    });
}

void DBusNotices::OnActionInvoked(uint id, const QString& key) {
    // Other programs' notices share the signal; only the last one of ours counts.
    if (id != m_id || !m_acted) return;
    if (key == QStringLiteral("undo")) m_acted(Action::Undo);
    if (key == QStringLiteral("settings")) m_acted(Action::Settings);
}

}  // namespace linux_os

std::unique_ptr<IDesktopNotices> CreateDesktopNotices() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return nullptr;
    return std::make_unique<linux_os::DBusNotices>(bus);
}

}  // namespace voldrane::platform
