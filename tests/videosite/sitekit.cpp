#include "sitekit.h"

#include "siteprocess.h"

#include "engine/protocol/login.h"
#include "engine/protocol/filepost.h"
#include "engine/protocol/markers.h"
#include "engine/protocol/metadataform.h"
#include "uplark_config.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTcpSocket>

#include <algorithm>

using namespace uplark;

namespace SiteKit {

std::unique_ptr<QTcpSocket> connectFrom(int octet, quint16 port, const QSslCertificate &authority)
{
    auto socket =
        authority.isNull() ? std::make_unique<QTcpSocket>() : std::make_unique<QSslSocket>();
    socket->bind(QHostAddress(QStringLiteral("127.0.0.%1").arg(octet)), 0);
    if (authority.isNull()) {
        socket->connectToHost(QHostAddress::LocalHost, port);
        return socket;
    }
    auto *tls = static_cast<QSslSocket *>(socket.get());
    QSslConfiguration trust = QSslConfiguration::defaultConfiguration();
    trust.setCaCertificates({authority});
    tls->setSslConfiguration(trust);
    tls->connectToHostEncrypted(QStringLiteral("localhost"), port);
    return socket;
}

QByteArray trickyFile(int size)
{
    QByteArray file(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        file[i] = char((uint(i) * 131 + uint(i) / 251) % 256);
    const QByteArray trap("\0\r\n"
                          "--Xu02=$\r\n\r\n\0--Xu02=$--\r\n",
                          28);
    for (int at : {0, size / 2, size - 28})
        file.replace(at, trap.size(), trap);
    return file;
}

QByteArray filePost(const QByteArray &cookie, const QByteArray &addresser, const QByteArray &file,
                    const QByteArray &title, const QByteArray &description)
{
    FilePostFields fields;
    fields.title = title;
    fields.description = description;
    fields.category = "22";
    fields.addresser = addresser;
    fields.loginCookie = cookie;
    UrlParts target;
    target.host = "localhost";
    return buildFilePost(file, target,
                         quotedPath(QStringLiteral("/home/someone/My Videos/holiday clip.wmv")),
                         fields);
}

QByteArray head(const QByteArray &requestLine, const QByteArray &headers)
{
    return requestLine + " HTTP/1.1\r\nHost: localhost\r\n" + headers + "\r\n";
}

QByteArray post(const QByteArray &path, qint64 length, const QByteArray &body,
                const QByteArray &headers)
{
    return head("POST " + path, "Content-Length: " + QByteArray::number(length) + "\r\n" + headers)
           + body;
}

std::unique_ptr<QTcpSocket> connectTo(quint16 port, const QSslCertificate &authority, int octet)
{
    auto socket = connectFrom(octet, port, authority);
    auto *tls = qobject_cast<QSslSocket *>(socket.get());
    const bool made = tls ? tls->waitForEncrypted(10000) : socket->waitForConnected(5000);
    return made ? std::move(socket) : nullptr;
}

qsizetype countIn(const Sockets &sockets, QAbstractSocket::SocketState state)
{
    return std::count_if(sockets.begin(), sockets.end(),
                         [state](const auto &s) { return s->state() == state; });
}

qint64 memoryOf(SiteProcess &site, QByteArrayView field)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(site.process().processId()));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(field.size()).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// Writes the request and reads the first piece of the answer, or all of it
// until the server closes.
static QByteArray exchange(quint16 port, const QByteArray &request,
                           const QSslCertificate &authority, bool whole)
{
    const std::unique_ptr<QTcpSocket> socket = connectTo(port, authority);
    if (!socket)
        return {};
    socket->write(request);
    QByteArray wire;
    QDeadlineTimer deadline(30000);
    while ((whole || wire.isEmpty()) && socket->state() == QAbstractSocket::ConnectedState
           && !deadline.hasExpired()) {
        // waitForReadyRead also sends what is still queued.
        socket->waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
        wire += socket->readAll();
    }
    return whole ? wire + socket->readAll() : wire;
}

QByteArray firstRead(quint16 port, const QByteArray &request, const QSslCertificate &authority)
{
    return exchange(port, request, authority, false);
}

Answer fetch(quint16 port, const QByteArray &request, const QSslCertificate &authority)
{
    const QByteArray wire = exchange(port, request, authority, true);
    const qsizetype end = wire.indexOf("\r\n\r\n");
    return {wire.mid(9, 3).toInt(), wire.left(end), end < 0 ? QByteArray() : wire.mid(end + 4)};
}

Answer get(quint16 port, const QByteArray &path, const QByteArray &extraHeaders,
           const QSslCertificate &authority)
{
    return fetch(port, head("GET " + path, "Connection: close\r\n" + extraHeaders), authority);
}

QByteArray login(const SiteProcess &site, const QString &user, const QString &password,
                 const QSslCertificate &authority)
{
    const QByteArray piece =
        firstRead(site.sitePort(), loginRequest(SiteHost, user, password), authority);
    return scanLoginAnswer(piece) == LoginOutcome::LoggedIn ? scanLoginCookie(piece) : QByteArray();
}

QByteArray ticket(const SiteProcess &site, const QByteArray &cookie,
                  const QSslCertificate &authority)
{
    return uploadFormAddresser(
               firstRead(site.sitePort(), metadataRequest(SiteHost, cookie), authority))
        .value_or(QByteArray());
}

QByteArray videoId(const QByteArray &piece)
{
    return cutBetween(piece, "video_id=", "&");
}

} // namespace SiteKit
