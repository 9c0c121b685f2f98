#include "engine/net/routes.h"

#include <QSslConfiguration>

namespace uplark {

using namespace Qt::StringLiterals;

namespace {

QString keyOf(const QString &host, quint16 port)
{
    return host.toLower() + u':' + QString::number(port);
}

} // namespace

void RouteTable::add(const QString &host, quint16 port, const QString &toHost, quint16 toPort)
{
    m_routes.insert(keyOf(host, port), Endpoint{toHost, toPort});
}

Endpoint RouteTable::resolve(const QString &host, quint16 port) const
{
    return m_routes.value(keyOf(host, port), Endpoint{host, port});
}

void RouteTable::addAuthorities(const QList<QSslCertificate> &authorities)
{
    m_addedAuthorities += authorities;
}

QList<QSslCertificate> RouteTable::trustedAuthorities() const
{
    if (!m_systemRead) {
        m_systemAuthorities = QSslConfiguration::systemCaCertificates();
        m_systemRead = true;
    }
    return m_systemAuthorities + m_addedAuthorities;
}

} // namespace uplark
