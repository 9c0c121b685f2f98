#pragma once

#include "server/httphandler.h"

#include <QHostAddress>
#include <QObject>
#include <QTcpServer>

// Listens on one address and runs an HttpConnection for each client, all
// answered by the same handler.
class HttpServer : public QObject
{
    Q_OBJECT

public:
    HttpServer(HttpHandler *handler, const HttpLimits &limits, QObject *parent = nullptr);

    bool listen(const QHostAddress &address, quint16 port);
    QString errorString() const { return m_server.errorString(); }
    QHostAddress address() const { return m_server.serverAddress(); }
    quint16 port() const { return m_server.serverPort(); }
    int connectionCount() const { return m_connections; }

private:
    void acceptConnections();

    QTcpServer m_server;
    HttpHandler *m_handler;
    HttpLimits m_limits;
    int m_connections = 0;
};
