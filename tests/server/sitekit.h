#pragma once

#include <QByteArray>

class SiteProcess;

// The uploader's requests to the stand-in site byte for byte as it writes them
// (the login request is the uploader's own), and plain-socket HTTP over loopback.
namespace SiteKit {

// Ends with "Connection: Keep-Alive" and three CR LF pairs.
QByteArray uploadPageRequest(const QByteArray &cookiePair);
// The fixed 1347-byte metadata form, sent with two CR LF pairs after it.
QByteArray metadataBody();
QByteArray metadataRequest(const QByteArray &cookiePair);

struct FilePost
{
    QByteArray title = "clip";
    QByteArray description;
    QByteArray tags;
    QByteArray category = "22";
    QByteArray addresser;
    QByteArray file;
};
// 22 parts, two of them a header line alone, the file last, nothing after the
// closing delimiter.
QByteArray filePostBody(const FilePost &post);
QByteArray filePostRequest(const FilePost &post, const QByteArray &cookiePair);

// `size` bytes holding NULs, CR LF and the boundary text between varied bytes.
QByteArray trickyFile(int size, int seed = 0);

// Writes the request and returns the first piece of the answer: all the
// uploader reads before it looks for its marker.
QByteArray firstRead(quint16 port, const QByteArray &request);

struct Answer
{
    int status = 0;
    QByteArray head;
    QByteArray body;
    QByteArray header(const QByteArray &name) const;
};
// GET with "Connection: close", read until the server closes.
Answer get(quint16 port, const QByteArray &path, const QByteArray &extraHeaders = {});
Answer fetch(quint16 port, const QByteArray &request);

// The uploader's steps; each returns what it took from the answer, or empty.
QByteArray login(const SiteProcess &site, const QString &user, const QString &password);
QByteArray ticket(const SiteProcess &site, const QByteArray &cookiePair);
QByteArray videoId(const QByteArray &piece);

} // namespace SiteKit
