#pragma once

#include "engine/model/account.h"
#include "engine/net/siteaddress.h"
#include "engine/protocol/login.h"
#include "engine/protocol/receivedanswer.h"

#include <QByteArray>
#include <QObject>

namespace uplark {

class RouteTable;
class TcpConnection;

// The login on a connection of its own, as the upload chain and the account
// check both make it: the request goes out once the connection is up, and
// the answer, as far as it has arrived, is scanned after every piece until
// it decides.
class LoginExchange : public QObject
{
    Q_OBJECT
public:
    LoginExchange(const RouteTable &routes, const SiteAddress &site, QObject *parent = nullptr);

    // Connects to the site and sends the login for these exact texts; a
    // login under way is dropped first.
    void start(const Account &account);
    // Ends the connection; nothing is reported after it.
    void close();
    bool isConnected() const;
    // After `failed`: what the user is to be told beyond a connection error
    // (a refused certificate, a proxy); empty for the others.
    QString problem() const;
    // Started, and the answer has not decided yet.
    bool isDeciding() const { return m_deciding; }

    // The longest time no byte may move on the connection until the answer
    // decides (0: no limit); it applies from the next start().
    void setStallLimit(int milliseconds) { m_stallLimit = milliseconds; }

Q_SIGNALS:
    // Every piece of the answer as it arrives, the deciding one included.
    void answered(const QByteArray &piece);
    // The answer has decided; `cookie` is the login cookie when the site let
    // the account in.
    void decided(uplark::LoginOutcome outcome, const QByteArray &cookie);
    // The connection failed, or the site closed it before the answer
    // decided: "login HOST:PORT: " and why.
    void failed(const QString &detail);

private:
    void onAnswer();
    void fail(const QString &reason);

    TcpConnection *m_connection;
    SiteAddress m_site;
    Account m_account;
    ReceivedAnswer m_answer;
    int m_stallLimit = 0;
    bool m_deciding = false;
};

} // namespace uplark
