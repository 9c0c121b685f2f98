#include "server/httpserver.h"

#include "server/httpconnection.h"

#include <QTcpSocket>

HttpServer::HttpServer(HttpHandler *handler, const HttpLimits &limits, QObject *parent)
    : QObject(parent), m_handler(handler), m_limits(limits)
{
    connect(&m_server, &QTcpServer::newConnection, this, &HttpServer::acceptConnections);
}

bool HttpServer::listen(const QHostAddress &address, quint16 port)
{
    return m_server.listen(address, port);
}

void HttpServer::acceptConnections()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        if (m_connections >= m_limits.maxConnections) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        ++m_connections;
        auto *connection = new HttpConnection(socket, m_handler, m_limits, this);
        connect(connection, &HttpConnection::closed, this, [this, connection] {
            --m_connections;
            connection->deleteLater();
        });
    }
}
