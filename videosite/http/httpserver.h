#pragma once

#include "videosite/http/httpconnection.h"
#include "videosite/http/httphandler.h"

#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QTcpServer>

namespace videosite {

// Listens on one address and runs an HttpConnection for each client, all
// answered by the same handler. A client beyond the connection limits (in
// all, or from its address) is answered with 503 and closed.
class HttpServer : public QObject
{
    Q_OBJECT

public:
    HttpServer(HttpHandler *handler, const HttpLimits &limits, QObject *parent = nullptr);
    // Ends the connections while the budget they give back to still exists.
    ~HttpServer() override;

    bool listen(const QHostAddress &address, quint16 port);
    QString errorString() const { return m_server.errorString(); }
    QHostAddress address() const { return m_server.serverAddress(); }
    quint16 port() const { return m_server.serverPort(); }
    int connectionCount() const { return m_connections; }

    // Refused connections still being told so; more are dropped without a word.
    static constexpr int MaxRefusing = 64;

private:
    void acceptConnections();
    void refuse(QTcpSocket *socket);

    QTcpServer m_server;
    HttpHandler *m_handler;
    HttpLimits m_limits;
    BodyBudget m_budget;
    int m_connections = 0;
    QHash<QHostAddress, int> m_perAddress;
    // Parent of the sockets being refused.
    QObject m_refusals;
};

} // namespace videosite
