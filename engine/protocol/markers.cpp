#include "engine/protocol/markers.h"

namespace uplark {

QByteArray splitPiece(const QByteArray &text, const QByteArray &marker, int piece)
{
    if (marker.isEmpty())
        return piece == 0 ? text : QByteArray();
    qsizetype start = 0;
    for (int i = 0; i < piece; ++i) {
        const qsizetype at = text.indexOf(marker, start);
        if (at < 0)
            return {};
        start = at + marker.size();
    }
    const qsizetype end = text.indexOf(marker, start);
    return text.mid(start, end < 0 ? -1 : end - start);
}

QByteArray cutBetween(const QByteArray &text, const QByteArray &open, const QByteArray &close)
{
    return splitPiece(splitPiece(text, open, 1), close, 0);
}

bool markerMayBeginBefore(const QByteArray &text, const QByteArray &marker, qsizetype end)
{
    // Only an occurrence that is not complete yet can still appear: one that
    // begins within the last marker.size() - 1 bytes.
    const qsizetype last = qMin(end, text.size());
    for (qsizetype at = qMax<qsizetype>(0, text.size() - marker.size() + 1); at < last; ++at) {
        if (marker.startsWith(QByteArrayView(text).sliced(at)))
            return true;
    }
    return false;
}

std::optional<CompleteValue> completeValue(const QByteArray &text, const QByteArray &open,
                                           const QByteArray &close, bool ended)
{
    // An opening marker that has come stays the first one, whatever follows.
    const qsizetype at = open.isEmpty() ? -1 : text.indexOf(open);
    if (at < 0)
        return std::nullopt;
    const qsizetype start = at + open.size();
    const qsizetype nextOpen = text.indexOf(open, start);
    const QByteArray piece = text.mid(start, nextOpen < 0 ? -1 : nextOpen - start);
    const qsizetype closeAt = close.isEmpty() ? -1 : piece.indexOf(close);
    if (closeAt >= 0) {
        const qsizetype decidedBy = start + closeAt + close.size();
        // A later byte could still end the piece at an opening marker that
        // begins before this closing marker is over.
        if (nextOpen < 0 && !ended && markerMayBeginBefore(text, open, decidedBy))
            return std::nullopt;
        return CompleteValue{piece.left(closeAt), decidedBy};
    }
    if (nextOpen >= 0)
        return CompleteValue{piece, nextOpen + open.size()};
    if (ended)
        return CompleteValue{piece, text.size()};
    return std::nullopt;
}

std::optional<QByteArray> completeBetween(const QByteArray &text, const QByteArray &open,
                                          const QByteArray &close, bool ended)
{
    const std::optional<CompleteValue> found = completeValue(text, open, close, ended);
    return found ? std::optional<QByteArray>(found->value) : std::nullopt;
}

} // namespace uplark
