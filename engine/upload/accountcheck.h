#pragma once

#include "engine/net/siteaddress.h"

#include <QObject>
#include <QString>

namespace uplark {

class RouteTable;
class TcpConnection;

// What the site said of an account.
enum class AccountCheckResult {
    Accepted,
    TooManyFailures, // "You had too many"
    CheckYour,       // "Please check your"
    Incorrect,       // "Sorry, your login was incorrect."
    ConnectionError,
};

// The message that tells the user about a rejection or a connection error;
// empty for an accepted account.
QString accountCheckMessage(AccountCheckResult result);

// Checks an account against the site with one login exchange on a
// connection of its own: the login request goes out once the connection is
// up, and every piece of the answer is scanned until one decides. The
// connection is closed before `finished` is emitted.
class AccountCheck : public QObject
{
    Q_OBJECT
public:
    // Checks against the build's site address.
    explicit AccountCheck(const RouteTable &routes, QObject *parent = nullptr);
    // Checks against the site at `site`.
    AccountCheck(const RouteTable &routes, const SiteAddress &site, QObject *parent = nullptr);
    ~AccountCheck() override;

    // Connects to the site and sends the login for these exact texts.
    void start(const QString &user, const QString &password);
    // Ends a check under way; nothing is reported.
    void abort();
    bool isRunning() const { return m_running; }

Q_SIGNALS:
    void finished(uplark::AccountCheckResult result);

private:
    void onConnected();   // Winsock1_Connect
    void onLoginAnswer(); // Winsock1_DataArrival
    void finish(AccountCheckResult result);

    TcpConnection *m_connection; // Winsock1
    SiteAddress m_site;
    QString m_user;
    QString m_password;
    bool m_running = false;
};

} // namespace uplark
