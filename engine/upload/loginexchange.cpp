#include "engine/upload/loginexchange.h"

#include "engine/net/connection.h"

using namespace Qt::StringLiterals;

namespace uplark {

LoginExchange::LoginExchange(const RouteTable &routes, const SiteAddress &site, QObject *parent)
    : QObject(parent)
    , m_connection(new TcpConnection(routes, this))
    , m_site(site)
{
    m_connection->setObjectName(u"loginConnection"_s);
    connect(m_connection, &TcpConnection::connected, this, [this] {
        m_connection->send(loginRequest(m_site.authority, m_account.user, m_account.password));
    });
    connect(m_connection, &TcpConnection::dataArrived, this, &LoginExchange::onAnswer);
    connect(m_connection, &TcpConnection::failed, this, &LoginExchange::failed);
    // A close before the answer has decided can never decide.
    connect(m_connection, &TcpConnection::closedByPeer, this, [this] {
        if (m_deciding)
            Q_EMIT failed();
    });
}

void LoginExchange::start(const Account &account)
{
    m_account = account;
    m_deciding = true;
    m_connection->connectTo(m_site.host, m_site.port, m_site.tls);
}

void LoginExchange::close()
{
    m_deciding = false;
    m_connection->close();
}

bool LoginExchange::isConnected() const
{
    return m_connection->isConnected();
}

QString LoginExchange::failureDetail() const
{
    return m_connection->failureDetail();
}

void LoginExchange::onAnswer()
{
    const QByteArray piece = m_connection->takeReceived();
    Q_EMIT answered(piece);
    if (!m_deciding)
        return;
    const LoginOutcome outcome = scanLoginAnswer(piece);
    if (outcome == LoginOutcome::NoDecision)
        return;
    m_deciding = false;
    Q_EMIT decided(outcome,
                   outcome == LoginOutcome::LoggedIn ? scanLoginCookie(piece) : QByteArray());
}

} // namespace uplark
