#include "engine/texts/progress.h"

#include "engine/texts/numbers.h"

namespace uplark {

using namespace Qt::StringLiterals;

UploadProgressView uploadProgress(qint64 bytesSent, qint64 fileSize, int previousBar,
                                  const QLocale &locale)
{
    UploadProgressView view;
    view.bar = previousBar;
    const qint64 onePercent = divRoundHalfEven(fileSize, 100);
    if (onePercent > 0) {
        const qint64 value = divRoundHalfEven(bytesSent, onePercent);
        if (value >= 0 && value <= 100)
            view.bar = int(value);
    }
    view.percent = QString::number(view.bar) + u'%';

    const qint64 remaining = divRoundHalfEven(fileSize - bytesSent, 1024);
    if (remaining < 0) {
        view.finished = true;
        view.bar = 100;
        view.kilobytes =
            QString::number(kilobytes(fileSize)) + u" Kb uploaded so far, remaining 0 Kb"_s;
    } else {
        view.kilobytes = groupedNumber(kilobytes(bytesSent), locale)
                         + u" Kb uploaded so far, remaining "_s + groupedNumber(remaining, locale)
                         + u" Kb"_s;
    }
    return view;
}

QString startingKilobyteLine(qint64 fileSize, const QLocale &locale)
{
    return u"0 Kb uploaded so far, remaining "_s + groupedNumber(kilobytes(fileSize), locale)
           + u" Kb"_s;
}

QString uploadingLine(const QString &fileName, qint64 fileSize, const QLocale &locale)
{
    return u"Uploading "_s + megabytesText(fileSize, locale) + u" MB video '"_s + fileName + u"'"_s;
}

} // namespace uplark
