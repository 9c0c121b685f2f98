#include "desktop/seams/notifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

#include <utility>

namespace uplark {

using namespace Qt::StringLiterals;

namespace {

const QString NotificationsService = u"org.freedesktop.Notifications"_s;
const QString NotificationsPath = u"/org/freedesktop/Notifications"_s;

} // namespace

DBusNotifier::DBusNotifier(Connect connect, const QString &desktopEntry, QObject *parent)
    : Notifier(parent)
    , m_connect(std::move(connect))
    , m_desktopEntry(desktopEntry)
{
}

bool DBusNotifier::connected()
{
    if (m_connect) {
        m_bus = std::exchange(m_connect, nullptr)();
        if (m_bus.isConnected()) {
            m_bus.connect(NotificationsService, NotificationsPath, NotificationsService,
                          u"ActionInvoked"_s, this, SLOT(onActionInvoked(uint, QString)));
            m_bus.connect(NotificationsService, NotificationsPath, NotificationsService,
                          u"NotificationClosed"_s, this, SLOT(onClosed(uint, uint)));
        }
    }
    return m_bus.isConnected();
}

void DBusNotifier::notify(const QString &summary, const QString &body)
{
    if (!connected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(NotificationsService, NotificationsPath,
                                                       NotificationsService, u"Notify"_s);
    // The action "default" is what a click on the notification runs.
    const QStringList actions{u"default"_s, tr("Show Uplark")};
    const QVariantMap hints{{u"desktop-entry"_s, m_desktopEntry}};
    call << u"Uplark"_s << m_shown << m_desktopEntry << summary << body << actions << hints
         << int(-1);
    // Asynchronous: the window never waits for a server, nor for its absence.
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        const QDBusPendingReply<uint> reply = *w;
        if (!reply.isError())
            m_shown = reply.value();
        w->deleteLater();
    });
}

void DBusNotifier::setProgress(std::optional<double> fraction)
{
    if (!connected())
        return;
    QDBusMessage update =
        QDBusMessage::createSignal(u"/com/canonical/unity/launcherentry/uplark"_s,
                                   u"com.canonical.Unity.LauncherEntry"_s, u"Update"_s);
    QVariantMap properties{{u"progress-visible"_s, fraction.has_value()}};
    if (fraction)
        properties.insert(u"progress"_s, qBound(0.0, *fraction, 1.0));
    update << u"application://"_s + m_desktopEntry + u".desktop"_s << properties;
    m_bus.send(update);
}

void DBusNotifier::onActionInvoked(uint id, const QString &action)
{
    if (id == m_shown && m_shown != 0 && action == u"default")
        Q_EMIT activated();
}

void DBusNotifier::onClosed(uint id, uint)
{
    if (id == m_shown)
        m_shown = 0;
}

} // namespace uplark
