#pragma once

#include "server/httphandler.h"
#include "server/httprequest.h"

#include <QByteArray>
#include <QFile>
#include <QObject>
#include <QTimer>

#include <memory>

class QTcpSocket;

// One client connection of an HttpServer: reads requests one after another,
// hands them to the handler, and writes the answers. Request bodies reach the
// handler's BodyReceiver as they arrive, so a large upload is never held in
// memory. Answers held in memory go out in a single write; file answers are
// streamed as the socket drains.
class HttpConnection : public QObject
{
    Q_OBJECT

public:
    HttpConnection(QTcpSocket *socket, HttpHandler *handler, const HttpLimits &limits,
                   QObject *parent = nullptr);
    ~HttpConnection() override;

Q_SIGNALS:
    // The connection has ended; the server deletes it.
    void closed();

private:
    enum class State { ReadingHead, ReadingBody, Draining, SendingFile, Closing };

    void onReadyRead();
    void onBytesWritten();
    void processInput();
    void beginRequest(HttpRequest request);
    // Feeds buffered input to the body; true when the request was answered.
    bool receiveBody();
    void drainInput();
    void answer(HttpResponse response);
    // Answers before the body has been read, then drains up to drainBudget
    // bytes of it and closes.
    void answerEarly(HttpResponse response, qint64 unreadBody, qint64 drainBudget);
    // Tops up the file answer; true when it is complete and the next request may be read.
    bool sendFileChunk();
    void closeAfterWrite();
    void finish();

    QTcpSocket *m_socket;
    HttpHandler *m_handler;
    HttpLimits m_limits;
    QTimer m_idleTimer;
    State m_state = State::ReadingHead;
    QByteArray m_input;
    HttpRequest m_request;
    std::unique_ptr<BodyReceiver> m_receiver;
    qint64 m_bodyLeft = 0;
    qint64 m_drainLeft = 0;
    qint64 m_drainBudget = 0;
    QFile m_file;
    qint64 m_fileLeft = 0;
    bool m_keepAlive = true;
    bool m_finished = false;
};
