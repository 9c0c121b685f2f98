#pragma once

#include "platform/routes.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

class QTcpSocket;

// An asynchronous TCP client connection with the operations and events the
// windows use: Connect, SendData, GetData and Close; connected, dataArrival,
// sendProgress and error.
//
// SendData keeps the buffer it is given (no copy: QByteArray is shared) and
// feeds the socket from it in slices as earlier slices are written, with one
// sendProgress per write the socket reports. A peer that closes the
// connection raises no error, unless bytes of a send were still waiting to go
// out: then the send has failed and `error` reports it. Close on a closed or
// never-opened connection is harmless.
class Winsock : public QObject
{
    Q_OBJECT
public:
    explicit Winsock(const RouteTable &routes, QObject *parent = nullptr);
    ~Winsock() override;

    QString RemoteHost() const { return m_remoteHost; }
    void setRemoteHost(const QString &host) { m_remoteHost = host; }
    int RemotePort() const { return m_remotePort; }
    void setRemotePort(int port) { m_remotePort = port; }

    // Opens a connection to RemoteHost:RemotePort (through the route table).
    // An earlier connection of this instance is dropped first.
    void Connect();
    void Connect(const QString &host, int port);
    // Queues `data` to go out once the connection is open.
    void SendData(const QByteArray &data);
    // All bytes received and not yet taken.
    QByteArray GetData();
    // Ends the connection at once; queued bytes are dropped.
    void Close();

    bool isConnected() const;
    // Bytes queued and not yet handed to the network.
    qint64 bytesPending() const;

    // Size of one slice fed to the socket.
    static constexpr qint64 SliceSize = 256 * 1024;

Q_SIGNALS:
    void connected();
    void dataArrival(qint64 bytesTotal);
    void sendProgress(qint64 bytesSent, qint64 bytesRemaining);
    void error(int number, const QString &description);

private:
    void feed();
    void onBytesWritten(qint64 bytes);
    void dropSocket();

    const RouteTable &m_routes;
    QString m_remoteHost;
    int m_remotePort = 0;
    QPointer<QTcpSocket> m_socket;
    QList<QByteArray> m_queue; // buffers given to SendData, front first
    qsizetype m_offset = 0;    // bytes of the front buffer already fed
};
