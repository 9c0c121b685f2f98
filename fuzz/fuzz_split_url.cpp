// The split of the upload form's action address. Input: the address.
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
    return 0;
}
