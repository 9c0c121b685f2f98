// The split of the upload form's action address. Input: the address.
#include "engine/protocol/uploadtarget.h"
#include "fuzz/check.h"

namespace uplark {
}
using namespace uplark;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray address = FuzzBytes(data, size);
    const URLParts parts = SplitURL(address);

    // A port the connection can use, or none; a port the address spells out
    // (leading zeros aside).
    FUZZ_CHECK(parts.Port >= 0 && parts.Port <= 65535);
    if (parts.Port != 0)
        FUZZ_CHECK(address.contains(':' + QByteArray::number(parts.Port))
                   || address.contains(":0"));

    const qsizetype schemeEnd = address.indexOf("://");
    if (schemeEnd >= 0)
        FUZZ_CHECK(parts.Scheme == address.left(schemeEnd));
    else
        FUZZ_CHECK(parts.Scheme.isEmpty());

    // After the scheme: the host first, then from the first slash the path
    // and the query, exactly as they stood.
    const QByteArray rest = schemeEnd >= 0 ? address.mid(schemeEnd + 3) : address;
    FUZZ_CHECK(rest.startsWith(parts.Host));
    FUZZ_CHECK(parts.Path.startsWith('/'));
    FUZZ_CHECK(!parts.Path.contains('?'));
    const qsizetype slash = rest.indexOf('/');
    if (slash >= 0) {
        FUZZ_CHECK(!parts.Host.contains('/'));
        const QByteArray tail = rest.mid(slash);
        FUZZ_CHECK(tail == (tail.contains('?') ? parts.Path + '?' + parts.Query : parts.Path));
    } else {
        FUZZ_CHECK(parts.Host == rest && parts.Path == "/" && parts.Query.isEmpty()
                   && parts.Port == 0);
    }
    return 0;
}
