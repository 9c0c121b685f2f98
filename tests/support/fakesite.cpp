#include "fakesite.h"

#include "engine/net/routes.h"

#include "uplark_config.h"

#include <QTimer>

#include <sys/socket.h>

#include <utility>

using namespace Qt::StringLiterals;
using namespace uplark;

namespace {

// The metadata form's answer, whose form posts the file to `action`.
QByteArray uploadForm(const QByteArray &action)
{
    return "HTTP/1.1 200 OK\r\n\r\n<form enctype=\"multipart/form-data\" action=\"" + action
           + "\" name=\"theForm\" method=\"post\">\n"
             "<input type=\"hidden\" name=\"addresser\" value=\"addr77\">\n</form>";
}

} // namespace

FakeSite::FakeSite()
{
    scripts[Login].pieces = {"HTTP/1.1 200 OK\r\nSet-Cookie: LOGIN_INFO=fakecookie42; path=/; "
                             "HttpOnly\r\nContent-Length: 0\r\n\r\n"};
    scripts[UploadPage].pieces = {"HTTP/1.1 200 OK\r\n\r\n<html><script>\n"
                                  "var gXSRF_token = 'tok123';\n</script></html>"};
    scripts[MetadataForm].pieces = {uploadForm("http://upload.invalid:8080/my_videos_post")};
    scripts[FilePost].pieces = {"HTTP/1.1 200 OK\r\n\r\nvideo_id=vid42&status=ok"};
    scripts[Conversion].pieces = {"HTTP/1.1 200 OK\r\nContent-Length: 44\r\n\r\n"
                                  "<TITLE>T</TITLE><DSCR>D</DSCR><TAGS>G</TAGS>"};
    clock.start();
}

QString FakeSite::address()
{
    scripts[MetadataForm].pieces = {
        uploadForm("http://127.0.0.1:" + QByteArray::number(uploadPort()) + "/my_videos_post")};
    return u"127.0.0.1:"_s + QString::number(sitePort());
}

bool FakeSite::start()
{
    if (!m_site.listen(QHostAddress::LocalHost, 0) || !m_upload.listen(QHostAddress::LocalHost, 0))
        return false;
    connect(&m_site, &QTcpServer::newConnection, this, [this] { accept(m_site, false); });
    connect(&m_upload, &QTcpServer::newConnection, this, [this] { accept(m_upload, true); });
    return true;
}

void FakeSite::route(RouteTable &routes) const
{
    routes.add(QString::fromLatin1(SiteHost), SitePort, u"127.0.0.1"_s, m_site.serverPort());
    routes.add(QString::fromLatin1(UploadHost), UploadFormPort, u"127.0.0.1"_s, uploadPort());
}

void FakeSite::resetUpload()
{
    if (m_lastUpload)
        m_lastUpload->abort();
}

void FakeSite::accept(QTcpServer &server, bool upload)
{
    while (QTcpSocket *socket = server.nextPendingConnection()) {
        if (upload) {
            ++uploadConnections;
            m_lastUpload = socket;
            received[FilePost].clear();
            firstPostByteAt = lastPostByteAt = -1;
        }
        connect(socket, &QTcpSocket::readyRead, this,
                [this, socket, c = Connection{upload ? FilePost : -1, false, {}}]() mutable {
                    readFrom(socket, c);
                });
    }
}

void FakeSite::readFrom(QTcpSocket *socket, Connection &c)
{
    if (c.step < 0) {
        c.start += socket->readAll();
        // The request lines of the site's steps; the file post comes to the
        // upload server, whose connections know their step from the start.
        static const std::pair<Step, QByteArray> lines[] = {
            {Login, "POST /signup"},
            {UploadPage, "GET /my_videos_upload "},
            {MetadataForm, "POST /my_videos_upload "},
            {Conversion, "POST /conversions/str.asp "}};
        for (const auto &[step, line] : lines) {
            if (c.step < 0 && c.start.startsWith(line))
                c.step = step;
        }
        if (c.step < 0)
            return;
        received[c.step] = std::exchange(c.start, QByteArray());
    } else {
        const QByteArray bytes = socket->readAll();
        if (c.step == FilePost) {
            lastPostByteAt = clock.elapsed();
            if (firstPostByteAt < 0) {
                firstPostByteAt = lastPostByteAt;
                firstPostBytes = bytes.size();
            }
        }
        received[c.step] += bytes;
    }
    const QByteArray &bytes = received[c.step];
    const qsizetype headerEnd = bytes.indexOf("\r\n\r\n");
    if (c.done || headerEnd < 0)
        return;
    qint64 length = 0;
    for (const QByteArray &line : bytes.left(headerEnd).split('\n')) {
        if (line.startsWith("Content-Length: "))
            length = line.mid(16).trimmed().toLongLong();
    }
    if (bytes.size() < headerEnd + 4 + length)
        return;
    c.done = true;
    ++complete[c.step];
    Q_EMIT requestComplete(Step(c.step));
    const Script &script = scripts[c.step];
    if (!script.silent)
        writePieces(socket, script.pieces, script.end, script.interval);
}

void FakeSite::writePieces(QPointer<QTcpSocket> socket, QList<QByteArray> pieces, End end,
                           int interval)
{
    if (!socket)
        return;
    if (!pieces.isEmpty())
        socket->write(pieces.takeFirst());
    if (!pieces.isEmpty()) {
        QTimer::singleShot(interval, this, [this, socket, pieces, end, interval] {
            writePieces(socket, pieces, end, interval);
        });
        return;
    }
    if (end == End::Close) {
        socket->disconnectFromHost();
    } else if (end == End::Reset) {
        // A zero linger time makes the close a reset.
        socket->flush();
        const linger now{1, 0};
        ::setsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &now, sizeof now);
        socket->abort();
    }
}

bool FakeSite::hangUploads(RouteTable &routes)
{
    // One connection fills the queue of a backlog of 0; later opening
    // requests are dropped and retried by the client's system.
    m_hanging.setListenBacklogSize(0);
    if (!m_hanging.listen(QHostAddress::LocalHost, 0))
        return false;
    m_hanging.pauseAccepting();
    m_filler.connectToHost(QHostAddress::LocalHost, m_hanging.serverPort());
    if (!m_filler.waitForConnected(5000))
        return false;
    routes.add(QString::fromLatin1(UploadHost), UploadFormPort, u"127.0.0.1"_s,
               m_hanging.serverPort());
    return true;
}
