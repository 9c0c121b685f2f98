#include "engine/texts/numbers.h"

namespace uplark {

qint64 divRoundHalfEven(qint64 num, qint64 den)
{
    qint64 q = num / den;
    qint64 r = num % den; // same sign as num
    const bool negative = r < 0;
    if (negative)
        r = -r;
    if (2 * r > den || (2 * r == den && (q % 2 != 0)))
        q += negative ? -1 : 1;
    return q;
}

qint64 megabytesHundredths(qint64 bytes)
{
    return divRoundHalfEven(bytes * 100, 1048576);
}

QString megabytesText(qint64 bytes, const QLocale &locale)
{
    const qint64 hundredths = megabytesHundredths(bytes);
    const qint64 magnitude = hundredths < 0 ? -hundredths : hundredths;
    QString text = QString::number(magnitude / 100);
    qint64 fraction = magnitude % 100;
    if (fraction != 0) {
        QString digits = QString::number(fraction).rightJustified(2, u'0');
        if (digits.endsWith(u'0'))
            digits.chop(1);
        text += locale.decimalPoint() + digits;
    }
    return hundredths < 0 ? locale.negativeSign() + text : text;
}

qint64 kilobytes(qint64 bytes)
{
    return divRoundHalfEven(bytes, 1024);
}

QString groupedNumber(qint64 value, const QLocale &locale)
{
    QLocale grouped = locale;
    grouped.setNumberOptions(grouped.numberOptions() & ~QLocale::OmitGroupSeparator);
    return grouped.toString(value);
}

} // namespace uplark
