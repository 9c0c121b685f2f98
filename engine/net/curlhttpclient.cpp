#include "engine/net/curlhttpclient.h"

#include "engine/net/routes.h"

#include <QElapsedTimer>
#include <QUrl>

#include <curl/curl.h>

namespace uplark {

using namespace Qt::StringLiterals;

namespace {

// What the callbacks of one transfer share.
struct Transfer
{
    CURL *easy = nullptr;
    HttpTimeouts timeouts;
    curl_off_t bodySize = 0;
    QByteArray answer;
    QElapsedTimer idle; // since the last byte moved
    curl_off_t lastUp = -1;
    curl_off_t lastDown = -1;
    QString timeoutError; // set when the progress callback gave up
};

size_t collect(char *data, size_t size, size_t count, void *user)
{
    auto *t = static_cast<Transfer *>(user);
    t->answer.append(data, qsizetype(size * count));
    return size * count;
}

// Send and receive time-outs: the transfer fails when no byte has moved for
// the send time while the request goes out, or for the receive time while
// the answer is awaited or arrives. Opening the connection has its own limit
// (CURLOPT_CONNECTTIMEOUT), so the idle clock starts once it is open.
int progress(void *user, curl_off_t, curl_off_t down, curl_off_t, curl_off_t up)
{
    auto *t = static_cast<Transfer *>(user);
    curl_off_t connectTime = 0;
    curl_easy_getinfo(t->easy, CURLINFO_CONNECT_TIME_T, &connectTime);
    if (connectTime == 0 || up != t->lastUp || down != t->lastDown) {
        t->lastUp = up;
        t->lastDown = down;
        t->idle.start();
        return 0;
    }
    const bool sending = up < t->bodySize;
    const int limit = sending ? t->timeouts.send : t->timeouts.receive;
    if (t->idle.elapsed() >= qint64(limit) * 1000) {
        t->timeoutError = sending ? u"The request could not be sent within %1 seconds."_s.arg(limit)
                                  : u"No answer arrived within %1 seconds."_s.arg(limit);
        return 1;
    }
    return 0;
}

QByteArray hostForConnectTo(const QString &host)
{
    // An IPv6 address is written in brackets.
    return host.contains(u':') ? "[" + host.toLatin1() + "]" : host.toLatin1();
}

} // namespace

CurlHttpClient::CurlHttpClient(const RouteTable &routes, HttpTimeouts timeouts)
    : m_routes(routes)
    , m_timeouts(timeouts)
{
}

HttpReply CurlHttpClient::post(const QByteArray &url, const QByteArray &contentType,
                               const QByteArray &body)
{
    HttpReply reply;
    CURL *easy = curl_easy_init();
    if (!easy) {
        reply.error = u"The HTTP library could not be started."_s;
        return reply;
    }

    Transfer t;
    t.easy = easy;
    t.timeouts = m_timeouts;
    t.bodySize = body.size();
    char errorText[CURL_ERROR_SIZE] = {};

    // The route table may send the connection elsewhere; the request itself
    // still names the original host.
    const QUrl parsed = QUrl::fromEncoded(url);
    const QString host = parsed.host();
    const int port = parsed.port(80);
    const Endpoint to = m_routes.resolve(host, quint16(port));
    curl_slist *connectTo = nullptr;
    if (!host.isEmpty() && !(to == Endpoint{host, quint16(port)})) {
        const QByteArray entry = hostForConnectTo(host) + ':' + QByteArray::number(port) + ':'
                                 + hostForConnectTo(to.host) + ':' + QByteArray::number(to.port);
        connectTo = curl_slist_append(connectTo, entry.constData());
    }

    curl_slist *headers = nullptr;
    const QByteArray typeHeader = "Content-Type: " + contentType;
    headers = curl_slist_append(headers, typeHeader.constData());
    // No "Expect: 100-continue": the body goes out with the request at once.
    headers = curl_slist_append(headers, "Expect:");

    const QByteArray urlText = url; // keeps the data alive for the call
    curl_easy_setopt(easy, CURLOPT_URL, urlText.constData());
    curl_easy_setopt(easy, CURLOPT_POST, 1L);
    curl_easy_setopt(easy, CURLOPT_POSTFIELDS, body.constData());
    curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(body.size()));
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
    if (connectTo)
        curl_easy_setopt(easy, CURLOPT_CONNECT_TO, connectTo);
    curl_easy_setopt(easy, CURLOPT_PROXY, "");
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, long(m_timeouts.connect));
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, progress);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, &t);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, collect);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorText);

    const CURLcode code = curl_easy_perform(easy);
    if (code == CURLE_OK) {
        long status = 0;
        curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
        reply.ok = true;
        reply.status = int(status);
        reply.body = t.answer;
    } else if (!t.timeoutError.isEmpty()) {
        reply.error = t.timeoutError;
    } else {
        reply.error = QString::fromUtf8(errorText[0] ? errorText : curl_easy_strerror(code));
    }

    curl_easy_cleanup(easy);
    curl_slist_free_all(headers);
    curl_slist_free_all(connectTo);
    return reply;
}

} // namespace uplark
