// The upload server's answer, as far as it has arrived: the scan for the
// video id, the verdict on the whole answer and the check of an id before
// it goes into an address. Input: the answer.
#include "engine/protocol/markers.h"
#include "engine/protocol/uploadresult.h"
#include "fuzz/check.h"

namespace uplark {
}
using namespace uplark;

namespace {

ReceivedAnswer received(const QByteArray &answer, qsizetype cut)
{
    ReceivedAnswer r;
    r.append(answer.left(cut));
    r.append(answer.mid(cut));
    return r;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray answer = FuzzBytes(data, size);

    // Once the answer is whole, the id is the one the scan of the whole
    // answer gives, there whenever "video_id=" is.
    const std::optional<QByteArray> whole = scanVideoId(answer, true);
    const qsizetype at = answer.indexOf("video_id=");
    FUZZ_CHECK(whole.has_value() == (at >= 0));
    if (whole) {
        FUZZ_CHECK(*whole == cutBetween(answer, "video_id=", "&"));
        FUZZ_CHECK(answer.mid(at + 9).startsWith(*whole));
        FUZZ_CHECK(!whole->contains('&'));
        FUZZ_CHECK(!whole->contains("video_id="));
    }
    const std::optional<QByteArray> id = scanVideoId(answer);
    if (id)
        FUZZ_CHECK(whole && *id == *whole);

    // The verdict does not depend on how the answer was cut into pieces;
    // once an id or a 5xx has decided, more of the answer does not change it.
    const UploadVerdict verdict = scanUploadAnswer(received(answer, 0), false);
    for (const qsizetype cut : CutPoints(answer)) {
        const UploadVerdict pieces = scanUploadAnswer(received(answer, cut), false);
        FUZZ_CHECK(pieces.kind == verdict.kind && pieces.videoId == verdict.videoId);
        const UploadVerdict early = scanUploadAnswer(received(answer.left(cut), 0), false);
        if (early.kind == UploadVerdict::Kind::VideoId
            || early.kind == UploadVerdict::Kind::ServerError)
            FUZZ_CHECK(early.kind == verdict.kind && early.videoId == verdict.videoId
                       && early.status == verdict.status);
    }
    if (verdict.kind == UploadVerdict::Kind::ServerError)
        FUZZ_CHECK(answer.startsWith("HTTP/") && verdict.status >= 500 && verdict.status <= 599);
    if (verdict.kind == UploadVerdict::Kind::VideoId)
        FUZZ_CHECK(answer.contains("video_id=" + verdict.videoId));

    // An id an address may carry has only printable ASCII, and none of the
    // characters that would end or break the address.
    for (const std::optional<QByteArray> &candidate : {whole, std::optional<QByteArray>(answer)}) {
        if (!candidate || !isAddressSafe(*candidate))
            continue;
        FUZZ_CHECK(!candidate->isEmpty());
        for (const char c : *candidate) {
            FUZZ_CHECK(c > 0x20 && c < 0x7F);
            FUZZ_CHECK(!QByteArrayView("\"<>\\^`{|}#&[]").contains(c));
        }
    }
    return 0;
}
