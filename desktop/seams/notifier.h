#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <optional>

namespace uplark {

// What the desktop shows of the program outside its window: a notification
// (org.freedesktop.Notifications) and the progress on the program's
// launcher (com.canonical.Unity.LauncherEntry). Both reach only what
// listens; nothing is reported when no one does.
class Notifier : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    // A notification with its one action, opening the window.
    virtual void notify(const QString &summary, const QString &body) = 0;
    // The launcher's progress, 0 to 1; nothing: no progress shown.
    virtual void setProgress(std::optional<double> fraction) = 0;

Q_SIGNALS:
    // The user clicked the notification.
    void activated();
};

// The desktop's notification server and launcher on the session bus.
class DBusNotifier : public Notifier
{
    Q_OBJECT
public:
    // `desktopEntry` is the desktop entry's file name without ".desktop".
    DBusNotifier(const QDBusConnection &bus, const QString &desktopEntry,
                 QObject *parent = nullptr);

    void notify(const QString &summary, const QString &body) override;
    void setProgress(std::optional<double> fraction) override;

private Q_SLOTS:
    void onActionInvoked(uint id, const QString &action);
    void onClosed(uint id, uint reason);

private:
    QDBusConnection m_bus;
    QString m_desktopEntry;
    uint m_shown = 0; // the id of the notification on show, 0 for none
};

} // namespace uplark
