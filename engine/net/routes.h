#pragma once

#include <QHash>
#include <QString>

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

class RouteTable
{
public:
    void add(const QString &host, quint16 port, const QString &toHost, quint16 toPort);
    // The endpoint to connect to; (host, port) itself when no entry matches.
    // Host names compare without regard to case.
    Endpoint resolve(const QString &host, quint16 port) const;
    bool isEmpty() const { return m_routes.isEmpty(); }

private:
    QHash<QString, Endpoint> m_routes;
};

} // namespace uplark
