// The site's cookie parsing, as a bare Cookie header and through a request's
// Cookie fields. Input: a cookie name, a NUL, the header value (further NULs
// start further Cookie fields).
#include "fuzz/check.h"
#include "videosite/http/formencoding.h"
#include "videosite/http/httprequest.h"

namespace videosite {
}
using namespace videosite;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const auto [name, rest] = SplitAtNul(FuzzBytes(data, size));

    HttpRequest request;
    QByteArray remaining = rest;
    for (int field = 0; field < 8; ++field) {
        auto [value, next] = SplitAtNul(remaining);
        request.headers.append(
            {field % 2 ? QByteArrayLiteral("cookie") : QByteArrayLiteral("Cookie"), value});
        if (next.isEmpty())
            break;
        remaining = next;
    }

    // A cookie's value is a stretch of the header that carries it, and the
    // request finds the first field that has it.
    QByteArray first;
    for (const auto &[field, header] : std::as_const(request.headers)) {
        const QByteArray value = cookieValue(header, name);
        if (!value.isNull()) {
            FUZZ_CHECK(header.contains(value));
            if (first.isNull())
                first = value;
        }
    }
    FUZZ_CHECK(request.cookie(name) == first);
    FUZZ_CHECK(request.cookie(name).isNull() == first.isNull());
    return 0;
}
