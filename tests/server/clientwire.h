#pragma once

#include <QByteArray>

// The uploader's requests exactly as it writes them on the wire, and its way
// of reading markers from an answer, for talking to the stand-in site as the
// uploader does.
namespace ClientWire {

inline constexpr char Boundary[] = "Xu02=$";
inline constexpr char Host[] = "localhost";

QByteArray loginBody(const QByteArray &user, const QByteArray &password);
// Ends with the body and two CR LF pairs that Content-Length does not count.
QByteArray loginRequest(const QByteArray &user, const QByteArray &password);
// Ends with "Connection: Keep-Alive" and three CR LF pairs.
QByteArray uploadPageRequest(const QByteArray &cookiePair);
// The fixed 1347-byte form of the first upload step.
QByteArray metadataBody();
// Ends with the body and two CR LF pairs.
QByteArray metadataRequest(const QByteArray &cookiePair);

struct FilePost
{
    QByteArray tags;
    QByteArray title;
    QByteArray description;
    QByteArray category;
    QByteArray addresser;
    QByteArray quotedPath = "\"/home/someone/My Videos/holiday clip.wmv\"";
    QByteArray file;
};
// 22 parts, two of them a header line alone, the file last, nothing after the
// closing delimiter.
QByteArray filePostBody(const FilePost &post);
QByteArray filePostRequest(const FilePost &post, const QByteArray &cookiePair,
                           const QByteArray &uploadHost = Host);

// What the uploader takes from an answer piece; empty when the marker is absent.
QByteArray loginCookie(const QByteArray &piece); // "LOGIN_INFO=value"
QByteArray xsrfToken(const QByteArray &piece);
QByteArray addresser(const QByteArray &piece);
QByteArray action(const QByteArray &piece);
QByteArray videoId(const QByteArray &piece);

} // namespace ClientWire
