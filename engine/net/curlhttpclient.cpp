#include "engine/net/curlhttpclient.h"

#include "engine/net/routes.h"

#include <QElapsedTimer>
#include <QUrl>

#include <curl/curl.h>

#include <cstring>

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
    QString stopReason;  // why a callback ended the transfer
    QElapsedTimer whole; // since the request began
    const std::function<bool()> *abortCheck = nullptr;
};

const QString TooLargeError = u"the answer is larger than 1 MiB"_s;

size_t collect(char *data, size_t size, size_t count, void *user)
{
    auto *t = static_cast<Transfer *>(user);
    if (t->answer.size() + qint64(size * count) > CurlHttpClient::MaxAnswerSize) {
        t->stopReason = TooLargeError;
        return 0; // libcurl ends the transfer
    }
    t->answer.append(data, qsizetype(size * count));
    return size * count;
}

// The limits that hold whatever moves: the abort check and the deadline of
// the whole request. True when the transfer is to end.
bool endsNow(Transfer *t)
{
    if (*t->abortCheck && (*t->abortCheck)()) {
        t->stopReason = u"the request was interrupted"_s;
        return true;
    }
    if (t->timeouts.total > 0 && t->whole.elapsed() >= qint64(t->timeouts.total) * 1000) {
        t->stopReason = u"no whole answer within %1 s"_s.arg(t->timeouts.total);
        return true;
    }
    return false;
}

// Send and receive time-outs: the transfer fails when no byte has moved for
// the send time while the request goes out, or for the receive time while
// the answer is awaited or arrives. Opening the connection has its own limit
// (CURLOPT_CONNECTTIMEOUT), so the idle clock starts once it is open.
int progress(void *user, curl_off_t, curl_off_t down, curl_off_t, curl_off_t up)
{
    auto *t = static_cast<Transfer *>(user);
    if (endsNow(t))
        return 1;
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
    if (limit > 0 && t->idle.elapsed() >= qint64(limit) * 1000) {
        t->stopReason = sending ? u"no byte of the request went out for %1 s"_s.arg(limit)
                                : u"no byte of the answer came for %1 s"_s.arg(limit);
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
    t.abortCheck = &m_abortCheck;
    t.whole.start();
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
    // An answer that says at once it is too long is refused before its body.
    curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, curl_off_t(MaxAnswerSize));
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
    } else if (!t.stopReason.isEmpty()) {
        reply.error = t.stopReason;
    } else if (code == CURLE_FILESIZE_EXCEEDED) {
        reply.error = TooLargeError;
    } else if (long osError = 0; code == CURLE_COULDNT_CONNECT
                                 && curl_easy_getinfo(easy, CURLINFO_OS_ERRNO, &osError) == CURLE_OK
                                 && osError != 0) {
        // The system's reason, as for the other connections: "Connection refused".
        reply.error = QString::fromLocal8Bit(std::strerror(int(osError)));
    } else {
        reply.error = QString::fromUtf8(errorText[0] ? errorText : curl_easy_strerror(code));
    }

    curl_easy_cleanup(easy);
    curl_slist_free_all(headers);
    curl_slist_free_all(connectTo);
    return reply;
}

} // namespace uplark
