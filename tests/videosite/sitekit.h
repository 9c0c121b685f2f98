#pragma once

#include <QByteArray>
#include <QSslCertificate>
#include <QTcpSocket>

#include <memory>
#include <vector>

class SiteProcess;

// Plain-socket HTTP over loopback, and the uploader's steps with the stand-in
// site made with the uploader's own requests.
namespace SiteKit {

using Sockets = std::vector<std::unique_ptr<QTcpSocket>>;

// `size` bytes holding NULs, CR LF and the boundary text between varied bytes.
QByteArray trickyFile(int size);

// The uploader's file post of `file`, in category 22.
QByteArray filePost(const QByteArray &cookie, const QByteArray &addresser, const QByteArray &file,
                    const QByteArray &title = "clip", const QByteArray &description = {});

// "METHOD PATH HTTP/1.1" with Host, the given header lines and the end of the head.
QByteArray head(const QByteArray &requestLine, const QByteArray &headers = {});
// A POST whose head announces `length` bytes, followed by `body`.
QByteArray post(const QByteArray &path, qint64 length, const QByteArray &body,
                const QByteArray &headers = {});

// A connection to the port from 127.0.0.<octet>, still being made (the server
// tells clients apart by address); over TLS to "localhost" when an authority
// is given, trusting it alone.
std::unique_ptr<QTcpSocket> connectFrom(int octet, quint16 port,
                                        const QSslCertificate &authority = QSslCertificate());
// The same once made; null when it could not be made.
std::unique_ptr<QTcpSocket> connectTo(quint16 port,
                                      const QSslCertificate &authority = QSslCertificate(),
                                      int octet = 1);
// How many of the sockets are in the state.
qsizetype countIn(const Sockets &sockets, QAbstractSocket::SocketState state);

// Writes the request and returns the first piece of the answer: all the
// uploader reads before it looks for its marker.
QByteArray firstRead(quint16 port, const QByteArray &request,
                     const QSslCertificate &authority = QSslCertificate());

struct Answer
{
    int status = 0;
    QByteArray head;
    QByteArray body;
};
// Writes the request and reads until the server closes.
Answer fetch(quint16 port, const QByteArray &request,
             const QSslCertificate &authority = QSslCertificate());
// GET with "Connection: close".
Answer get(quint16 port, const QByteArray &path, const QByteArray &extraHeaders = {},
           const QSslCertificate &authority = QSslCertificate());

// Under AddressSanitizer redzones and the quarantine swamp the server's own
// buffers: memory bounds are checked in plain builds only.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool MemoryMeasured = false;
#else
constexpr bool MemoryMeasured = true;
#endif
// A field of the server's /proc status ("VmRSS:", "VmHWM:"), in KiB.
qint64 memoryOf(SiteProcess &site, QByteArrayView field);

// The uploader's steps; each returns what it took from the answer, or empty.
QByteArray login(const SiteProcess &site, const QString &user, const QString &password,
                 const QSslCertificate &authority = QSslCertificate());
QByteArray ticket(const SiteProcess &site, const QByteArray &cookie,
                  const QSslCertificate &authority = QSslCertificate());
QByteArray videoId(const QByteArray &piece);

} // namespace SiteKit
