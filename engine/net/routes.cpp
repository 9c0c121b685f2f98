#include "engine/net/routes.h"

#include <QFile>
#include <QSslConfiguration>

namespace uplark {

using namespace Qt::StringLiterals;

namespace {

QString keyOf(const QString &host, quint16 port)
{
    return host.toLower() + u':' + QString::number(port);
}

// The system's authorities: from its bundle file where there is one (the
// file libcurl reads too on Debian), which holds each of them once; else as
// Qt finds them in the system's folders, where each stands twice (the file
// and its hash link) and takes twice the parsing.
QList<QSslCertificate> systemAuthorities()
{
    const QString bundle = u"/etc/ssl/certs/ca-certificates.crt"_s;
    if (QFile::exists(bundle)) {
        const QList<QSslCertificate> found = QSslCertificate::fromPath(bundle);
        if (!found.isEmpty())
            return found;
    }
    return QSslConfiguration::systemCaCertificates();
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
    if (!m_systemAuthorities.valid())
        m_systemAuthorities = std::async(std::launch::async, systemAuthorities).share();
}

QList<QSslCertificate> RouteTable::trustedAuthorities() const
{
    if (!m_systemAuthorities.valid())
        return systemAuthorities();
    return m_systemAuthorities.get() + m_addedAuthorities;
}

} // namespace uplark
