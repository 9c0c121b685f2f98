#pragma once

#include "engine/net/proxy.h"

#include <QHash>
#include <QList>
#include <QSslCertificate>
#include <QString>

#include <future>

namespace uplark {

// Where a connection to (host, port) really goes. The program uses no entries,
// so every connection goes where it is asked to; tests point the site's host
// at a server on an ephemeral local port.
struct Endpoint
{
    QString host;
    quint16 port = 0;
    bool operator==(const Endpoint &) const = default;
};

// The route table also carries how every connection of the program is
// made: the proxies it passes through, and the certificate authorities a
// TLS connection trusts (the system's, and those added with --cacert).
class RouteTable
{
public:
    void add(const QString &host, quint16 port, const QString &toHost, quint16 toPort);
    // The endpoint to connect to; (host, port) itself when no entry matches.
    // Host names compare without regard to case.
    Endpoint resolve(const QString &host, quint16 port) const;
    bool isEmpty() const { return m_routes.isEmpty(); }

    void setProxies(const ProxySettings &proxies) { m_proxies = proxies; }
    const ProxySettings &proxies() const { return m_proxies; }

    // Authorities trusted beside the system's.
    void addAuthorities(const QList<QSslCertificate> &authorities);
    QList<QSslCertificate> addedAuthorities() const { return m_addedAuthorities; }
    // The system's authorities and the added ones: what a TLS connection
    // trusts once authorities are added (without, the system's alone,
    // looked up as needed). Reading the system's takes a while (a few
    // hundred files to parse), so it starts, on a thread of its own, as soon
    // as authorities are added, and this waits for it only if it is not done.
    QList<QSslCertificate> trustedAuthorities() const;

private:
    QHash<QString, Endpoint> m_routes;
    ProxySettings m_proxies;
    QList<QSslCertificate> m_addedAuthorities;
    std::shared_future<QList<QSslCertificate>> m_systemAuthorities;
};

} // namespace uplark
