#include "httpstub.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

HttpStub::HttpStub(Mode mode, const QByteArray &answer)
    : m_mode(mode)
    , m_answer(answer)
{
    m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    ::bind(m_listen, reinterpret_cast<sockaddr *>(&addr), sizeof addr);
    ::listen(m_listen, 8);
    socklen_t len = sizeof addr;
    ::getsockname(m_listen, reinterpret_cast<sockaddr *>(&addr), &len);
    m_port = ntohs(addr.sin_port);
    m_thread = std::thread([this] { run(); });
}

HttpStub::~HttpStub()
{
    m_stop = true;
    m_thread.join();
    for (int fd : m_held)
        ::close(fd);
    ::close(m_listen);
}

QList<QByteArray> HttpStub::requests() const
{
    std::lock_guard guard(m_lock);
    return m_requests;
}

QByteArray HttpStub::Response(const QByteArray &body, int status)
{
    return "HTTP/1.1 " + QByteArray::number(status) + " Status\r\n"
           "Content-Type: text/html\r\n"
           "Content-Length: " + QByteArray::number(body.size()) + "\r\n"
           "Connection: close\r\n\r\n" + body;
}

void HttpStub::run()
{
    while (!m_stop) {
        pollfd p{m_listen, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0)
            continue;
        const int fd = ::accept(m_listen, nullptr, nullptr);
        if (fd < 0)
            continue;
        if (m_mode == Mode::Refuse) {
            ::close(fd);
            continue;
        }
        const QByteArray request = readRequest(fd);
        {
            std::lock_guard guard(m_lock);
            m_requests.append(request);
        }
        if (m_mode == Mode::Silent) {
            m_held.append(fd);
            continue;
        }
        qsizetype sent = 0;
        while (sent < m_answer.size()) {
            const ssize_t n = ::send(
                fd, m_answer.constData() + sent, size_t(m_answer.size() - sent), MSG_NOSIGNAL);
            if (n <= 0)
                break;
            sent += n;
        }
        ::shutdown(fd, SHUT_WR);
        ::close(fd);
    }
}

QByteArray HttpStub::readRequest(int fd)
{
    QByteArray data;
    qsizetype needed = -1; // total length once the headers are known
    while (!m_stop) {
        if (needed < 0) {
            const qsizetype end = data.indexOf("\r\n\r\n");
            if (end >= 0) {
                qsizetype length = 0;
                const QByteArray head = data.left(end).toLower();
                const qsizetype at = head.indexOf("\r\ncontent-length:");
                if (at >= 0) {
                    const qsizetype lineEnd = head.indexOf("\r\n", at + 2);
                    length = head.mid(at + 17, lineEnd < 0 ? -1 : lineEnd - at - 17)
                                 .trimmed()
                                 .toLongLong();
                }
                needed = end + 4 + length;
            }
        }
        if (needed >= 0 && data.size() >= needed)
            break;
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0)
            continue;
        char buffer[16384];
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        data.append(buffer, n);
    }
    return data;
}
