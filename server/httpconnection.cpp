#include "server/httpconnection.h"

#include "server/pages.h"

#include <QTcpSocket>

namespace {

constexpr qint64 FileChunkSize = 64 * 1024;
// A file answer is topped up while less than this is waiting to be sent.
constexpr qint64 FileWriteWindow = 256 * 1024;

HttpResponse errorAnswer(int status)
{
    return HttpResponse::html(status, Pages::error(status));
}

} // namespace

HttpConnection::HttpConnection(QTcpSocket *socket, HttpHandler *handler, const HttpLimits &limits,
                               QObject *parent)
    : QObject(parent), m_socket(socket), m_handler(handler), m_limits(limits)
{
    m_socket->setParent(this);
    m_idleTimer.setSingleShot(true);
    m_idleTimer.setInterval(m_limits.idleTimeoutMs);
    connect(&m_idleTimer, &QTimer::timeout, this, [this] { m_socket->abort(); });
    connect(m_socket, &QTcpSocket::readyRead, this, &HttpConnection::onReadyRead);
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
    m_idleTimer.start();
    // Bytes may have arrived before the signals were connected.
    if (m_socket->bytesAvailable() > 0)
        QMetaObject::invokeMethod(this, &HttpConnection::onReadyRead, Qt::QueuedConnection);
}

HttpConnection::~HttpConnection() = default;

void HttpConnection::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    m_idleTimer.stop();
    // An unfinished upload is dropped here: its receiver removes what it wrote.
    m_receiver.reset();
    m_file.close();
    Q_EMIT closed();
}

void HttpConnection::onReadyRead()
{
    if (m_finished)
        return;
    m_idleTimer.start();
    if (m_state == State::Closing) {
        m_socket->readAll();
        return;
    }
    m_input += m_socket->readAll();
    processInput();
}

void HttpConnection::onBytesWritten()
{
    if (m_finished)
        return;
    m_idleTimer.start();
    if (m_state == State::SendingFile && sendFileChunk())
        processInput();
}

void HttpConnection::processInput()
{
    while (!m_finished) {
        switch (m_state) {
        case State::ReadingHead: {
            if (m_input.isEmpty())
                return;
            RequestHeadResult head = parseRequestHead(m_input, m_limits.maxHeadSize);
            if (head.status == RequestHeadResult::Status::Incomplete) {
                m_input.remove(0, head.consumed);
                return;
            }
            m_input.remove(0, head.consumed);
            if (head.status == RequestHeadResult::Status::Invalid) {
                m_request = HttpRequest();
                m_keepAlive = false;
                answer(errorAnswer(head.errorStatus));
                return;
            }
            beginRequest(std::move(head.request));
            break;
        }
        case State::ReadingBody:
            if (!receiveBody())
                return;
            break;
        case State::Draining:
            drainInput();
            return;
        case State::SendingFile:
        case State::Closing:
            // Further requests wait until the file has gone out.
            return;
        }
    }
}

void HttpConnection::beginRequest(HttpRequest request)
{
    m_request = std::move(request);
    m_keepAlive = m_request.wantsKeepAlive();
    const qint64 length = m_request.contentLength;
    if (length > m_handler->bodyLimit(m_request)) {
        answerEarly(errorAnswer(413), length, m_limits.refusedBodyDrain);
        return;
    }
    if (std::optional<HttpResponse> early = m_handler->precheck(m_request)) {
        answerEarly(std::move(*early), length, length);
        return;
    }
    if (length > 0 && m_request.expectsContinue())
        m_socket->write("HTTP/1.1 100 Continue\r\n\r\n");
    m_receiver = m_handler->receiverFor(m_request);
    m_bodyLeft = length;
    m_state = State::ReadingBody;
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
        if (!accepted) {
            HttpResponse response = m_handler->respond(m_request, m_receiver.get());
            m_receiver.reset();
            answerEarly(std::move(response), m_bodyLeft, m_bodyLeft);
            return true;
        }
        if (m_bodyLeft > 0)
            return false;
    }
    HttpResponse response = m_handler->respond(m_request, m_receiver.get());
    m_receiver.reset();
    answer(std::move(response));
    return true;
}

void HttpConnection::answer(HttpResponse response)
{
    if (response.closeConnection)
        m_keepAlive = false;
    const bool headOnly = m_request.method == "HEAD";
    if (!response.filePath.isEmpty() && !headOnly) {
        m_file.setFileName(response.filePath);
        if (!m_file.open(QIODevice::ReadOnly) || !m_file.seek(response.fileOffset)) {
            m_file.close();
            m_keepAlive = false;
            m_socket->write(serializeResponse(errorAnswer(500), false, false));
            closeAfterWrite();
            return;
        }
        m_fileLeft = response.fileLength;
        m_socket->write(serializeResponseHead(response, m_keepAlive));
        m_state = State::SendingFile;
        sendFileChunk();
        return;
    }
    m_socket->write(serializeResponse(response, m_keepAlive, headOnly));
    if (!m_keepAlive) {
        closeAfterWrite();
        return;
    }
    m_state = State::ReadingHead;
}

void HttpConnection::answerEarly(HttpResponse response, qint64 unreadBody, qint64 drainBudget)
{
    m_keepAlive = false;
    m_socket->write(serializeResponse(response, false, m_request.method == "HEAD"));
    m_socket->flush();
    m_drainLeft = unreadBody;
    m_drainBudget = drainBudget;
    if (m_drainLeft <= 0) {
        closeAfterWrite();
        return;
    }
    m_state = State::Draining;
    drainInput();
}

void HttpConnection::drainInput()
{
    const qint64 n = qMin<qint64>(m_input.size(), m_drainLeft);
    m_input.remove(0, n);
    m_drainLeft -= n;
    m_drainBudget -= n;
    if (m_drainLeft <= 0 || m_drainBudget <= 0)
        closeAfterWrite();
}

bool HttpConnection::sendFileChunk()
{
    while (m_fileLeft > 0 && m_socket->bytesToWrite() < FileWriteWindow) {
        const QByteArray chunk = m_file.read(qMin(FileChunkSize, m_fileLeft));
        if (chunk.isEmpty()) {
            // The file shrank under us: the promised length cannot be kept.
            m_socket->abort();
            return false;
        }
        m_fileLeft -= chunk.size();
        m_socket->write(chunk);
    }
    if (m_fileLeft > 0)
        return false;
    m_file.close();
    if (!m_keepAlive) {
        closeAfterWrite();
        return false;
    }
    m_state = State::ReadingHead;
    return true;
}

void HttpConnection::closeAfterWrite()
{
    m_state = State::Closing;
    m_input.clear();
    m_receiver.reset();
    // Sends what is queued, then closes.
    m_socket->disconnectFromHost();
}
