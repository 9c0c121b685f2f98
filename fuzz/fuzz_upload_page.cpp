// The upload page scan for the anti-forgery token, over the page as far as
// it has arrived. Input: the page.
#include "engine/protocol/markers.h"
#include "engine/protocol/uploadpage.h"
#include "fuzz/check.h"

namespace uplark {
}
using namespace uplark;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray page = FuzzBytes(data, size);
    static const QByteArray opening = QByteArrayLiteral("var gXSRF_token = '");

    const std::optional<QByteArray> token = uploadPageToken(page);
    const qsizetype at = page.indexOf(opening);
    const QByteArray after = at < 0 ? QByteArray() : page.mid(at + opening.size());
    // Found exactly when the opening has come and the token's end after it.
    FUZZ_CHECK(token.has_value() == (at >= 0 && (after.contains("';") || after.contains(opening))));
    if (token) {
        // The token stands right after the first opening, as the scan of the
        // whole page finds it, and holds neither its closing nor an opening.
        FUZZ_CHECK(*token == cutBetween(page, opening, "';"));
        FUZZ_CHECK(after.startsWith(*token));
        FUZZ_CHECK(!token->contains("';"));
        FUZZ_CHECK(!token->contains(opening));
    }
    // A token found in part of the page is the one the whole page gives.
    for (const qsizetype cut : CutPoints(page)) {
        if (const std::optional<QByteArray> early = uploadPageToken(page.left(cut)))
            FUZZ_CHECK(token && *token == *early);
    }
    return 0;
}
