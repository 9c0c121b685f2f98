#pragma once

#include "videosite/http/httphandler.h"
#include "videosite/http/httprequest.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>
#include <optional>

class QTcpSocket;

namespace videosite {

// The memory that the request bodies held by all connections of one server
// may take together (see HttpLimits::bodyBudget).
class BodyBudget
{
public:
    explicit BodyBudget(qint64 capacity)
        : m_capacity(capacity)
    {
    }
    bool take(qint64 bytes)
    {
        if (bytes > m_capacity - m_held)
            return false;
        m_held += bytes;
        return true;
    }
    void giveBack(qint64 bytes) { m_held -= bytes; }
    qint64 held() const { return m_held; }

private:
    qint64 m_capacity;
    qint64 m_held = 0;
};

// One client connection of an HttpServer: reads requests one after another,
// after the TLS handshake on a QSslSocket (under the head deadline),
// hands them to the handler, and writes the answers. Request bodies reach the
// handler's BodyReceiver as they arrive, so a large upload is never held in
// memory. Answers held in memory go out in a single write; file answers are
// streamed as the socket drains.
//
// Nothing is read while a request waits for its answer or while an answer is
// going out: what the client sends meanwhile stays in the kernel, and TCP
// holds the client back. What one connection holds in memory is therefore
// bounded: the socket's read buffer, a request head, a body without a
// receiver (within the handler's body limit and the server's budget) and the
// answer being sent (a page, or a window of a file).
class HttpConnection : public QObject
{
    Q_OBJECT

public:
    HttpConnection(QTcpSocket *socket, HttpHandler *handler, const HttpLimits &limits,
                   BodyBudget *budget, QObject *parent = nullptr);
    ~HttpConnection() override;

    // Answers at once, before any request, and closes: for a connection the
    // server has no room for.
    void refuse(const HttpResponse &response);
    // Whether the connection waits for a request of which no byte has come,
    // and for how long it has waited; such a connection may be closed to make
    // room for a new one.
    bool isAwaitingRequest() const;
    qint64 idleMs() const { return m_idleSince.elapsed(); }
    // Closes at once.
    void evict();

    static constexpr qint64 SocketReadBuffer = 16 * 1024;
    // A file answer is topped up while less than this waits to be sent.
    static constexpr qint64 FileWriteWindow = 128 * 1024;

Q_SIGNALS:
    // The connection has ended; the server deletes it.
    void closed();

private:
    enum class State {
        Handshaking, // TLS, before any request
        ReadingHead,
        ReadingBody,
        Draining,
        Responding,
        Sending,
        SendingFile,
        Closing
    };

    void onEncrypted();
    void readInput();
    void onBytesWritten();
    // What waits to go to the kernel, encrypted or not.
    qint64 bytesToSend() const;
    // Hands what waits to the kernel (encrypted, under TLS); true when all
    // of it has gone.
    bool writeOut();
    void onTimeout();
    void processInput();
    // True when a request head was complete (and the request begun or refused).
    bool readHead();
    bool headEndArrived();
    void beginRequest(HttpRequest request);
    // Feeds buffered input to the body; true when the request is being answered.
    bool receiveBody();
    void respond(bool early);
    void deliver(HttpResponse response);
    void drainInput();
    void answer(HttpResponse response);
    // Answers before the body has been read, then drains up to drainBudget
    // bytes of it and closes.
    void answerEarly(HttpResponse response, qint64 unreadBody, qint64 drainBudget);
    // Tops up the file answer.
    void sendFileChunk();
    void waitForRequest();
    void startBodyClock(State state);
    void startSendClock(State state);
    void releaseBody();
    // Sends what is queued, then stops sending and lingers, reading and
    // dropping what the client still sends, before the close.
    void closeAfterWrite();
    void stopSending();
    void closeNow();
    void finish();

    QTcpSocket *m_socket;
    HttpHandler *m_handler;
    HttpLimits m_limits;
    BodyBudget *m_budget;
    QString m_clientAddress;
    // One timer for whichever limit the state is under: idle wait, head
    // deadline, body rate window, or progress of an answer.
    QTimer m_timer;
    State m_state = State::ReadingHead;
    QByteArray m_input;
    qsizetype m_headScanned = 0;
    bool m_headClockStarted = false;
    qint64 m_windowBytes = 0;
    HttpRequest m_request;
    std::unique_ptr<BodyReceiver> m_receiver;
    qint64 m_bodyReserved = 0;
    quint64 m_requestSerial = 0;
    bool m_earlyAnswer = false;
    qint64 m_bodyLeft = 0;
    qint64 m_drainLeft = 0;
    qint64 m_drainBudget = 0;
    QFile m_file;
    qint64 m_fileLeft = 0;
    bool m_keepAlive = true;
    bool m_finished = false;
    QElapsedTimer m_idleSince;
    bool m_sendingStopped = false;
    qint64 m_lingerLeft = 0;
    // A refusal waiting for the TLS handshake to end.
    std::optional<HttpResponse> m_refusal;
};

} // namespace videosite
