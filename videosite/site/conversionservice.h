#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace videosite {

// The text conversion service: the client posts "title=" T "&dscr=" D
// "&tags=" G with the texts as raw UTF-8 (its own placeholder tokens stand for
// the characters that would break this format) and gets the three texts back
// with every byte that is not printable ASCII written as a %XX escape, so that
// it can rebuild the exact UTF-8 bytes.
struct ConversionFields
{
    QByteArray title;
    QByteArray description;
    QByteArray tags;
};

// Splits the body at the first "&dscr=" and the first "&tags=" after the
// "title=" prefix; "+", "=", "?" and "#" are plain characters here and nothing
// is decoded. A missing field is empty.
ConversionFields splitConversionRequest(QByteArrayView body);

// Writes each byte outside 0x20..0x7E, and "%" itself, as "%" and two
// upper-case hex digits; every other byte stays as it is.
QByteArray escapeForConversion(QByteArrayView text);

// "<TITLE>" T' "</TITLE><DSCR>" D' "</DSCR><TAGS>" G' "</TAGS>".
QByteArray conversionAnswer(const ConversionFields &fields);

} // namespace videosite
