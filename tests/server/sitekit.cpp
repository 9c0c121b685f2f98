#include "sitekit.h"

#include "siteprocess.h"

#include "account/login.h"
#include "site/markers.h"
#include "site/wire.h"
#include "uplark_config.h"

#include <QDeadlineTimer>
#include <QList>
#include <QTcpSocket>

namespace SiteKit {

namespace {

const QByteArray Delimiter = "--" + Boundary;
const QByteArray HostLine = "Host: " + QByteArray(SiteHost) + CRLF;
const QByteArray Accept = "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*" + CRLF;

QByteArray disposition(const QByteArray &name)
{
    return "Content-Disposition: form-data; name=\"" + name + '"';
}

} // namespace

QByteArray uploadPageRequest(const QByteArray &cookiePair)
{
    return "GET /my_videos_upload HTTP/1.1" + CRLF + Accept + "Accept-Language: en-GB" + CRLF + "Cookie: "
           + cookiePair + CRLF + UserAgentLine() + CRLF + HostLine + "Connection: Keep-Alive" + CRLF + CRLF + CRLF;
}

QByteArray metadataBody()
{
    const QList<std::pair<QByteArray, QByteArray>> fields = {
        {"field_myvideo_title", "title"}, {"field_myvideo_descr", "dd"}, {"language", "EN"},
        {"field_myvideo_categories", "23"}, {"field_myvideo_keywords", "tags"}, {"ignore_broadcast_settings", "0"},
        {"field_privacy", "public"}, {"field_date_mon", "0"}, {"field_date_day", "0"}, {"field_date_yr", "0"},
        {"location", ""}, {"allow_comments", "Yes"}, {"allow_comment_ratings", "Yes"}, {"allow_responses", "Yes"},
        {"allow_ratings", "Yes"}, {"allow_embedding", "Yes"}, {"allow_syndication", "Yes"},
        {"action_upload", "Upload a video..."}};
    QByteArray body = Delimiter;
    for (const auto &[name, value] : fields)
        body += CRLF + disposition(name) + CRLF + CRLF + value + CRLF + Delimiter;
    return body + "--";
}

QByteArray metadataRequest(const QByteArray &cookiePair)
{
    const QByteArray body = metadataBody();
    return "POST /my_videos_upload HTTP/1.1" + CRLF + Accept + "Accept-Language: slm" + CRLF
           + "Content-Type: multipart/form-data; charset=utf-8; boundary=" + Boundary + CRLF + "Cookie: "
           + cookiePair + CRLF + UserAgentLine() + CRLF + "Content-Length: " + QByteArray::number(body.size())
           + CRLF + HostLine + "Connection: Keep-Alive" + CRLF + CRLF + body + CRLF + CRLF;
}

QByteArray filePostBody(const FilePost &post)
{
    const QList<std::pair<QByteArray, QByteArray>> fields = {
        {"field_command", "myvideo_submit"}, {"field_myvideo_keywords", post.tags},
        {"field_myvideo_title", post.title}, {"field_myvideo_descr", post.description},
        {"field_myvideo_categories", post.category}, {"language", "EN"}, {"field_privacy", "public"},
        {"field_private_share_entities", {}}, {"addresser", post.addresser}, {"contact", {}},
        {"field_date_day", "0"}, {"field_date_yr", "0"}, {"field_date_mon", "0"}, {"location", {}},
        {"allow_comments", "Yes"}, {"allow_comment_ratings", "Yes"}, {"allow_responses", "Yes"},
        {"allow_embedding", "Yes"}, {"allow_offweb", {}}, {"allow_ratings", "Yes"}, {"allow_syndication", "Yes"}};
    QByteArray body = Delimiter + CRLF;
    for (const auto &[name, value] : fields) {
        // Two parts are a header line alone.
        const bool headerOnly = name == "field_private_share_entities" || name == "allow_offweb";
        body += disposition(name) + CRLF + (headerOnly ? QByteArray() : CRLF + value) + CRLF + Delimiter + CRLF;
    }
    return body + disposition("field_uploadfile") + "; filename=\"/home/someone/My Videos/holiday clip.wmv\""
           + CRLF + "Content-Type: video/x-ms-wmv" + CRLF + CRLF + post.file + CRLF + Delimiter + "--";
}

QByteArray filePostRequest(const FilePost &post, const QByteArray &cookiePair)
{
    const QByteArray body = filePostBody(post);
    return "POST /my_videos_post HTTP/1.1" + CRLF + "Accept: */*" + CRLF + UserAgentLine() + CRLF + HostLine
           + "Content-Type: multipart/form-data; boundary=" + Boundary + CRLF + "Content-Length: "
           + QByteArray::number(body.size()) + CRLF + "Cookie: " + cookiePair + CRLF + "Connection: Keep-Alive"
           + CRLF + CRLF + body;
}

QByteArray trickyFile(int size, int seed)
{
    QByteArray file(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        file[i] = char((uint(i) * 131 + uint(seed) * 7 + uint(i) / 251) % 256);
    const QByteArray trap("\0\r\n" "--Xu02=$\r\n\r\n\0--Xu02=$--\r\n", 28);
    for (int at : {0, size / 2, size - 28})
        file.replace(at, trap.size(), trap);
    return file;
}

QByteArray firstRead(quint16 port, const QByteArray &request)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(5000))
        return {};
    socket.write(request);
    // waitForReadyRead also sends what is still queued.
    return socket.waitForReadyRead(30000) ? socket.readAll() : QByteArray();
}

QByteArray Answer::header(const QByteArray &name) const
{
    for (const QByteArray &line : head.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().toLower() == name.toLower())
            return line.mid(colon + 1).trimmed();
    }
    return {};
}

Answer fetch(quint16 port, const QByteArray &request)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(5000))
        return {};
    socket.write(request);
    QByteArray wire;
    QDeadlineTimer deadline(30000);
    while (socket.state() == QAbstractSocket::ConnectedState && !deadline.hasExpired()) {
        socket.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
        wire += socket.readAll();
    }
    wire += socket.readAll();
    Answer answer;
    const qsizetype end = wire.indexOf("\r\n\r\n");
    answer.head = end < 0 ? wire : wire.left(end);
    answer.body = end < 0 ? QByteArray() : wire.mid(end + 4);
    answer.status = answer.head.split(' ').value(1).toInt();
    return answer;
}

Answer get(quint16 port, const QByteArray &path, const QByteArray &extraHeaders)
{
    return fetch(port, "GET " + path + " HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n" + extraHeaders + CRLF);
}

QByteArray login(const SiteProcess &site, const QString &user, const QString &password)
{
    const QByteArray piece = firstRead(site.sitePort(), LoginRequest(SiteHost, user, password));
    return ScanLoginAnswer(piece) == LoginOutcome::LoggedIn ? LoginCookie(piece) : QByteArray();
}

QByteArray ticket(const SiteProcess &site, const QByteArray &cookiePair)
{
    const QByteArray piece = firstRead(site.sitePort(), metadataRequest(cookiePair));
    return CutBetween(SplitPiece(piece, "addresser", 1), "value=\"", "\">");
}

QByteArray videoId(const QByteArray &piece)
{
    return CutBetween(piece, "video_id=", "&");
}

} // namespace SiteKit
