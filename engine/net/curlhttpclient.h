#pragma once

#include "engine/net/blockinghttpclient.h"

#include <functional>

namespace uplark {

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
// failed, and no event is handled meanwhile. Connections go through the
// route table; no proxy is used. curl_global_init must have run before.
//
// An answer is taken up to MaxAnswerSize bytes; a longer one fails the
// request before more of it is held. The abort check, when set, is asked
// several times a second while the request runs; once it says yes, the
// request ends and fails.
class CurlHttpClient : public BlockingHttpClient
{
public:
    explicit CurlHttpClient(const RouteTable &routes, HttpTimeouts timeouts = {});

    HttpReply post(const QByteArray &url, const QByteArray &contentType,
                   const QByteArray &body) override;

    void setTimeouts(const HttpTimeouts &timeouts) { m_timeouts = timeouts; }
    void setAbortCheck(std::function<bool()> check) { m_abortCheck = std::move(check); }

    static constexpr qint64 MaxAnswerSize = 1024 * 1024;

private:
    const RouteTable &m_routes;
    HttpTimeouts m_timeouts;
    std::function<bool()> m_abortCheck;
};

} // namespace uplark
