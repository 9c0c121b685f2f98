#pragma once

#include <QByteArray>

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

} // namespace uplark
