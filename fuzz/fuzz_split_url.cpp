// The split of the upload form's action address, and the site addresses and
// proxy addresses of the command line and the environment. Input: the
// address.
#include "engine/net/proxy.h"
#include "engine/net/siteaddress.h"
#include "engine/protocol/uploadtarget.h"
#include "fuzz/check.h"

namespace uplark {
}
using namespace uplark;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray address = FuzzBytes(data, size);
    const UrlParts parts = splitUrl(address);

    // A port the connection can use, or none; a port the address spells out
    // (leading zeros aside).
    FUZZ_CHECK(parts.port >= 0 && parts.port <= 65535);
    if (parts.port != 0)
        FUZZ_CHECK(address.contains(':' + QByteArray::number(parts.port))
                   || address.contains(":0"));

    const qsizetype schemeEnd = address.indexOf("://");
    if (schemeEnd >= 0)
        FUZZ_CHECK(parts.scheme == address.left(schemeEnd));
    else
        FUZZ_CHECK(parts.scheme.isEmpty());

    // After the scheme: the host first, then from the first slash the path
    // and the query, exactly as they stood.
    const QByteArray rest = schemeEnd >= 0 ? address.mid(schemeEnd + 3) : address;
    FUZZ_CHECK(rest.startsWith(parts.host));
    FUZZ_CHECK(parts.path.startsWith('/'));
    FUZZ_CHECK(!parts.path.contains('?'));
    const qsizetype slash = rest.indexOf('/');
    if (slash >= 0) {
        FUZZ_CHECK(!parts.host.contains('/'));
        const QByteArray tail = rest.mid(slash);
        FUZZ_CHECK(tail == (tail.contains('?') ? parts.path + '?' + parts.query : parts.path));
    } else {
        FUZZ_CHECK(parts.host == rest && parts.path == "/" && parts.query.isEmpty()
                   && parts.port == 0);
    }

    // The post goes to a usable port, over TLS exactly for "https".
    const int port = targetPort(parts);
    FUZZ_CHECK(port >= 1 && port <= 65535);
    FUZZ_CHECK(isTlsTarget(parts) == (parts.scheme.toLower() == "https"));

    // A site address that is taken has a host and a port, and its authority
    // is what the text gave after any scheme.
    const QString text = QString::fromLatin1(address);
    SiteAddress site;
    QString why;
    if (parseSiteAddress(text, &site, &why)) {
        FUZZ_CHECK(!site.host.isEmpty() && site.port >= 1 && !site.authority.isEmpty());
        FUZZ_CHECK(address.contains(site.authority));
    } else {
        FUZZ_CHECK(!why.isEmpty() && !why.contains(u'\n'));
    }
    ProxyAddress proxy;
    if (parseProxyAddress(text, &proxy, &why))
        FUZZ_CHECK(!proxy.host.isEmpty() && proxy.port >= 1);
    return 0;
}
