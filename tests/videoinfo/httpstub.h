#pragma once

#include <QByteArray>
#include <QList>

#include <atomic>
#include <mutex>
#include <thread>

// A tiny HTTP server on 127.0.0.1 with an ephemeral port, run on its own
// thread: the synchronous request under test blocks the test's thread, so
// the server cannot live on it. Each connection gets one request read
// (headers and Content-Length bytes of body), recorded, and then:
//   Answer  - the canned answer is written and the connection closed;
//   Silent  - nothing is written; the connection stays open until the stub ends;
//   Refuse  - the connection is closed at once, before reading anything.
class HttpStub
{
public:
    enum class Mode { Answer, Silent, Refuse };

    explicit HttpStub(Mode mode, const QByteArray &answer = {});
    ~HttpStub();

    quint16 port() const { return m_port; }
    QList<QByteArray> requests() const;

    // A whole HTTP/1.1 answer with the given status and body.
    static QByteArray Response(const QByteArray &body, int status = 200);

private:
    void run();
    QByteArray readRequest(int fd);

    Mode m_mode;
    QByteArray m_answer;
    int m_listen = -1;
    quint16 m_port = 0;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_lock;
    QList<QByteArray> m_requests;
    QList<int> m_held; // connections kept open in Silent mode
    std::thread m_thread;
};
