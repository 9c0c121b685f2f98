#include "engine/net/connection.h"

#include "engine/net/netproblems.h"
#include "engine/net/siteaddress.h"

#include <QNetworkProxy>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace uplark {

TcpConnection::TcpConnection(const RouteTable &routes, QObject *parent)
    : QObject(parent)
    , m_routes(routes)
    , m_stallClock(new QTimer(this))
    , m_feedLater(new QTimer(this))
{
    m_stallClock->setSingleShot(true);
    connect(m_stallClock, &QTimer::timeout, this, &TcpConnection::onStalled);
    m_feedLater->setSingleShot(true);
    connect(m_feedLater, &QTimer::timeout, this, &TcpConnection::feed);
}

QString TcpConnection::endpointText() const
{
    return uplark::endpointText(m_remoteHost, m_remotePort);
}

void TcpConnection::setStallLimit(int milliseconds)
{
    m_stallLimit = qMax(0, milliseconds);
    restartStallClock();
}

void TcpConnection::restartStallClock()
{
    if (m_stallLimit > 0 && m_socket)
        m_stallClock->start(m_stallLimit);
    else
        m_stallClock->stop();
}

void TcpConnection::onStalled()
{
    if (!m_socket)
        return;
    dropSocket();
    Q_EMIT failed(Stalled, u"no byte moved for %1 s"_s.arg(QString::number(m_stallLimit / 1000.0)));
}

TcpConnection::~TcpConnection()
{
    dropSocket();
}

void TcpConnection::connectTo(const QString &host, int port, bool tls)
{
    m_remoteHost = host;
    m_remotePort = port;
    m_tls = tls;
    reconnect();
}

void TcpConnection::reconnect()
{
    dropSocket();
    m_problem.clear();
    QSslSocket *tlsSocket = m_tls ? new QSslSocket(this) : nullptr;
    QTcpSocket *socket = tlsSocket ? tlsSocket : new QTcpSocket(this);
    m_socket = socket;
    // The connection can carry a request: at once in the clear, after the
    // handshake and the certificate check over TLS.
    auto open = [this, socket] {
        if (socket != m_socket)
            return;
        m_open = true;
        restartStallClock();
        Q_EMIT connected();
        if (socket == m_socket)
            feed();
    };
    if (tlsSocket) {
        connect(tlsSocket, &QSslSocket::encrypted, this, open);
        // Left unignored, the errors fail the handshake, which the socket
        // reports next as an error; nothing has been sent by then.
        connect(tlsSocket, &QSslSocket::sslErrors, this,
                [this, socket](const QList<QSslError> &errors) {
                    if (socket == m_socket && !errors.isEmpty())
                        m_problem = certificateProblem(m_remoteHost, m_remotePort,
                                                       certificateReason(errors.first()));
                });
    } else {
        connect(socket, &QTcpSocket::connected, this, open);
    }
    const std::optional<ProxyAddress> proxy = m_routes.proxies().proxyFor(m_remoteHost, m_tls);
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
        if (socket == m_socket && socket->bytesAvailable() > 0) {
            restartStallClock();
            Q_EMIT dataArrived(socket->bytesAvailable());
        }
    });
    connect(socket, &QTcpSocket::bytesWritten, this, [this, socket](qint64 bytes) {
        if (socket == m_socket)
            onBytesWritten(bytes);
    });
    if (tlsSocket) {
        // The data is taken as soon as it is encrypted; the records then
        // wait in a buffer of their own, which drains here.
        connect(tlsSocket, &QSslSocket::encryptedBytesWritten, this, [this, socket] {
            if (socket == m_socket)
                feed();
        });
    }
    connect(socket, &QTcpSocket::errorOccurred, this,
            [this, socket, proxy](QAbstractSocket::SocketError code) {
                if (socket != m_socket)
                    return;
                // The peer closing or resetting the connection is not a
                // failure of the connection itself, unless it leaves part of
                // a send undelivered; whether it fails the exchange is for
                // the owner to say.
                const bool sent = bytesPending() == 0;
                // What came before the close or the failure is reported first.
                if (code == QAbstractSocket::RemoteHostClosedError && socket->bytesAvailable() > 0)
                    Q_EMIT dataArrived(socket->bytesAvailable());
                if (socket != m_socket)
                    return;
                if (code == QAbstractSocket::RemoteHostClosedError && sent) {
                    Q_EMIT closedByPeer();
                    return;
                }
                // Before the connection is open, a failure with a proxy in
                // the way is the proxy's: it could not be reached, or it did
                // not open the tunnel.
                if (proxy && !m_open && m_problem.isEmpty())
                    m_problem = proxyProblem(*proxy, socket->errorString());
                Q_EMIT failed(int(code), m_problem.isEmpty() ? socket->errorString() : m_problem);
            });
    socket->setProxy(proxy ? QNetworkProxy(QNetworkProxy::HttpProxy, proxy->host, proxy->port,
                                           proxy->user, proxy->password)
                           : QNetworkProxy(QNetworkProxy::NoProxy));
    const Endpoint to = m_routes.resolve(m_remoteHost, quint16(m_remotePort));
    restartStallClock();
    if (!tlsSocket) {
        socket->connectToHost(to.host, to.port);
        return;
    }
    if (!m_routes.addedAuthorities().isEmpty()) {
        QSslConfiguration configuration = tlsSocket->sslConfiguration();
        configuration.setCaCertificates(m_routes.trustedAuthorities());
        tlsSocket->setSslConfiguration(configuration);
    }
    tlsSocket->setPeerVerifyMode(QSslSocket::VerifyPeer);
    // TLS records leave a short segment at the end of each burst; waiting
    // for its acknowledgement (Nagle) would hold every burst back. The
    // option takes once the TCP connection is there.
    connect(tlsSocket, &QSslSocket::connected, this,
            [tlsSocket] { tlsSocket->setSocketOption(QAbstractSocket::LowDelayOption, 1); });
    // The certificate must name the host asked for, wherever the route
    // table sends the connection.
    tlsSocket->connectToHostEncrypted(to.host, to.port, m_remoteHost);
}

void TcpConnection::send(const QByteArray &data)
{
    if (!data.isEmpty())
        send(std::make_unique<BufferSource>(data));
}

void TcpConnection::send(std::unique_ptr<SendSource> source)
{
    if (!source || source->atEnd())
        return;
    m_queue.push_back(std::move(source));
    if (isConnected())
        feed();
}

QByteArray TcpConnection::takeReceived()
{
    return m_socket ? m_socket->readAll() : QByteArray();
}

void TcpConnection::close()
{
    dropSocket();
}

bool TcpConnection::isConnected() const
{
    return m_socket && m_socket->state() == QAbstractSocket::ConnectedState
           && (!m_tls || static_cast<const QSslSocket *>(m_socket.data())->isEncrypted());
}

qint64 TcpConnection::socketBacklog() const
{
    if (!m_socket)
        return 0;
    const qint64 data = m_socket->bytesToWrite();
    return m_tls ? data + static_cast<const QSslSocket *>(m_socket.data())->encryptedBytesToWrite()
                 : data;
}

qint64 TcpConnection::bytesPending() const
{
    qint64 pending = socketBacklog();
    for (const auto &source : m_queue)
        pending += source->remaining();
    return pending;
}

void TcpConnection::feed()
{
    // Keep two slices in the socket's buffers: enough to keep the network
    // busy, little enough that the request is never copied whole. Over TLS
    // the records not yet written count as well.
    while (m_socket && !m_queue.empty() && socketBacklog() < 2 * SliceSize) {
        SendSource &front = *m_queue.front();
        // A paced source is asked again once it is ready.
        if (const int wait = front.millisecondsUntilReady(); wait > 0) {
            if (!m_feedLater->isActive())
                m_feedLater->start(wait);
            return;
        }
        const QByteArrayView slice = front.next(SliceSize);
        if (slice.isEmpty() && !front.atEnd()) {
            failSource(front.errorString());
            return;
        }
        m_socket->write(slice.data(), slice.size());
        if (front.atEnd())
            m_queue.pop_front();
    }
}

void TcpConnection::failSource(const QString &description)
{
    // Nothing of what the source could not produce, nor anything after it,
    // goes out: the peer sees the request cut off, never completed wrongly.
    dropSocket();
    Q_EMIT failed(SourceFailed, description);
}

void TcpConnection::onBytesWritten(qint64 bytes)
{
    restartStallClock();
    const QTcpSocket *socket = m_socket;
    Q_EMIT sendProgress(bytes, bytesPending());
    // A handler may have closed or reopened the connection.
    if (m_socket == socket)
        feed();
}

void TcpConnection::dropSocket()
{
    m_queue.clear();
    m_stallClock->stop();
    m_feedLater->stop();
    m_open = false;
    if (QTcpSocket *socket = m_socket) {
        m_socket = nullptr;
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }
}

} // namespace uplark
