#include "videosite/http/httpconnection.h"

#include <QPointer>
#include <QSslSocket>
#include <QTcpSocket>

#include <utility>

#include <sys/socket.h>

namespace videosite {

namespace {

constexpr qint64 FileChunkSize = 64 * 1024;
constexpr qint64 ReadChunkSize = 16 * 1024;

} // namespace

HttpConnection::HttpConnection(QTcpSocket *socket, HttpHandler *handler, const HttpLimits &limits,
                               BodyBudget *budget, QObject *parent)
    : QObject(parent)
    , m_socket(socket)
    , m_handler(handler)
    , m_limits(limits)
    , m_budget(budget)
    , m_clientAddress(socket->peerAddress().toString())
{
    m_socket->setParent(this);
    // Once this much is waiting unread, the socket stops taking bytes from
    // the kernel, and the client's sending stalls.
    m_socket->setReadBufferSize(SocketReadBuffer);
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &HttpConnection::onTimeout);
    connect(m_socket, &QTcpSocket::readyRead, this, &HttpConnection::readInput);
    connect(m_socket, &QTcpSocket::bytesWritten, this, &HttpConnection::onBytesWritten);
    connect(m_socket, &QTcpSocket::disconnected, this, &HttpConnection::finish);
    connect(m_socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        // A peer's close arrives as RemoteHostClosedError and is followed by
        // disconnected(); anything else ends the connection here.
        if (error != QAbstractSocket::RemoteHostClosedError)
            m_socket->abort();
        if (m_socket->state() == QAbstractSocket::UnconnectedState)
            finish();
    });
    m_idleSince.start();
    auto *tls = qobject_cast<QSslSocket *>(m_socket);
    if (tls) {
        connect(tls, &QSslSocket::encryptedBytesWritten, this, &HttpConnection::onBytesWritten);
        connect(tls, &QSslSocket::encrypted, this, &HttpConnection::onEncrypted);
    }
    if (tls && !tls->isEncrypted()) {
        // A handshake that does not end in time is a head that does not.
        m_state = State::Handshaking;
        m_timer.start(m_limits.headTimeoutMs);
        return;
    }
    waitForRequest();
    // Bytes may have arrived before the signals were connected.
    if (m_socket->bytesAvailable() > 0)
        QMetaObject::invokeMethod(this, &HttpConnection::readInput, Qt::QueuedConnection);
}

HttpConnection::~HttpConnection()
{
    releaseBody();
}

void HttpConnection::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    m_timer.stop();
    // An unfinished upload is dropped here: its receiver removes what it wrote.
    m_receiver.reset();
    releaseBody();
    m_file.close();
    Q_EMIT closed();
}

void HttpConnection::onEncrypted()
{
    if (m_finished || m_state != State::Handshaking)
        return;
    waitForRequest();
    if (m_refusal) {
        refuse(*std::exchange(m_refusal, std::nullopt));
        return;
    }
    readInput();
}

qint64 HttpConnection::bytesToSend() const
{
    // Under TLS, what is encrypted waits in the socket below, and
    // bytesWritten() tells only that it was encrypted.
    const auto *tls = qobject_cast<const QSslSocket *>(m_socket);
    return m_socket->bytesToWrite() + (tls ? tls->encryptedBytesToWrite() : 0);
}

bool HttpConnection::writeOut()
{
    // QSslSocket::flush() hides QAbstractSocket's: only it encrypts what
    // waits and hands it on.
    if (auto *tls = qobject_cast<QSslSocket *>(m_socket))
        tls->flush();
    else
        m_socket->flush();
    return bytesToSend() == 0;
}

void HttpConnection::refuse(const HttpResponse &response)
{
    if (m_state == State::Handshaking) {
        m_refusal = response;
        return;
    }
    m_keepAlive = false;
    m_socket->write(serializeResponse(response, false, false));
    closeAfterWrite();
}

bool HttpConnection::isAwaitingRequest() const
{
    return !m_finished
           && (m_state == State::Handshaking
               || (m_state == State::ReadingHead && m_input.isEmpty() && !m_headClockStarted));
}

void HttpConnection::evict()
{
    closeNow();
}

void HttpConnection::closeNow()
{
    m_socket->abort();
    finish();
}

void HttpConnection::readInput()
{
    while (!m_finished) {
        if (m_socket->bytesAvailable() <= 0)
            return;
        switch (m_state) {
        case State::Closing: {
            // Read and dropped: unread bytes at the close would make the
            // kernel reset the connection, and the answer could be lost.
            m_lingerLeft -= m_socket->skip(m_socket->bytesAvailable());
            if (m_sendingStopped && m_lingerLeft <= 0)
                closeNow();
            return;
        }
        case State::Handshaking:
        case State::Responding:
        case State::Sending:
        case State::SendingFile:
            return;
        case State::ReadingHead:
        case State::ReadingBody:
        case State::Draining:
            break;
        }
        const qint64 room = m_limits.maxHeadSize + ReadChunkSize - m_input.size();
        if (room <= 0)
            return;
        m_input += m_socket->read(qMin(room, ReadChunkSize));
        processInput();
    }
}

void HttpConnection::onBytesWritten()
{
    if (m_finished)
        return;
    switch (m_state) {
    case State::SendingFile:
        m_timer.start(m_limits.idleTimeoutMs);
        sendFileChunk();
        break;
    case State::Sending:
        m_timer.start(m_limits.idleTimeoutMs);
        // The next request is read once the answer has gone out entirely.
        if (bytesToSend() == 0) {
            waitForRequest();
            processInput();
            readInput();
        }
        break;
    case State::Closing:
        if (writeOut())
            stopSending();
        else
            m_timer.start(m_limits.idleTimeoutMs);
        break;
    default:
        break;
    }
}

void HttpConnection::onTimeout()
{
    if (m_finished)
        return;
    if ((m_state == State::ReadingBody || m_state == State::Draining)
        && m_windowBytes * 1000 >= m_limits.minBodyRate * m_limits.bodyWindowMs) {
        m_windowBytes = 0;
        m_timer.start(m_limits.bodyWindowMs);
        return;
    }
    closeNow();
}

void HttpConnection::waitForRequest()
{
    m_idleSince.start();
    m_state = State::ReadingHead;
    m_headScanned = 0;
    m_headClockStarted = false;
    m_timer.start(m_limits.idleTimeoutMs);
}

void HttpConnection::startBodyClock(State state)
{
    m_state = state;
    m_windowBytes = 0;
    m_timer.start(m_limits.bodyWindowMs);
}

void HttpConnection::startSendClock(State state)
{
    m_state = state;
    m_timer.start(m_limits.idleTimeoutMs);
}

void HttpConnection::processInput()
{
    while (!m_finished) {
        switch (m_state) {
        case State::ReadingHead:
            if (!readHead())
                return;
            break;
        case State::ReadingBody:
            if (!receiveBody())
                return;
            break;
        case State::Draining:
            drainInput();
            return;
        case State::Handshaking:
        case State::Responding:
        case State::Sending:
        case State::SendingFile:
        case State::Closing:
            return;
        }
    }
}

bool HttpConnection::headEndArrived()
{
    const qsizetype from = qMax<qsizetype>(0, m_headScanned - 2);
    m_headScanned = m_input.size();
    return m_input.indexOf("\n\r\n", from) >= 0 || m_input.indexOf("\n\n", from) >= 0;
}

bool HttpConnection::readHead()
{
    if (m_input.isEmpty())
        return false;
    // The head is parsed once its end is in (or it is too long), so that a
    // head arriving byte by byte is not parsed again for every byte. Blank
    // lines before a request are parsed away at once.
    const bool blankFirst = m_input.front() == '\r' || m_input.front() == '\n';
    if (!blankFirst && m_input.size() <= m_limits.maxHeadSize && !headEndArrived()) {
        if (!m_headClockStarted) {
            // The head's deadline runs from its first byte, and bytes
            // trickling in do not extend it.
            m_headClockStarted = true;
            m_timer.start(m_limits.headTimeoutMs);
        }
        return false;
    }
    RequestHeadResult head = parseRequestHead(m_input, m_limits.maxHeadSize);
    m_input.remove(0, head.consumed);
    m_headScanned = 0;
    switch (head.status) {
    case RequestHeadResult::Status::Incomplete:
        // Only blank lines went; what follows is looked at anew.
        return !m_input.isEmpty() && m_input.front() != '\r' && m_input.front() != '\n' ? readHead()
                                                                                        : false;
    case RequestHeadResult::Status::Invalid:
        m_request = HttpRequest();
        m_keepAlive = false;
        answer(m_handler->errorPage(head.errorStatus));
        return true;
    case RequestHeadResult::Status::Complete:
        beginRequest(std::move(head.request));
        return true;
    }
    return false;
}

void HttpConnection::beginRequest(HttpRequest request)
{
    m_request = std::move(request);
    m_request.clientAddress = m_clientAddress;
    m_keepAlive = m_request.wantsKeepAlive();
    const qint64 length = m_request.contentLength;
    if (length > m_handler->bodyLimit(m_request)) {
        answerEarly(m_handler->errorPage(413), length, m_limits.refusedBodyDrain);
        return;
    }
    if (std::optional<HttpResponse> early = m_handler->precheck(m_request)) {
        answerEarly(std::move(*early), length, length);
        return;
    }
    m_receiver = m_handler->receiverFor(m_request);
    if (!m_receiver && length > m_limits.smallBodySize) {
        if (!m_budget->take(length)) {
            HttpResponse busy = m_handler->errorPage(503);
            busy.addHeader("Retry-After", "10");
            answerEarly(std::move(busy), length, m_limits.refusedBodyDrain);
            return;
        }
        m_bodyReserved = length;
    }
    if (!m_receiver)
        m_request.body.reserve(length); // pages become resident only as the body fills them
    if (length > 0 && m_request.expectsContinue())
        m_socket->write("HTTP/1.1 100 Continue\r\n\r\n");
    m_bodyLeft = length;
    startBodyClock(State::ReadingBody);
}

bool HttpConnection::receiveBody()
{
    if (m_bodyLeft > 0) {
        if (m_input.isEmpty())
            return false;
        const qsizetype n = qsizetype(qMin<qint64>(m_input.size(), m_bodyLeft));
        const QByteArrayView piece(m_input.constData(), n);
        bool accepted = true;
        if (m_receiver)
            accepted = m_receiver->receive(piece);
        else
            m_request.body.append(piece);
        if (n == m_input.size())
            m_input.clear();
        else
            m_input.remove(0, n);
        m_bodyLeft -= n;
        m_windowBytes += n;
        if (!accepted) {
            respond(true);
            return true;
        }
        if (m_bodyLeft > 0)
            return false;
    }
    respond(false);
    return true;
}

void HttpConnection::respond(bool early)
{
    m_state = State::Responding;
    m_timer.stop();
    m_earlyAnswer = early;
    const quint64 serial = ++m_requestSerial;
    QPointer<HttpConnection> self(this);
    m_handler->respond(m_request, m_receiver.get(), [self, serial](HttpResponse response) {
        if (self && !self->m_finished && self->m_requestSerial == serial
            && self->m_state == State::Responding)
            self->deliver(std::move(response));
    });
}

void HttpConnection::deliver(HttpResponse response)
{
    m_receiver.reset();
    releaseBody();
    if (m_earlyAnswer)
        answerEarly(std::move(response), m_bodyLeft, m_bodyLeft);
    else
        answer(std::move(response));
    // An answer that came later than its request finds input waiting.
    QMetaObject::invokeMethod(this, &HttpConnection::readInput, Qt::QueuedConnection);
}

void HttpConnection::releaseBody()
{
    m_request.body = QByteArray();
    if (m_bodyReserved > 0)
        m_budget->giveBack(m_bodyReserved);
    m_bodyReserved = 0;
}

void HttpConnection::answer(HttpResponse response)
{
    releaseBody();
    if (response.closeConnection)
        m_keepAlive = false;
    const bool headOnly = m_request.method == "HEAD";
    if (!response.filePath.isEmpty() && !headOnly) {
        m_file.setFileName(response.filePath);
        if (!m_file.open(QIODevice::ReadOnly) || !m_file.seek(response.fileOffset)) {
            m_file.close();
            m_keepAlive = false;
            m_socket->write(serializeResponse(m_handler->errorPage(500), false, false));
            closeAfterWrite();
            return;
        }
        m_fileLeft = response.fileLength;
        m_socket->write(serializeResponseHead(response, m_keepAlive));
        startSendClock(State::SendingFile);
        sendFileChunk();
        return;
    }
    m_socket->write(serializeResponse(response, m_keepAlive, headOnly));
    if (!m_keepAlive) {
        closeAfterWrite();
        return;
    }
    startSendClock(State::Sending);
}

void HttpConnection::answerEarly(HttpResponse response, qint64 unreadBody, qint64 drainBudget)
{
    m_keepAlive = false;
    m_receiver.reset();
    releaseBody();
    m_socket->write(serializeResponse(response, false, m_request.method == "HEAD"));
    writeOut();
    m_drainLeft = unreadBody;
    m_drainBudget = drainBudget;
    if (m_drainLeft <= 0) {
        closeAfterWrite();
        return;
    }
    startBodyClock(State::Draining);
    drainInput();
}

void HttpConnection::drainInput()
{
    const qint64 n = qMin<qint64>(m_input.size(), m_drainLeft);
    m_input.remove(0, n);
    m_drainLeft -= n;
    m_drainBudget -= n;
    m_windowBytes += n;
    if (m_drainLeft <= 0 || m_drainBudget <= 0)
        closeAfterWrite();
}

void HttpConnection::sendFileChunk()
{
    while (m_fileLeft > 0 && bytesToSend() < FileWriteWindow) {
        const QByteArray chunk = m_file.read(qMin(FileChunkSize, m_fileLeft));
        if (chunk.isEmpty()) {
            // The file shrank under us: the promised length cannot be kept.
            closeNow();
            return;
        }
        m_fileLeft -= chunk.size();
        m_socket->write(chunk);
    }
    if (m_fileLeft > 0)
        return;
    m_file.close();
    if (!m_keepAlive) {
        closeAfterWrite();
        return;
    }
    // The rest goes out as the client takes it; then the next request.
    startSendClock(State::Sending);
    if (bytesToSend() == 0)
        onBytesWritten();
}

void HttpConnection::closeAfterWrite()
{
    m_input.clear();
    m_receiver.reset();
    releaseBody();
    m_lingerLeft = m_limits.lingerDrain;
    startSendClock(State::Closing);
    if (writeOut())
        stopSending();
}

// Closing a socket with unread input makes the kernel answer with a reset,
// which may reach the client before it has read the answer, or while it is
// still sending, and the client then sees the reset instead of the answer.
// So the end of the answer is marked with a FIN alone, and the connection
// stays open, reading and dropping, until the client closes its side (or
// the linger runs out).
void HttpConnection::stopSending()
{
    if (m_sendingStopped)
        return;
    m_sendingStopped = true;
    ::shutdown(int(m_socket->socketDescriptor()), SHUT_WR);
    m_timer.start(m_limits.lingerMs);
    QMetaObject::invokeMethod(this, &HttpConnection::readInput, Qt::QueuedConnection);
}

} // namespace videosite
