#include "engine/upload/accountcheck.h"

#include "engine/net/connection.h"
#include "engine/protocol/login.h"

#include <QCoreApplication>

using namespace Qt::StringLiterals;

namespace uplark {

QString accountCheckMessage(AccountCheckResult result)
{
    switch (result) {
    case AccountCheckResult::Accepted:
        return {};
    case AccountCheckResult::TooManyFailures:
        return QCoreApplication::translate(
            "uplark::AccountCheck",
            "You had too many login failures. Please wait before trying to login again.");
    case AccountCheckResult::CheckYour:
        return QCoreApplication::translate("uplark::AccountCheck",
                                           "Please check your username or password.");
    case AccountCheckResult::Incorrect:
        return QCoreApplication::translate("uplark::AccountCheck",
                                           "Sorry, your login was incorrect.");
    case AccountCheckResult::ConnectionError:
        return QCoreApplication::translate("uplark::AccountCheck", "Connection error!");
    }
    return {};
}

AccountCheck::AccountCheck(const RouteTable &routes, QObject *parent)
    : AccountCheck(routes, defaultSiteAddress(), parent)
{
}

AccountCheck::AccountCheck(const RouteTable &routes, const SiteAddress &site, QObject *parent)
    : QObject(parent)
    , m_connection(new TcpConnection(routes, this))
    , m_site(site)
{
    m_connection->setObjectName(u"loginConnection"_s);
    connect(m_connection, &TcpConnection::connected, this, &AccountCheck::onConnected);
    connect(m_connection, &TcpConnection::dataArrived, this, &AccountCheck::onLoginAnswer);
    connect(m_connection, &TcpConnection::failed, this,
            [this] { finish(AccountCheckResult::ConnectionError); });
    // A close before the answer has decided can never decide.
    connect(m_connection, &TcpConnection::closedByPeer, this, [this] {
        if (m_running)
            finish(AccountCheckResult::ConnectionError);
    });
}

AccountCheck::~AccountCheck() = default;

void AccountCheck::start(const QString &user, const QString &password)
{
    m_user = user;
    m_password = password;
    m_running = true;
    m_connection->connectTo(m_site.host, m_site.port);
}

void AccountCheck::abort()
{
    m_running = false;
    m_connection->close();
}

void AccountCheck::onConnected()
{
    m_connection->send(loginRequest(m_site.authority, m_user, m_password));
}

void AccountCheck::onLoginAnswer()
{
    switch (scanLoginAnswer(m_connection->takeReceived())) {
    case LoginOutcome::NoDecision:
        return;
    case LoginOutcome::TooManyFailures:
        finish(AccountCheckResult::TooManyFailures);
        return;
    case LoginOutcome::CheckYour:
        finish(AccountCheckResult::CheckYour);
        return;
    case LoginOutcome::Incorrect:
        finish(AccountCheckResult::Incorrect);
        return;
    case LoginOutcome::LoggedIn:
        finish(AccountCheckResult::Accepted);
        return;
    }
}

void AccountCheck::finish(AccountCheckResult result)
{
    m_running = false;
    m_connection->close();
    Q_EMIT finished(result);
}

} // namespace uplark
