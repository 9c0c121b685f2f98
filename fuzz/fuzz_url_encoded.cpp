// The site's form decoding: request bodies and queries in
// application/x-www-form-urlencoded form. Input: the encoded text.
#include "common/percentcoding.h"
#include "fuzz/check.h"
#include "videosite/http/formencoding.h"

namespace videosite {
}
using namespace videosite;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray text = FuzzBytes(data, size);

    const FormFields fields = parseUrlEncoded(text);
    // At most one field per "&"-separated pair, and decoding never lengthens.
    FUZZ_CHECK(fields.size() <= text.count('&') + 1);
    qsizetype decodedBytes = 0;
    for (const auto &[name, value] : fields)
        decodedBytes += name.size() + value.size();
    FUZZ_CHECK(decodedBytes <= text.size());
    if (!fields.isEmpty()) {
        // The first field of a name is the one formValue finds.
        const auto &[name, value] = fields.first();
        FUZZ_CHECK(formValue(fields, name) == value);
    }

    for (const bool plusAsSpace : {false, true}) {
        const QByteArray decoded = common::percentDecode(text, plusAsSpace);
        FUZZ_CHECK(decoded.size() <= text.size());
        if (!text.contains('%') && !text.contains('+'))
            FUZZ_CHECK(decoded == text);
        if (text.size() <= 1024) {
            FUZZ_CHECK(common::percentDecode(EscapeEveryByte(text, false), plusAsSpace) == text);
            FUZZ_CHECK(common::percentDecode(EscapeEveryByte(text, true), plusAsSpace) == text);
        }
    }
    return 0;
}
