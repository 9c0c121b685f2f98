#pragma once

#include <QLocale>
#include <QString>

namespace uplark {

// Number formats of the figures shown to the user. Every rounding goes half
// to even.

// num / den rounded to a whole number, halves to the even neighbour.
// `den` must be positive; `num` may be negative.
qint64 divRoundHalfEven(qint64 num, qint64 den);

// Size in megabytes: bytes / 1,048,576 rounded to two decimals, written in its
// shortest form (no trailing zeros, no grouping) with the locale's decimal
// separator: 5242880 -> "5", 1000000 -> "0.95", 1572864 -> "1.5".
QString megabytesText(qint64 bytes, const QLocale &locale = QLocale::system());

// The megabyte figure in hundredths, for comparisons: 104862843 -> 10001.
qint64 megabytesHundredths(qint64 bytes);

// kilobytes: bytes / 1024 rounded to a whole number.
qint64 kilobytes(qint64 bytes);

// A whole number with the locale's thousands separators: 1536 -> "1,536".
QString groupedNumber(qint64 value, const QLocale &locale = QLocale::system());

} // namespace uplark
