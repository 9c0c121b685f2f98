#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <functional>
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

// The desktop's notification server and launcher on the session bus. The
// bus is connected to when first needed, not at start.
class DBusNotifier : public Notifier
{
    Q_OBJECT
public:
    using Connect = std::function<QDBusConnection()>;
    // `desktopEntry` is the desktop entry's file name without ".desktop".
    DBusNotifier(Connect connect, const QString &desktopEntry, QObject *parent = nullptr);

    void notify(const QString &summary, const QString &body) override;
    void setProgress(std::optional<double> fraction) override;

private Q_SLOTS:
    void onActionInvoked(uint id, const QString &action);
    void onClosed(uint id, uint reason);

private:
    // The bus, connected on the first call; false where there is none.
    bool connected();

    Connect m_connect;
    QDBusConnection m_bus{QString()};
    QString m_desktopEntry;
    uint m_shown = 0; // the id of the notification on show, 0 for none
};

} // namespace uplark
