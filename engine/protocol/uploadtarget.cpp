#include "engine/protocol/uploadtarget.h"

namespace uplark {

namespace {

int portNumber(const QByteArray &text)
{
    if (text.isEmpty() || text.size() > 5)
        return 0;
    int value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return 0;
        value = value * 10 + (c - '0');
    }
    return value <= 65535 ? value : 0;
}

} // namespace

UrlParts splitUrl(const QByteArray &address)
{
    UrlParts parts;
    QByteArray s = address;
    if (const qsizetype p = s.indexOf("://"); p >= 0) {
        parts.scheme = s.left(p);
        s = s.mid(p + 3);
    }
    const qsizetype colon = s.indexOf(':');
    const qsizetype slash = s.indexOf('/');
    if (colon < 0 || slash < 0 || colon > slash) {
        if (slash < 0) {
            parts.host = s;
            parts.path = QByteArrayLiteral("/");
            return parts;
        }
        parts.host = s.left(slash);
    } else {
        parts.host = s.left(colon);
        parts.port = portNumber(s.mid(colon + 1, slash - colon - 1));
    }
    s = s.mid(slash);
    if (const qsizetype q = s.indexOf('?'); q >= 0) {
        parts.path = s.left(q);
        parts.query = s.mid(q + 1);
    } else {
        parts.path = s;
    }
    return parts;
}

bool isTlsTarget(const UrlParts &target)
{
    return target.scheme.compare("https", Qt::CaseInsensitive) == 0;
}

int targetPort(const UrlParts &target)
{
    if (target.port != 0)
        return target.port;
    return isTlsTarget(target) ? 443 : 80;
}

} // namespace uplark
