#include "fakesite.h"

#include "platform/routes.h"

#include "uplark_config.h"

#include <QTcpSocket>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

struct FakeSite::Connection
{
    QPointer<QTcpSocket> socket;
    bool upload = false;
    int step = -1;
    bool done = false;
    QByteArray bytes;
};

FakeSite::FakeSite()
{
    scripts[Login].pieces = {
        "HTTP/1.1 200 OK\r\nSet-Cookie: LOGIN_INFO=fakecookie42; path=/; HttpOnly\r\n"
        "Content-Length: 0\r\n\r\n"};
    scripts[UploadPage].pieces = {
        "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n<html><script>\n"
        "var gXSRF_token = 'tok123';\n</script></html>"};
    scripts[MetadataForm].pieces = {
        "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n"
        "<form enctype=\"multipart/form-data\" action=\"http://upload.invalid:8080/my_videos_post\""
        " name=\"theForm\" method=\"post\">\n"
        "<input type=\"hidden\" name=\"addresser\" value=\"addr77\">\n</form>"};
    scripts[FilePost].pieces = {"HTTP/1.1 200 OK\r\n\r\nvideo_id=vid42&status=ok"};
}

FakeSite::~FakeSite()
{
    for (Connection *c : std::as_const(m_connections)) {
        if (c->socket)
            c->socket->abort();
        delete c;
    }
}

bool FakeSite::start()
{
    if (!m_site.listen(QHostAddress::LocalHost, 0) || !m_upload.listen(QHostAddress::LocalHost, 0))
        return false;
    m_uploadPort = m_upload.serverPort();
    connect(&m_site, &QTcpServer::newConnection, this, [this] { accept(m_site, false); });
    connect(&m_upload, &QTcpServer::newConnection, this, [this] { accept(m_upload, true); });
    return true;
}

void FakeSite::route(RouteTable &routes) const
{
    routes.add(QString::fromLatin1(SiteHost), SitePort, u"127.0.0.1"_s, sitePort());
    routes.add(QString::fromLatin1(UploadHost), UploadFormPort, u"127.0.0.1"_s, m_uploadPort);
}

void FakeSite::refuseUploads()
{
    m_upload.close();
}

void FakeSite::refuseSite()
{
    m_site.close();
}

QByteArray FakeSite::stepName(Step step)
{
    static const char *names[] = {"login", "upload page", "metadata form", "file post"};
    return names[step];
}

void FakeSite::accept(QTcpServer &server, bool upload)
{
    while (QTcpSocket *socket = server.nextPendingConnection()) {
        auto *c = new Connection;
        c->socket = socket;
        c->upload = upload;
        m_connections.append(c);
        if (upload) {
            ++uploadConnections;
            c->step = FilePost;
            ++requests[FilePost];
            received[FilePost].clear();
            m_latest[FilePost] = socket;
        } else {
            ++siteConnections;
        }
        connect(socket, &QTcpSocket::readyRead, this, [this, c] { readFrom(c); });
    }
}

void FakeSite::readFrom(Connection *c)
{
    if (!c->socket)
        return;
    const QByteArray more = c->socket->readAll();
    c->bytes += more;
    if (c->step < 0) {
        const qsizetype eol = c->bytes.indexOf("\r\n");
        if (eol < 0)
            return;
        const QByteArray line = c->bytes.left(eol);
        if (line.startsWith("POST /signup"))
            c->step = Login;
        else if (line.startsWith("GET /my_videos_upload"))
            c->step = UploadPage;
        else if (line.startsWith("POST /my_videos_upload"))
            c->step = MetadataForm;
        else
            return;
        ++requests[c->step];
        received[c->step].clear();
        m_latest[c->step] = c->socket;
        received[c->step] = c->bytes;
    } else {
        received[c->step] += more;
    }
    const Script &script = scripts[c->step];
    if (c->upload && script.resetAfter >= 0 && c->bytes.size() >= script.resetAfter) {
        c->socket->abort();
        return;
    }
    if (c->done)
        return;
    const qsizetype headerEnd = c->bytes.indexOf("\r\n\r\n");
    if (headerEnd < 0)
        return;
    qint64 length = 0;
    const QByteArray header = c->bytes.left(headerEnd);
    for (const QByteArray &line : header.split('\n')) {
        if (line.startsWith("Content-Length: "))
            length = line.mid(16).trimmed().toLongLong();
    }
    if (c->bytes.size() < headerEnd + 4 + length)
        return;
    c->done = true;
    // The rest of the upload is not kept in memory twice.
    if (c->upload)
        c->bytes.clear();
    ++complete[c->step];
    Q_EMIT requestComplete(Step(c->step));
    answer(c);
}

void FakeSite::answer(Connection *c)
{
    const Script &script = scripts[c->step];
    switch (script.mode) {
    case Script::Silent:
        return;
    case Script::Reset:
        c->socket->abort();
        return;
    case Script::Answer:
        writePieces(c->socket, script.pieces);
        return;
    }
}

void FakeSite::writePieces(QPointer<QTcpSocket> socket, QList<QByteArray> pieces)
{
    if (!socket || pieces.isEmpty())
        return;
    socket->write(pieces.takeFirst());
    socket->flush();
    if (!pieces.isEmpty())
        QTimer::singleShot(50, this, [this, socket, pieces] { writePieces(socket, pieces); });
}

void FakeSite::send(Step step, const QByteArray &bytes)
{
    if (QTcpSocket *socket = m_latest[step]) {
        socket->write(bytes);
        socket->flush();
    }
}

void FakeSite::reset(Step step)
{
    if (QTcpSocket *socket = m_latest[step])
        socket->abort();
}

HangingPort::HangingPort()
{
    m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
    if (m_listener < 0)
        return;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t len = sizeof addr;
    if (::bind(m_listener, reinterpret_cast<sockaddr *>(&addr), len) != 0
        || ::listen(m_listener, 0) != 0
        || ::getsockname(m_listener, reinterpret_cast<sockaddr *>(&addr), &len) != 0)
        return;
    // One connection fills the queue of a backlog of 0; later opening
    // requests are dropped and retried by the client's system.
    m_filler = ::socket(AF_INET, SOCK_STREAM, 0);
    if (m_filler < 0 || ::connect(m_filler, reinterpret_cast<sockaddr *>(&addr), len) != 0)
        return;
    m_port = ntohs(addr.sin_port);
}

HangingPort::~HangingPort()
{
    if (m_filler >= 0)
        ::close(m_filler);
    if (m_listener >= 0)
        ::close(m_listener);
}
