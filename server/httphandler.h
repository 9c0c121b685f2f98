#pragma once

#include "server/httprequest.h"
#include "server/httpresponse.h"

#include <QByteArrayView>

#include <memory>
#include <optional>

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
    // refused a piece of it).
    virtual HttpResponse respond(HttpRequest &request, BodyReceiver *receiver) = 0;
};

struct HttpLimits
{
    // Connections without traffic for this long are closed.
    int idleTimeoutMs = 60 * 1000;
    // Request line and header fields together.
    qsizetype maxHeadSize = 16 * 1024;
    // After answering 413, this much of the refused body is read and dropped
    // (so that the client sees the answer rather than a reset) before the
    // connection is closed.
    qint64 refusedBodyDrain = 1024 * 1024;
    int maxConnections = 256;
};
