#pragma once

#include "site/routes.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

class QTcpSocket;

namespace uplark {

// An asynchronous TCP client connection: open, send, take what arrived,
// close; with events for the connection being up, data arriving, bytes
// going out and failures.
//
// send() keeps the buffer it is given (no copy: QByteArray is shared) and
// feeds the socket from it in slices as earlier slices are written, with one
// sendProgress per write the socket reports. A peer that closes or resets
// the connection is reported by `closedByPeer`, after anything that arrived
// with it; when bytes of a send were still waiting to go out, the send has
// failed and `failed` reports it instead. close() on a closed or never-opened
// connection is harmless, and nothing is reported after it.
class TcpConnection : public QObject // Winsock
{
    Q_OBJECT
public:
    explicit TcpConnection(const RouteTable &routes, QObject *parent = nullptr);
    ~TcpConnection() override;

    QString remoteHost() const { return m_remoteHost; } // RemoteHost
    int remotePort() const { return m_remotePort; }     // RemotePort

    // Opens a connection to host:port (through the route table). An earlier
    // connection of this instance is dropped first.
    void connectTo(const QString &host, int port); // Connect
    // Opens a connection to the same host and port again.
    void reconnect();
    // Queues `data` to go out once the connection is open.
    void send(const QByteArray &data); // SendData
    // All bytes received and not yet taken.
    QByteArray takeReceived(); // GetData
    // Ends the connection at once; queued bytes are dropped.
    void close(); // Close

    bool isConnected() const;
    // Bytes queued and not yet handed to the network.
    qint64 bytesPending() const;

    // Size of one slice fed to the socket.
    static constexpr qint64 SliceSize = 256 * 1024;

Q_SIGNALS:
    void connected();                                           // Connect
    void dataArrived(qint64 bytesAvailable);                    // DataArrival
    void sendProgress(qint64 bytesSent, qint64 bytesRemaining); // SendProgress
    void failed(int code, const QString &description);          // Error
    void closedByPeer();

private:
    void feed();
    void onBytesWritten(qint64 bytes);
    void dropSocket();

    const RouteTable &m_routes;
    QString m_remoteHost;
    int m_remotePort = 0;
    QPointer<QTcpSocket> m_socket;
    QList<QByteArray> m_queue; // buffers given to send(), front first
    qsizetype m_offset = 0;    // bytes of the front buffer already fed
};

} // namespace uplark
