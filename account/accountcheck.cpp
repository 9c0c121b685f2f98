#include "account/accountcheck.h"

#include "site/connection.h"
#include "site/login.h"

using namespace Qt::StringLiterals;

namespace uplark {

QString AccountCheckMessage(AccountCheckResult result)
{
    switch (result) {
    case AccountCheckResult::Accepted:
        return {};
    case AccountCheckResult::TooManyFailures:
        return u"You had too many login failures. Please wait before trying to login again."_s;
    case AccountCheckResult::CheckYour:
        return u"Please check your username or password."_s;
    case AccountCheckResult::Incorrect:
        return u"Sorry, your login was incorrect."_s;
    case AccountCheckResult::ConnectionError:
        return u"Connection error!"_s;
    }
    return {};
}

AccountCheck::AccountCheck(const RouteTable &routes, QObject *parent)
    : AccountCheck(routes, DefaultSiteAddress(), parent)
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
    m_connection->send(LoginRequest(m_site.authority, m_user, m_password));
}

void AccountCheck::onLoginAnswer()
{
    switch (ScanLoginAnswer(m_connection->takeReceived())) {
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
