#pragma once

#include <QByteArray>
#include <QString>

namespace uplark {

// One synchronous HTTP request: the call returns only when the whole answer
// has arrived or the request has failed, and no event is handled meanwhile.
struct HttpReply
{
    bool ok = false; // an answer arrived (whatever its status)
    int status = 0;  // its status code
    QByteArray body; // its body
    QString error;   // why there is no answer
    // What the user is told beyond a connection error when there is no
    // answer: a refused certificate, a failing proxy; empty otherwise.
    QString problem;
};

class BlockingHttpClient
{
public:
    virtual ~BlockingHttpClient() = default;
    virtual HttpReply post(const QByteArray &url, const QByteArray &contentType,
                           const QByteArray &body) = 0;
};

} // namespace uplark
