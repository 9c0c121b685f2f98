#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <utility>

namespace videosite {

using HttpHeaders = QList<std::pair<QByteArray, QByteArray>>;

// One request as read from a connection: the request line, the header fields
// and, when the handler keeps it in memory, the body.
struct HttpRequest
{
    QByteArray method;
    QByteArray target; // as sent
    QByteArray path;   // target before "?", not decoded
    QByteArray query;  // target after "?", not decoded
    int minorVersion = 1;
    HttpHeaders headers;
    qint64 contentLength = 0;
    QByteArray body;
    // The client's IP address as text; set by the connection, not parsed.
    QString clientAddress;

    // The first field with this name (ASCII case ignored), or a null array.
    QByteArray header(QByteArrayView name) const;
    bool hasHeader(QByteArrayView name) const;
    QByteArray cookie(QByteArrayView name) const;
    // A decoded query parameter, or a null array.
    QByteArray queryItem(QByteArrayView name) const;
    // Whether the client asked to keep the connection after the answer.
    bool wantsKeepAlive() const;
    bool expectsContinue() const;
};

struct RequestHeadResult
{
    enum class Status { Incomplete, Complete, Invalid };
    Status status = Status::Incomplete;
    // Bytes of the buffer that belong to the head, blank lines before the
    // request line included. For an incomplete head: the blank lines alone.
    qsizetype consumed = 0;
    // The status to answer an invalid head with.
    int errorStatus = 0;
    HttpRequest request;
};

// Parses the head of the request at the start of buffer. Empty lines before
// the request line are skipped: clients may send CR LF pairs after a body that
// its Content-Length does not count. A head longer than maxHeadSize is invalid
// (431); so is a body announced with Transfer-Encoding (411), which this
// server does not read.
RequestHeadResult parseRequestHead(QByteArrayView buffer, qsizetype maxHeadSize);

} // namespace videosite
