#pragma once

#include "engine/net/routes.h"
#include "engine/net/sendsource.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

#include <deque>
#include <memory>

class QTcpSocket;
class QTimer;

namespace uplark {

// An asynchronous TCP client connection: open, send, take what arrived,
// close; with events for the connection being up, data arriving, bytes
// going out and failures.
//
// send() keeps the buffer or source it is given (a buffer without a copy:
// QByteArray is shared) and feeds the socket from it in slices as earlier
// slices are written, with one sendProgress per write the socket reports; a
// source is asked for each slice only then, so a long request is never held
// whole. A source that fails to produce its bytes ends the connection at
// once, before any later byte goes out, and `failed` reports it with the
// code SourceFailed. A peer that closes or resets the connection is reported
// by `closedByPeer`, after anything that arrived with it; when bytes of a
// send were still waiting to go out, the send has failed and `failed`
// reports it instead. close() on a closed or never-opened connection is
// harmless, and nothing is reported after it.
//
// Over TLS the connection counts as open, and `connected` comes, only once
// the handshake is done and the server's certificate and name have been
// verified against the trusted authorities of the route table; a server
// that fails the check is cut off before any byte of a send goes out, and
// `failed` names the host and the reason. No setting skips the check. The
// byte counts of sendProgress are those of the data sent, not of the TLS
// records that carry it. A connection goes through the proxy the route
// table names for its host (HTTP CONNECT), or direct.
//
// With a stall limit, a connection on which no byte has moved in either
// direction for that long, while it opens or is open, is ended and `failed`
// reports it with the code Stalled.
class TcpConnection : public QObject
{
    Q_OBJECT
public:
    explicit TcpConnection(const RouteTable &routes, QObject *parent = nullptr);
    ~TcpConnection() override;

    QString remoteHost() const { return m_remoteHost; }
    int remotePort() const { return m_remotePort; }
    // "host:port" as asked for ("[host]:port" for an IPv6 address), for messages.
    QString endpointText() const;

    // Opens a connection to host:port (through the route table), over TLS
    // when `tls` is set. An earlier connection of this instance is dropped
    // first.
    void connectTo(const QString &host, int port, bool tls = false);
    // Opens a connection to the same host and port again.
    void reconnect();
    // Queues `data` to go out once the connection is open.
    void send(const QByteArray &data);
    // Queues the bytes of `source` the same way, taken slice by slice.
    void send(std::unique_ptr<SendSource> source);
    // All bytes received and not yet taken.
    QByteArray takeReceived();
    // Ends the connection at once; queued bytes are dropped.
    void close();

    bool isConnected() const;
    bool isTls() const { return m_tls; }
    // What the user is to be told about the latest failure beyond that the
    // connection failed: the certificate that was refused and why, or the
    // proxy that the connection failed through. Empty for other failures.
    QString problem() const { return m_problem; }
    // Bytes queued and not yet handed to the network.
    qint64 bytesPending() const;

    // The longest time no byte may move while the connection opens or is
    // open, from now on; 0 (the default): no limit.
    void setStallLimit(int milliseconds);

    // Size of one slice fed to the socket.
    static constexpr qint64 SliceSize = 256 * 1024;
    // The code of `failed` when a source could not produce its bytes (not a
    // socket error code).
    static constexpr int SourceFailed = -2;
    // The code of `failed` when the stall limit ended the connection.
    static constexpr int Stalled = -3;

Q_SIGNALS:
    void connected();
    void dataArrived(qint64 bytesAvailable);
    void sendProgress(qint64 bytesSent, qint64 bytesRemaining);
    void failed(int code, const QString &description);
    void closedByPeer();

private:
    void feed();
    // Bytes in the socket's buffers, TLS records included.
    qint64 socketBacklog() const;
    void onBytesWritten(qint64 bytes);
    void dropSocket();
    void failSource(const QString &description);
    void restartStallClock();
    void onStalled();

    const RouteTable &m_routes;
    QString m_remoteHost;
    int m_remotePort = 0;
    bool m_tls = false;
    bool m_open = false; // `connected` has come for the current socket
    QString m_problem;
    QPointer<QTcpSocket> m_socket;
    std::deque<std::unique_ptr<SendSource>> m_queue; // what send() was given, front first
    QTimer *m_stallClock;
    int m_stallLimit = 0;
    QTimer *m_feedLater; // runs while a paced source holds its bytes back
};

} // namespace uplark
