#include "engine/upload/loginexchange.h"

#include "engine/net/connection.h"
#include "engine/texts/messages.h"

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
    connect(m_connection, &TcpConnection::failed, this,
            [this](int, const QString &description) { fail(description); });
    // A close before the answer has decided can never decide.
    connect(m_connection, &TcpConnection::closedByPeer, this, [this] {
        if (m_deciding)
            fail(closedBeforeAnswerText());
    });
}

void LoginExchange::start(const Account &account)
{
    m_account = account;
    m_answer.clear();
    m_deciding = true;
    m_connection->setStallLimit(m_stallLimit);
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

QString LoginExchange::problem() const
{
    return m_connection->problem();
}

void LoginExchange::fail(const QString &reason)
{
    Q_EMIT failed(u"login "_s + m_connection->endpointText() + u": "_s + reason);
}

void LoginExchange::onAnswer()
{
    const QByteArray piece = m_connection->takeReceived();
    Q_EMIT answered(piece);
    if (!m_deciding)
        return;
    // A marker split between two pieces is found in what has arrived so far.
    m_answer.append(piece);
    const LoginOutcome outcome = scanLoginAnswer(m_answer.text());
    if (outcome == LoginOutcome::NoDecision)
        return;
    m_deciding = false;
    // The connection stays open, but its exchange is over.
    m_connection->setStallLimit(0);
    Q_EMIT decided(outcome, outcome == LoginOutcome::LoggedIn ? scanLoginCookie(m_answer.text())
                                                              : QByteArray());
}

} // namespace uplark
