#pragma once

#include "videosite/http/httpconnection.h"
#include "videosite/http/httphandler.h"

#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QSet>
#include <QSslConfiguration>
#include <QTcpServer>
#include <QTimer>

#include <optional>

class QSocketNotifier;

namespace videosite {

// Listens on one address and runs an HttpConnection for each client, all
// answered by the same handler. At the limit of connections in all, a new
// client takes the place of the connection that has waited longest for a
// request of which nothing has come; when there is none, and beyond the
// limit for one address, the new client is answered with 503 and closed.
// With a TLS configuration every connection is a TLS one.
class HttpServer : public QObject
{
    Q_OBJECT

public:
    HttpServer(HttpHandler *handler, const HttpLimits &limits, QObject *parent = nullptr);
    // Ends the connections while the budget they give back to still exists.
    ~HttpServer() override;

    // Makes every connection a TLS one, from then on.
    void setTlsConfiguration(const QSslConfiguration &configuration);
    bool listen(const QHostAddress &address, quint16 port);
    QString errorString() const { return m_listener.errorString(); }
    QHostAddress address() const { return m_listener.serverAddress(); }
    quint16 port() const { return m_listener.serverPort(); }
    int connectionCount() const { return int(m_connections.size()); }

    // Refused connections still being told so; beyond this, the one told
    // first is closed.
    static constexpr int MaxRefusing = 64;
    // How long accepting waits when the process has no descriptor left and
    // no idle connection to close for one.
    static constexpr int DescriptorWaitMs = 250;

private:
    void acceptConnections();
    void serve(QTcpSocket *socket);
    void refuse(QTcpSocket *socket);
    bool evictIdleConnection();
    void waitForDescriptors(int error);

    // Binds and listens; the accepting is done here, so that a failed
    // accept is seen (QTcpServer retries one at once, for ever).
    QTcpServer m_listener;
    QSocketNotifier *m_acceptNotifier = nullptr;
    QTimer m_resumeTimer;
    bool m_descriptorsShort = false;
    QElapsedTimer m_sinceDescriptorsShort;
    std::optional<QSslConfiguration> m_tls;
    HttpHandler *m_handler;
    HttpLimits m_limits;
    BodyBudget m_budget;
    QSet<HttpConnection *> m_connections;
    QHash<QHostAddress, int> m_perAddress;
    // The connections being refused, oldest first.
    QList<HttpConnection *> m_refusals;
};

} // namespace videosite
