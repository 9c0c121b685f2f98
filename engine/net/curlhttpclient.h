#pragma once

#include "engine/net/blockinghttpclient.h"

#include <functional>
#include <memory>

namespace uplark {

class CurlLibrary;
class RouteTable;

// Time limits of one request, in seconds: opening the connection; sending
// the request with no byte going out; waiting for the answer with no byte
// coming in; the whole request from start to end. 0: no limit.
struct HttpTimeouts
{
    int connect = 60;
    int send = 30;
    int receive = 30;
    int total = 60;
};

// The synchronous HTTP request made with libcurl's easy interface: the
// calling thread waits until the whole answer has arrived or the request has
// failed, and no event is handled meanwhile. libcurl is loaded by the first
// request, not before. Connections go through the route table, and through
// the proxy it names for the host (a CONNECT tunnel, as the chain's
// connections: the bytes inside are those sent without a proxy); https://
// addresses trust the route table's authorities and nothing else, with no
// way to skip the check.
//
// An answer is taken up to MaxAnswerSize bytes; a longer one fails the
// request before more of it is held. The abort check, when set, is asked
// several times a second while the request runs; once it says yes, the
// request ends and fails.
class CurlHttpClient : public BlockingHttpClient
{
public:
    explicit CurlHttpClient(const RouteTable &routes, HttpTimeouts timeouts = {});
    ~CurlHttpClient() override;

    HttpReply post(const QByteArray &url, const QByteArray &contentType,
                   const QByteArray &body) override;

    void setTimeouts(const HttpTimeouts &timeouts) { m_timeouts = timeouts; }
    void setAbortCheck(std::function<bool()> check) { m_abortCheck = std::move(check); }

    static constexpr qint64 MaxAnswerSize = 1024 * 1024;

private:
    const RouteTable &m_routes;
    HttpTimeouts m_timeouts;
    std::function<bool()> m_abortCheck;
    std::unique_ptr<CurlLibrary> m_curl; // loaded by the first request
};

} // namespace uplark
