#pragma once

#include "videosite/http/httprequest.h"
#include "videosite/http/httpresponse.h"

#include <QByteArrayView>

#include <functional>
#include <memory>
#include <optional>

namespace videosite {

// Takes a request body piece by piece as it arrives, instead of having the
// connection keep the whole body in memory.
class BodyReceiver
{
public:
    virtual ~BodyReceiver() = default;
    // False stops reading the body: the handler's respond() then answers the
    // request at once and the connection is closed after the rest of the
    // announced body has been drained.
    virtual bool receive(QByteArrayView data) = 0;
};

// Hands the answer to one request back to its connection, at once or later
// (on the server's thread). Once the connection has gone it does nothing.
using Reply = std::function<void(HttpResponse)>;

// What a server does with the requests of its connections.
class HttpHandler
{
public:
    virtual ~HttpHandler() = default;

    // The largest body this request may announce; a larger Content-Length is
    // answered with 413 before any of the body is read.
    virtual qint64 bodyLimit(const HttpRequest &request) const = 0;

    // Looks at a request before its body is read. An answer given here ends
    // the request; its body is then drained unread and the connection closed.
    virtual std::optional<HttpResponse> precheck(const HttpRequest &request)
    {
        Q_UNUSED(request);
        return std::nullopt;
    }

    // A receiver for the body, or null to have the body collected in
    // HttpRequest::body.
    virtual std::unique_ptr<BodyReceiver> receiverFor(const HttpRequest &request)
    {
        Q_UNUSED(request);
        return nullptr;
    }

    // Answers the request once its body has been read (or when the receiver
    // refused a piece of it). The connection reads nothing more from its
    // client until reply has been called; request and receiver stay valid
    // until then.
    virtual void respond(HttpRequest &request, BodyReceiver *receiver, const Reply &reply) = 0;

    // The answer for a status that the connection decides on by itself (a
    // malformed or oversized request, a full server).
    virtual HttpResponse errorPage(int status) const
    {
        return HttpResponse::plainText(status, QByteArray::number(status) + ' '
                                                   + reasonPhrase(status) + '\n');
    }
};

struct HttpLimits
{
    // A connection waiting for the first byte of a request, or for its client
    // to take more of an answer, is closed after this long.
    int idleTimeoutMs = 60 * 1000;
    // From the first byte of a request head to its end, however the bytes
    // trickle in.
    int headTimeoutMs = 10 * 1000;
    // A body must bring at least minBodyRate bytes a second, counted over
    // windows of bodyWindowMs; a slower one is closed at the end of a window.
    int bodyWindowMs = 10 * 1000;
    qint64 minBodyRate = 1024;
    // Request line and header fields together.
    qsizetype maxHeadSize = 16 * 1024;
    // After answering 413, this much of the refused body is read and dropped
    // (so that the client sees the answer rather than a reset) before the
    // connection is closed.
    qint64 refusedBodyDrain = 1024 * 1024;
    // Bodies held in memory (those without a receiver) up to this size are
    // always taken; larger ones share bodyBudget among all connections of the
    // server, and one that does not fit is answered with 503.
    qint64 smallBodySize = 64 * 1024;
    qint64 bodyBudget = 32 * 1024 * 1024;
    // Beyond either limit a new connection is answered with 503 and closed;
    // at the first, a connection that waits for a request makes room first.
    int maxConnections = 512;
    int maxConnectionsPerAddress = 32;
    // After an answer that ends its connection, the server stops sending
    // and reads what the client still sends, up to this much and this long,
    // so that closing does not reset the connection under the answer.
    qint64 lingerDrain = 1024 * 1024;
    int lingerMs = 2000;
};

} // namespace videosite
