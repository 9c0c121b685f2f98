#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <utility>

// A broken invariant ends the run the way a crash does, so libFuzzer keeps the
// input that broke it and the run fails.
#define FUZZ_CHECK(condition) \
    do { \
        if (!(condition)) { \
            std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #condition); \
            std::abort(); \
        } \
    } while (false)

// The fuzz input as a byte string of its own (a copy, so that a read past its
// end is a heap overflow that AddressSanitizer sees).
inline QByteArray FuzzBytes(const uint8_t *data, size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
}

// Splits the input at its first NUL byte: the part before it and the rest
// (empty when there is none). Lets one input carry two texts, such as a
// marker and the text it is looked for in.
inline std::pair<QByteArray, QByteArray> SplitAtNul(const QByteArray &input)
{
    const qsizetype nul = input.indexOf('\0');
    if (nul < 0)
        return {input, QByteArray()};
    return {input.left(nul), input.mid(nul + 1)};
}

// Places to cut an answer that grows, for checks that a scanner's complete
// value stays what it is whatever follows: a few fixed fractions of the
// input, and one that its last byte picks.
inline QList<qsizetype> CutPoints(const QByteArray &input)
{
    const qsizetype n = input.size();
    QList<qsizetype> cuts{n / 4, n / 2, 3 * n / 4, n > 0 ? n - 1 : 0};
    if (n > 0)
        cuts.append(qsizetype(uchar(input.back())) * n / 256);
    return cuts;
}

// Every byte as "%" and two hex digits of one case.
inline QByteArray EscapeEveryByte(QByteArrayView bytes, bool lowerCase)
{
    const char *digits = lowerCase ? "0123456789abcdef" : "0123456789ABCDEF";
    QByteArray escaped;
    escaped.reserve(bytes.size() * 3);
    for (const char c : bytes) {
        escaped += '%';
        escaped += digits[uchar(c) >> 4];
        escaped += digits[uchar(c) & 0xF];
    }
    return escaped;
}
