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
    if (!m_systemAuthorities.valid()) {
        m_systemAuthorities =
            std::async(std::launch::async, [] { return QSslConfiguration::systemCaCertificates(); })
                .share();
    }
}

QList<QSslCertificate> RouteTable::trustedAuthorities() const
{
    if (!m_systemAuthorities.valid())
        return QSslConfiguration::systemCaCertificates();
    return m_systemAuthorities.get() + m_addedAuthorities;
}

} // namespace uplark
