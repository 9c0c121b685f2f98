// Marker splitting, the base of every answer scanner. Input: a marker, a NUL,
// the text (a second NUL adds a closing marker for cutBetween).
#include "engine/protocol/markers.h"
#include "fuzz/check.h"

namespace uplark {
}
using namespace uplark;

namespace {

// Occurrences of marker in text, counted left to right without overlap, as
// the pieces are cut.
int countMarkers(const QByteArray &text, const QByteArray &marker)
{
    int count = 0;
    for (qsizetype at = text.indexOf(marker); at >= 0;
         at = text.indexOf(marker, at + marker.size()))
        ++count;
    return count;
}

void checkPieces(const QByteArray &text, const QByteArray &marker)
{
    if (marker.isEmpty()) {
        FUZZ_CHECK(splitPiece(text, marker, 0) == text);
        FUZZ_CHECK(splitPiece(text, marker, 1).isEmpty());
        return;
    }
    const int count = countMarkers(text, marker);
    // Joined with the marker, the pieces give back the text; none holds the
    // marker; the pieces after the last are empty. Past 64 pieces only the
    // first and last few are looked at, to keep each run short.
    QByteArray joined;
    for (int i = 0; i <= count; ++i) {
        if (count > 64 && i == 4)
            i = count - 3;
        const QByteArray piece = splitPiece(text, marker, i);
        FUZZ_CHECK(!piece.contains(marker));
        FUZZ_CHECK(text.contains(piece));
        if (count <= 64)
            joined += (i > 0 ? marker : QByteArray()) + piece;
    }
    if (count <= 64)
        FUZZ_CHECK(joined == text);
    FUZZ_CHECK(splitPiece(text, marker, count + 1).isEmpty());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const auto [marker, rest] = SplitAtNul(FuzzBytes(data, size));
    const auto [text, close] = SplitAtNul(rest);
    checkPieces(text, marker);

    const QByteArray between = cutBetween(text, marker, close);
    FUZZ_CHECK(text.contains(between));
    if (!marker.isEmpty() && !text.contains(marker))
        FUZZ_CHECK(between.isEmpty());
    if (!close.isEmpty())
        FUZZ_CHECK(!between.contains(close));
    if (!marker.isEmpty()) {
        FUZZ_CHECK(!between.contains(marker));
        // The value starts right after the first opening marker.
        const qsizetype at = text.indexOf(marker);
        if (at >= 0)
            FUZZ_CHECK(text.mid(at + marker.size()).startsWith(between));
    }

    // The value of a growing text, once complete, is the value of the whole
    // text, and no byte that follows changes it; a whole text gives it as
    // soon as the opening marker is there.
    const std::optional<QByteArray> whole = completeBetween(text, marker, close, true);
    FUZZ_CHECK(whole.has_value() == (!marker.isEmpty() && text.contains(marker)));
    if (whole)
        FUZZ_CHECK(*whole == between);
    const std::optional<QByteArray> complete = completeBetween(text, marker, close);
    if (complete)
        FUZZ_CHECK(whole && *complete == *whole);
    for (const qsizetype cut : CutPoints(text)) {
        if (const std::optional<QByteArray> early = completeBetween(text.left(cut), marker, close))
            FUZZ_CHECK(complete && *early == *complete);
    }
    return 0;
}
