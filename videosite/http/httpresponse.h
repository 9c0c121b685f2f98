#pragma once

#include "videosite/http/httprequest.h"

#include <QByteArray>
#include <QString>

namespace videosite {

// An answer to one request. A small answer carries its body in memory and goes
// out in one write together with its head; a file answer (filePath set) sends
// the head and then streams fileLength bytes of the file from fileOffset.
struct HttpResponse
{
    int status = 200;
    HttpHeaders headers;
    QByteArray body;
    QString filePath;
    qint64 fileOffset = 0;
    qint64 fileLength = 0;
    bool closeConnection = false;

    // Replaces every field called name by one with this value.
    void setHeader(const QByteArray &name, const QByteArray &value);
    void addHeader(const QByteArray &name, const QByteArray &value);

    static HttpResponse html(int status, const QByteArray &page);
    static HttpResponse plainText(int status, const QByteArray &text);
    static HttpResponse redirect(int status, const QByteArray &location, const QByteArray &page);
};

QByteArray reasonPhrase(int status);

// The status line and the header block, ended by the empty line. The fields
// of the response come first, in their order, then Content-Length,
// Connection and Date.
QByteArray serializeResponseHead(const HttpResponse &response, bool keepAlive);

// The whole answer as it goes on the wire for an answer held in memory; for a
// HEAD request only its head.
QByteArray serializeResponse(const HttpResponse &response, bool keepAlive, bool headOnly);

} // namespace videosite
