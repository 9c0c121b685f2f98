#pragma once

#include <QByteArray>

#include <optional>

namespace uplark {

// Marker extraction shared by every answer scanner.
//
// Splitting a text at a marker yields pieces: piece 0 is the text before the
// first occurrence (the whole text when there is none), piece 1 the text
// between the first and second occurrence (or to the end), and so on. Pieces
// past the last one are empty. Markers match with exact case.
QByteArray splitPiece(const QByteArray &text, const QByteArray &marker, int piece);

// The value after an opening marker, cut before a closing marker: piece 1 of
// the text at `open`, then piece 0 of that at `close`. Empty when `open` is
// absent; runs to the next `open` or the end when `close` is absent.
QByteArray cutBetween(const QByteArray &text, const QByteArray &open, const QByteArray &close);

// What cutBetween gives for a text that is still growing, once no byte that
// may follow can change it: the opening marker has come and so has the
// value's end, the closing marker or the next opening marker. With `ended`
// the text is whole and its end ends the value too. Nothing before that.
std::optional<QByteArray> completeBetween(const QByteArray &text, const QByteArray &open,
                                          const QByteArray &close, bool ended = false);

// A value of completeBetween and the length of the text that decided it: up
// to the end of the marker that ends the value (all of the text when the
// text's end did).
struct CompleteValue
{
    QByteArray value;
    qsizetype decidedBy = 0;
};
std::optional<CompleteValue> completeValue(const QByteArray &text, const QByteArray &open,
                                           const QByteArray &close, bool ended);

// True when bytes that may still follow the text could complete an
// occurrence of `marker` that begins before `end`: from such a position on,
// the text is the start of the marker.
bool markerMayBeginBefore(const QByteArray &text, const QByteArray &marker, qsizetype end);

} // namespace uplark
