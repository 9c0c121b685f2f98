#include "videosite/http/httpserver.h"

#include <QTcpSocket>
#include <QTimer>

namespace videosite {

namespace {

// How long a refused client has to take its 503.
constexpr int RefusalLingerMs = 2000;

} // namespace

HttpServer::HttpServer(HttpHandler *handler, const HttpLimits &limits, QObject *parent)
    : QObject(parent)
    , m_handler(handler)
    , m_limits(limits)
    , m_budget(limits.bodyBudget)
{
    connect(&m_server, &QTcpServer::newConnection, this, &HttpServer::acceptConnections);
}

HttpServer::~HttpServer()
{
    qDeleteAll(findChildren<HttpConnection *>(Qt::FindDirectChildrenOnly));
}

bool HttpServer::listen(const QHostAddress &address, quint16 port)
{
    // Room for a burst of new connections, so that they are taken (or
    // refused with 503) at once rather than left to the client's SYN retries.
    m_server.setListenBacklogSize(256);
    return m_server.listen(address, port);
}

void HttpServer::acceptConnections()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        const QHostAddress peer = socket->peerAddress();
        if (m_connections >= m_limits.maxConnections
            || m_perAddress.value(peer) >= m_limits.maxConnectionsPerAddress) {
            refuse(socket);
            continue;
        }
        ++m_connections;
        ++m_perAddress[peer];
        auto *connection = new HttpConnection(socket, m_handler, m_limits, &m_budget, this);
        connect(connection, &HttpConnection::closed, this, [this, connection, peer] {
            --m_connections;
            if (--m_perAddress[peer] <= 0)
                m_perAddress.remove(peer);
            connection->deleteLater();
        });
    }
}

void HttpServer::refuse(QTcpSocket *socket)
{
    if (m_refusals.children().size() >= MaxRefusing) {
        socket->abort();
        socket->deleteLater();
        return;
    }
    socket->setParent(&m_refusals);
    HttpResponse busy = m_handler->errorPage(503);
    busy.addHeader("Retry-After", "10");
    // What the client sends is dropped, so that the close does not become a
    // reset that destroys the answer on its way.
    socket->setReadBufferSize(HttpConnection::SocketReadBuffer);
    connect(socket, &QTcpSocket::readyRead, socket,
            [socket] { socket->skip(socket->bytesAvailable()); });
    connect(socket, &QTcpSocket::disconnected, socket, [socket] {
        socket->setParent(nullptr);
        socket->deleteLater();
    });
    QTimer::singleShot(RefusalLingerMs, socket, [socket] { socket->abort(); });
    // A fresh connection's kernel buffer takes the answer at once, and the
    // socket closes and goes before the next connection is looked at.
    socket->write(serializeResponse(busy, false, false));
    socket->flush();
    socket->disconnectFromHost();
}

} // namespace videosite
