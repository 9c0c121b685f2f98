// The site's Range header reading. Input: eight bytes of resource size, then
// the header value.
#include "fuzz/check.h"
#include "videosite/http/byterange.h"

#include <cstring>

namespace videosite {
}
using namespace videosite;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    quint64 rawSize = 0;
    const size_t sizeBytes = qMin<size_t>(size, sizeof rawSize);
    std::memcpy(&rawSize, data, sizeBytes);
    // Sizes up to 2^62: every file the site could hold, with the large ones
    // that push the arithmetic.
    const qint64 resourceSize = qint64(rawSize & ((quint64(1) << 62) - 1));
    const QByteArray header = FuzzBytes(data + sizeBytes, size - sizeBytes);

    const ByteRange range = parseByteRange(header, resourceSize);
    switch (range.kind) {
    case ByteRange::Kind::Partial:
        // A range that lies inside the resource and is not empty.
        FUZZ_CHECK(range.first >= 0 && range.first <= range.last && range.last < resourceSize);
        FUZZ_CHECK(range.length() >= 1 && range.length() <= resourceSize);
        break;
    case ByteRange::Kind::Unsatisfiable:
    case ByteRange::Kind::Whole:
        break;
    }
    // A header without "=" names no ranges at all.
    if (!header.contains('='))
        FUZZ_CHECK(range.kind == ByteRange::Kind::Whole);
    return 0;
}
