// The upload page scan for the anti-forgery token. Input: one chunk of the
// page.
#include "engine/protocol/uploadpage.h"
#include "fuzz/check.h"

namespace uplark {
}
using namespace uplark;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray chunk = FuzzBytes(data, size);
    static const QByteArray opening = QByteArrayLiteral("var gXSRF_token = '");

    const std::optional<QByteArray> token = uploadPageToken(chunk);
    const qsizetype at = chunk.indexOf(opening);
    FUZZ_CHECK(token.has_value() == (at >= 0));
    if (token) {
        // The token stands right after the first opening and holds neither
        // its closing nor another opening.
        FUZZ_CHECK(chunk.mid(at + opening.size()).startsWith(*token));
        FUZZ_CHECK(!token->contains("';"));
        FUZZ_CHECK(!token->contains(opening));
    }
    return 0;
}
