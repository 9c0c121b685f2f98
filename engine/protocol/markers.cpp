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

} // namespace uplark
