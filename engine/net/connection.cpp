#include "engine/net/connection.h"

#include <QTcpSocket>

namespace uplark {

TcpConnection::TcpConnection(const RouteTable &routes, QObject *parent)
    : QObject(parent)
    , m_routes(routes)
{
}

TcpConnection::~TcpConnection()
{
    dropSocket();
}

void TcpConnection::connectTo(const QString &host, int port)
{
    m_remoteHost = host;
    m_remotePort = port;
    reconnect();
}

void TcpConnection::reconnect()
{
    dropSocket();
    auto *socket = new QTcpSocket(this);
    m_socket = socket;
    connect(socket, &QTcpSocket::connected, this, [this, socket] {
        if (socket != m_socket)
            return;
        Q_EMIT connected();
        if (socket == m_socket)
            feed();
    });
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
        if (socket == m_socket && socket->bytesAvailable() > 0)
            Q_EMIT dataArrived(socket->bytesAvailable());
    });
    connect(socket, &QTcpSocket::bytesWritten, this, [this, socket](qint64 bytes) {
        if (socket == m_socket)
            onBytesWritten(bytes);
    });
    connect(socket, &QTcpSocket::errorOccurred, this,
            [this, socket](QAbstractSocket::SocketError code) {
                if (socket != m_socket)
                    return;
                // The peer closing or resetting the connection is not a
                // failure of the connection itself, unless it leaves part of
                // a send undelivered; whether it fails the exchange is for
                // the owner to say.
                if (code == QAbstractSocket::RemoteHostClosedError && bytesPending() == 0) {
                    // What came with the close is reported first.
                    if (socket->bytesAvailable() > 0)
                        Q_EMIT dataArrived(socket->bytesAvailable());
                    if (socket == m_socket)
                        Q_EMIT closedByPeer();
                    return;
                }
                Q_EMIT failed(int(code), socket->errorString());
            });
    const Endpoint to = m_routes.resolve(m_remoteHost, quint16(m_remotePort));
    socket->connectToHost(to.host, to.port);
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
    return m_socket && m_socket->state() == QAbstractSocket::ConnectedState;
}

qint64 TcpConnection::bytesPending() const
{
    qint64 pending = m_socket ? m_socket->bytesToWrite() : 0;
    for (const auto &source : m_queue)
        pending += source->remaining();
    return pending;
}

void TcpConnection::feed()
{
    // Keep two slices in the socket's buffer: enough to keep the network
    // busy, little enough that the request is never copied whole.
    while (m_socket && !m_queue.empty() && m_socket->bytesToWrite() < 2 * SliceSize) {
        SendSource &front = *m_queue.front();
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
    const QTcpSocket *socket = m_socket;
    Q_EMIT sendProgress(bytes, bytesPending());
    // A handler may have closed or reopened the connection.
    if (m_socket == socket)
        feed();
}

void TcpConnection::dropSocket()
{
    m_queue.clear();
    if (QTcpSocket *socket = m_socket) {
        m_socket = nullptr;
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }
}

} // namespace uplark
