#include "rawhttp.h"

#include "siteprocess.h"

#include <QDeadlineTimer>
#include <QTcpSocket>

namespace RawHttp {

QByteArray firstRead(quint16 port, const QByteArray &request, int timeoutMs)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(5000))
        return {};
    socket.write(request);
    // waitForReadyRead also sends what is still queued.
    if (!socket.waitForReadyRead(timeoutMs))
        return {};
    return socket.readAll();
}

QByteArray Answer::header(const QByteArray &name) const
{
    const QList<QByteArray> lines = head.split('\n');
    for (const QByteArray &line : lines) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().toLower() == name.toLower())
            return line.mid(colon + 1).trimmed();
    }
    return {};
}

Answer parse(const QByteArray &wire)
{
    Answer answer;
    const qsizetype end = wire.indexOf("\r\n\r\n");
    answer.head = end < 0 ? wire : wire.left(end);
    answer.body = end < 0 ? QByteArray() : wire.mid(end + 4);
    const QList<QByteArray> statusLine = answer.head.left(answer.head.indexOf("\r\n")).split(' ');
    if (statusLine.size() >= 2)
        answer.status = statusLine.at(1).toInt();
    return answer;
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
    return parse(wire);
}

Answer get(quint16 port, const QByteArray &path, const QByteArray &cookiePair, const QByteArray &extraHeaders,
           const QByteArray &method)
{
    QByteArray request = method + ' ' + path + " HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n";
    if (!cookiePair.isEmpty())
        request += "Cookie: " + cookiePair + "\r\n";
    request += extraHeaders + "\r\n";
    return fetch(port, request);
}

} // namespace RawHttp

namespace UploadSteps {

QByteArray login(const SiteProcess &site, const QByteArray &user, const QByteArray &password)
{
    return ClientWire::loginCookie(RawHttp::firstRead(site.sitePort(), ClientWire::loginRequest(user, password)));
}

UploadForm uploadForm(const SiteProcess &site, const QByteArray &cookiePair)
{
    const QByteArray piece = RawHttp::firstRead(site.sitePort(), ClientWire::metadataRequest(cookiePair));
    return UploadForm{ClientWire::addresser(piece), ClientWire::action(piece)};
}

QByteArray post(const SiteProcess &site, const ClientWire::FilePost &post, const QByteArray &cookiePair)
{
    return RawHttp::firstRead(site.uploadPort(), ClientWire::filePostRequest(post, cookiePair));
}

QByteArray uploadVideo(const SiteProcess &site, const QByteArray &cookiePair, ClientWire::FilePost filePost)
{
    filePost.addresser = uploadForm(site, cookiePair).ticket;
    return ClientWire::videoId(post(site, filePost, cookiePair));
}

} // namespace UploadSteps
