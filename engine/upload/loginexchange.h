#pragma once

#include "engine/model/account.h"
#include "engine/net/siteaddress.h"
#include "engine/protocol/login.h"

#include <QByteArray>
#include <QObject>

namespace uplark {

class RouteTable;
class TcpConnection;

// The login on a connection of its own, as the upload chain and the account
// check both make it: the request goes out once the connection is up, and
// every piece of the answer is scanned until one decides.
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
    QString failureDetail() const;
    // Started, and no piece of the answer has decided yet.
    bool isDeciding() const { return m_deciding; }

Q_SIGNALS:
    // Every piece of the answer as it arrives, the deciding one included.
    void answered(const QByteArray &piece);
    // The first piece that decides; `cookie` is the login cookie when the
    // site let the account in.
    void decided(uplark::LoginOutcome outcome, const QByteArray &cookie);
    // The connection failed, or the site closed it before the answer decided.
    void failed();

private:
    void onAnswer();

    TcpConnection *m_connection;
    SiteAddress m_site;
    Account m_account;
    bool m_deciding = false;
};

} // namespace uplark
