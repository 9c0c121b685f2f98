#include "engine/net/curlhttpclient.h"

#include "engine/net/curllibrary.h"
#include "engine/net/netproblems.h"
#include "engine/net/routes.h"

#include <QElapsedTimer>
#include <QUrl>

#include <cstring>

namespace uplark {

using namespace Qt::StringLiterals;

namespace {

// What the callbacks of one transfer share.
struct Transfer
{
    const CurlLibrary *curl = nullptr;
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
    t->curl->easyGetinfo(t->easy, CURLINFO_CONNECT_TIME_T, &connectTime);
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

CurlHttpClient::~CurlHttpClient() = default;

HttpReply CurlHttpClient::post(const QByteArray &url, const QByteArray &contentType,
                               const QByteArray &body)
{
    HttpReply reply;
    if (!m_curl) {
        QString why;
        m_curl = CurlLibrary::load(&why);
        if (!m_curl) {
            reply.error = why;
            reply.problem = why;
            return reply;
        }
    }
    const CurlLibrary &curl = *m_curl;
    CURL *easy = curl.easyInit();
    if (!easy) {
        reply.error = u"The HTTP library could not be started."_s;
        return reply;
    }

    Transfer t;
    t.curl = &curl;
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
    const bool tls = parsed.scheme().compare(u"https"_s, Qt::CaseInsensitive) == 0;
    const int port = parsed.port(tls ? 443 : 80);
    const Endpoint to = m_routes.resolve(host, quint16(port));
    curl_slist *connectTo = nullptr;
    if (!host.isEmpty() && !(to == Endpoint{host, quint16(port)})) {
        const QByteArray entry = hostForConnectTo(host) + ':' + QByteArray::number(port) + ':'
                                 + hostForConnectTo(to.host) + ':' + QByteArray::number(to.port);
        connectTo = curl.slistAppend(connectTo, entry.constData());
    }

    curl_slist *headers = nullptr;
    const QByteArray typeHeader = "Content-Type: " + contentType;
    headers = curl.slistAppend(headers, typeHeader.constData());
    // No "Expect: 100-continue": the body goes out with the request at once.
    headers = curl.slistAppend(headers, "Expect:");

    const auto setopt = curl.easySetopt;
    const QByteArray urlText = url; // keeps the data alive for the call
    setopt(easy, CURLOPT_URL, urlText.constData());
    setopt(easy, CURLOPT_POST, 1L);
    setopt(easy, CURLOPT_POSTFIELDS, body.constData());
    setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(body.size()));
    setopt(easy, CURLOPT_HTTPHEADER, headers);
    if (connectTo)
        setopt(easy, CURLOPT_CONNECT_TO, connectTo);

    // The proxy is the route table's choice alone: libcurl is told either
    // that proxy, or that there is none (the empty text), and the variables
    // libcurl would read itself are left aside (an empty no-proxy list).
    // Through a proxy the request goes in a CONNECT tunnel even for http://,
    // so that its bytes are those sent without one.
    const std::optional<ProxyAddress> proxy = m_routes.proxies().proxyFor(host, tls);
    QByteArray proxyText, proxyUser, proxyPassword; // alive for the call
    if (proxy) {
        const QString shownHost =
            proxy->host.contains(u':') ? u'[' + proxy->host + u']' : proxy->host;
        proxyText = "http://" + shownHost.toUtf8() + ':' + QByteArray::number(proxy->port);
        proxyUser = proxy->user.toUtf8();
        proxyPassword = proxy->password.toUtf8();
        setopt(easy, CURLOPT_PROXY, proxyText.constData());
        setopt(easy, CURLOPT_HTTPPROXYTUNNEL, 1L);
        if (!proxy->user.isEmpty()) {
            setopt(easy, CURLOPT_PROXYUSERNAME, proxyUser.constData());
            setopt(easy, CURLOPT_PROXYPASSWORD, proxyPassword.constData());
        }
    } else {
        setopt(easy, CURLOPT_PROXY, "");
    }
    setopt(easy, CURLOPT_NOPROXY, "");

    // The same authorities as the chain's connections: the system's, which
    // libcurl finds in the system's folder of them (its CA path), and the
    // added ones, handed over as PEM in place of the system's bundle file.
    if (tls) {
        if (!m_routes.addedAuthorities().isEmpty()) {
            QByteArray authorities;
            for (const QSslCertificate &certificate : m_routes.addedAuthorities())
                authorities += certificate.toPem();
            curl_blob blob{authorities.data(), size_t(authorities.size()), CURL_BLOB_COPY};
            setopt(easy, CURLOPT_CAINFO_BLOB, &blob);
        }
        setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
        setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
    }

    setopt(easy, CURLOPT_NOSIGNAL, 1L);
    setopt(easy, CURLOPT_CONNECTTIMEOUT, long(m_timeouts.connect));
    // An answer that says at once it is too long is refused before its body.
    setopt(easy, CURLOPT_MAXFILESIZE_LARGE, curl_off_t(MaxAnswerSize));
    setopt(easy, CURLOPT_NOPROGRESS, 0L);
    setopt(easy, CURLOPT_XFERINFOFUNCTION, progress);
    setopt(easy, CURLOPT_XFERINFODATA, &t);
    setopt(easy, CURLOPT_WRITEFUNCTION, collect);
    setopt(easy, CURLOPT_WRITEDATA, &t);
    setopt(easy, CURLOPT_ERRORBUFFER, errorText);

    const CURLcode code = curl.easyPerform(easy);
    if (code == CURLE_OK) {
        long status = 0;
        curl.easyGetinfo(easy, CURLINFO_RESPONSE_CODE, &status);
        reply.ok = true;
        reply.status = int(status);
        reply.body = t.answer;
    } else if (!t.stopReason.isEmpty()) {
        reply.error = t.stopReason;
    } else if (code == CURLE_FILESIZE_EXCEEDED) {
        reply.error = TooLargeError;
    } else if (long osError = 0; code == CURLE_COULDNT_CONNECT
                                 && curl.easyGetinfo(easy, CURLINFO_OS_ERRNO, &osError) == CURLE_OK
                                 && osError != 0) {
        // The system's reason, as for the other connections: "Connection refused".
        reply.error = QString::fromLocal8Bit(std::strerror(int(osError)));
    } else {
        reply.error = QString::fromUtf8(errorText[0] ? errorText : curl.easyStrerror(code));
        long tunnelStatus = 0;
        curl.easyGetinfo(easy, CURLINFO_HTTP_CONNECTCODE, &tunnelStatus);
        if (code == CURLE_PEER_FAILED_VERIFICATION) {
            long verifyResult = 0;
            curl.easyGetinfo(easy, CURLINFO_SSL_VERIFYRESULT, &verifyResult);
            // libcurl checks the name itself, after the chain.
            const bool nameMismatch = reply.error.contains(u"target host name"_s);
            reply.problem = certificateProblem(
                host, port, certificateReasonForVerifyResult(nameMismatch ? 0 : verifyResult));
        } else if (proxy
                   && (code == CURLE_COULDNT_RESOLVE_PROXY || code == CURLE_COULDNT_CONNECT
                       || code == CURLE_PROXY || (tunnelStatus != 0 && tunnelStatus != 200))) {
            reply.problem = proxyProblem(*proxy, reply.error);
        }
    }

    curl.easyCleanup(easy);
    curl.slistFreeAll(headers);
    curl.slistFreeAll(connectTo);
    return reply;
}

} // namespace uplark
