#include "site/connection.h"

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
    if (data.isEmpty())
        return;
    m_queue.append(data);
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
    for (const QByteArray &buffer : m_queue)
        pending += buffer.size();
    return pending - m_offset;
}

void TcpConnection::feed()
{
    // Keep two slices in the socket's buffer: enough to keep the network
    // busy, little enough that the request is never copied whole.
    while (m_socket && !m_queue.isEmpty() && m_socket->bytesToWrite() < 2 * SliceSize) {
        const QByteArray &front = m_queue.constFirst();
        const qint64 n = qMin<qint64>(SliceSize, front.size() - m_offset);
        m_socket->write(front.constData() + m_offset, n);
        m_offset += n;
        if (m_offset == front.size()) {
            m_queue.removeFirst();
            m_offset = 0;
        }
    }
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
    m_offset = 0;
    if (QTcpSocket *socket = m_socket) {
        m_socket = nullptr;
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }
}

} // namespace uplark
