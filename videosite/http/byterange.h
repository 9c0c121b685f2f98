#pragma once

#include <QByteArrayView>

namespace videosite {

// A single byte range of a Range request header, resolved against the size of
// the resource.
struct ByteRange
{
    enum class Kind {
        Whole,         // no usable Range header: answer 200 with everything
        Partial,       // answer 206 with first..last
        Unsatisfiable, // answer 416
    };
    Kind kind = Kind::Whole;
    qint64 first = 0;
    qint64 last = -1;

    qint64 length() const { return last - first + 1; }
};

// Reads "bytes=first-last", "bytes=first-" and "bytes=-suffix". A header that
// is not understood, or asks for several ranges, is ignored (Whole), as HTTP
// allows.
ByteRange parseByteRange(QByteArrayView header, qint64 size);

} // namespace videosite
