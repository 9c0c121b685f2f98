#pragma once

#include "engine/net/blockinghttpclient.h"

#include <memory>

namespace uplark {

class CurlLibrary;
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
// failed, and no event is handled meanwhile. libcurl is loaded by the first
// request, not before. Connections go through the route table, and through
// the proxy it names for the host (a CONNECT tunnel, as the chain's
// connections: the bytes inside are those sent without a proxy); https://
// addresses trust the route table's authorities and nothing else, with no
// way to skip the check.
class CurlHttpClient : public BlockingHttpClient
{
public:
    explicit CurlHttpClient(const RouteTable &routes, HttpTimeouts timeouts = {});
    ~CurlHttpClient() override;

    HttpReply post(const QByteArray &url, const QByteArray &contentType,
                   const QByteArray &body) override;

private:
    const RouteTable &m_routes;
    HttpTimeouts m_timeouts;
    std::unique_ptr<CurlLibrary> m_curl; // loaded by the first request
};

} // namespace uplark
