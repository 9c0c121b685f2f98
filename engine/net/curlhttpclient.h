#pragma once

#include "engine/net/blockinghttpclient.h"

namespace uplark {

class RouteTable;

// Time limits of one request, in seconds: opening the connection; sending
// the request with no byte going out; waiting for the answer with no byte
// coming in.
struct HttpTimeouts
{
    int connect = 60;
    int send = 30;
    int receive = 30;
};

// The synchronous HTTP request made with libcurl's easy interface: the
// calling thread waits until the whole answer has arrived or the request has
// failed, and no event is handled meanwhile. Connections go through the
// route table; no proxy is used. curl_global_init must have run before.
class CurlHttpClient : public BlockingHttpClient
{
public:
    explicit CurlHttpClient(const RouteTable &routes, HttpTimeouts timeouts = {});

    HttpReply post(const QByteArray &url, const QByteArray &contentType,
                   const QByteArray &body) override;

private:
    const RouteTable &m_routes;
    HttpTimeouts m_timeouts;
};

} // namespace uplark
