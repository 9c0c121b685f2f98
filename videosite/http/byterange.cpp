#include "videosite/http/byterange.h"

#include "videosite/http/formencoding.h"

namespace videosite {

namespace {

// Digits only, no sign or blanks; -1 when not a number.
qint64 readNumber(QByteArrayView text)
{
    if (text.isEmpty() || text.size() > 18)
        return -1;
    qint64 value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

} // namespace

ByteRange parseByteRange(QByteArrayView header, qint64 size)
{
    ByteRange range;
    header = header.trimmed();
    const qsizetype eq = header.indexOf('=');
    if (eq < 0 || !equalsIgnoringCase(header.first(eq).trimmed(), "bytes"))
        return range;
    const QByteArrayView ranges = header.sliced(eq + 1).trimmed();
    if (ranges.contains(','))
        return range;
    const qsizetype dash = ranges.indexOf('-');
    if (dash < 0)
        return range;
    const QByteArrayView firstText = ranges.first(dash).trimmed();
    const QByteArrayView lastText = ranges.sliced(dash + 1).trimmed();

    if (firstText.isEmpty()) {
        const qint64 suffix = readNumber(lastText);
        if (suffix < 0)
            return range;
        if (suffix == 0 || size == 0) {
            range.kind = ByteRange::Kind::Unsatisfiable;
            return range;
        }
        range.kind = ByteRange::Kind::Partial;
        range.first = qMax<qint64>(0, size - suffix);
        range.last = size - 1;
        return range;
    }

    const qint64 first = readNumber(firstText);
    const qint64 last = lastText.isEmpty() ? size - 1 : readNumber(lastText);
    if (first < 0 || (!lastText.isEmpty() && (last < 0 || last < first)))
        return range;
    if (first >= size) {
        range.kind = ByteRange::Kind::Unsatisfiable;
        return range;
    }
    range.kind = ByteRange::Kind::Partial;
    range.first = first;
    range.last = qMin(last, size - 1);
    return range;
}

} // namespace videosite
