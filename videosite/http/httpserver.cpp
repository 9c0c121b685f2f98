#include "videosite/http/httpserver.h"

#include <QSocketNotifier>
#include <QSslSocket>
#include <QTcpSocket>

#include <cerrno>
#include <cstring>

#include <sys/socket.h>
#include <unistd.h>

namespace videosite {

namespace {

// Connections taken in one go before the event loop runs again.
constexpr int AcceptBatch = 64;
// A shortage of descriptors is logged once; it counts as over after this
// long without one.
constexpr qint64 ShortageOverMs = 10 * 1000;

} // namespace

HttpServer::HttpServer(HttpHandler *handler, const HttpLimits &limits, QObject *parent)
    : QObject(parent)
    , m_handler(handler)
    , m_limits(limits)
    , m_budget(limits.bodyBudget)
{
    m_resumeTimer.setSingleShot(true);
    connect(&m_resumeTimer, &QTimer::timeout, this, [this] {
        m_acceptNotifier->setEnabled(true);
        acceptConnections();
    });
}

HttpServer::~HttpServer()
{
    delete m_acceptNotifier;
    qDeleteAll(findChildren<HttpConnection *>(Qt::FindDirectChildrenOnly));
}

void HttpServer::setTlsConfiguration(const QSslConfiguration &configuration)
{
    m_tls = configuration;
}

bool HttpServer::listen(const QHostAddress &address, quint16 port)
{
    // Room for a burst of new connections, so that they are taken (or
    // refused with 503) at once rather than left to the client's SYN retries.
    m_listener.setListenBacklogSize(256);
    if (!m_listener.listen(address, port))
        return false;
    m_listener.pauseAccepting();
    m_acceptNotifier =
        new QSocketNotifier(m_listener.socketDescriptor(), QSocketNotifier::Read, this);
    connect(m_acceptNotifier, &QSocketNotifier::activated, this, &HttpServer::acceptConnections);
    return true;
}

void HttpServer::acceptConnections()
{
    for (int i = 0; i < AcceptBatch && m_acceptNotifier->isEnabled(); ++i) {
        const int descriptor = ::accept4(int(m_listener.socketDescriptor()), nullptr, nullptr,
                                         SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (descriptor < 0) {
            switch (errno) {
            case EINTR:
            case ECONNABORTED:
                continue;
            case EAGAIN:
                return;
            default:
                // Out of descriptors (EMFILE, ENFILE) or kernel memory.
                waitForDescriptors(errno);
                return;
            }
        }
        if (m_descriptorsShort && m_sinceDescriptorsShort.elapsed() > ShortageOverMs)
            m_descriptorsShort = false;
        QSslSocket *tls = m_tls ? new QSslSocket : nullptr;
        QTcpSocket *socket = tls ? tls : new QTcpSocket;
        if (tls)
            tls->setSslConfiguration(*m_tls);
        if (!socket->setSocketDescriptor(descriptor)) {
            ::close(descriptor);
            delete socket;
            continue;
        }
        // The handshake runs under the connection's head deadline.
        if (tls)
            tls->startServerEncryption();
        serve(socket);
    }
}

void HttpServer::waitForDescriptors(int error)
{
    if (!m_descriptorsShort) {
        qWarning("videosite: cannot accept connections on port %u: %s", unsigned(port()),
                 std::strerror(error));
        m_descriptorsShort = true;
    }
    m_sinceDescriptorsShort.start();
    // A connection that has not begun a request gives up its descriptor;
    // without one, accepting waits a moment instead of retrying at once.
    m_acceptNotifier->setEnabled(false);
    m_resumeTimer.start(evictIdleConnection() ? 0 : DescriptorWaitMs);
}

void HttpServer::serve(QTcpSocket *socket)
{
    const QHostAddress peer = socket->peerAddress();
    if (m_perAddress.value(peer) >= m_limits.maxConnectionsPerAddress
        || (m_connections.size() >= m_limits.maxConnections && !evictIdleConnection())) {
        refuse(socket);
        return;
    }
    ++m_perAddress[peer];
    auto *connection = new HttpConnection(socket, m_handler, m_limits, &m_budget, this);
    m_connections.insert(connection);
    connect(connection, &HttpConnection::closed, this, [this, connection, peer] {
        m_connections.remove(connection);
        if (--m_perAddress[peer] <= 0)
            m_perAddress.remove(peer);
        connection->deleteLater();
    });
}

bool HttpServer::evictIdleConnection()
{
    HttpConnection *longest = nullptr;
    for (HttpConnection *connection : std::as_const(m_connections)) {
        if (connection->isAwaitingRequest()
            && (!longest || connection->idleMs() > longest->idleMs()))
            longest = connection;
    }
    if (!longest)
        return false;
    longest->evict();
    return true;
}

void HttpServer::refuse(QTcpSocket *socket)
{
    // The refusal that has lingered longest has had its answer the longest.
    if (m_refusals.size() >= MaxRefusing)
        m_refusals.first()->evict();
    HttpResponse busy = m_handler->errorPage(503);
    busy.addHeader("Retry-After", "10");
    auto *refusal = new HttpConnection(socket, m_handler, m_limits, &m_budget, this);
    m_refusals.append(refusal);
    connect(refusal, &HttpConnection::closed, this, [this, refusal] {
        m_refusals.removeOne(refusal);
        refusal->deleteLater();
    });
    refusal->refuse(busy);
}

} // namespace videosite
