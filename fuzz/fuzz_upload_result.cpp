// The upload server's answer scan for the video id. Input: one chunk of the
// answer.
#include "engine/protocol/uploadresult.h"
#include "fuzz/check.h"

namespace uplark {
}
using namespace uplark;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray chunk = FuzzBytes(data, size);

    const std::optional<QByteArray> id = scanVideoId(chunk);
    const qsizetype at = chunk.indexOf("video_id=");
    FUZZ_CHECK(id.has_value() == (at >= 0));
    if (id) {
        FUZZ_CHECK(chunk.mid(at + 9).startsWith(*id));
        FUZZ_CHECK(!id->contains('&'));
        FUZZ_CHECK(!id->contains("video_id="));
    }
    return 0;
}
