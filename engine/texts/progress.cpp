#include "engine/texts/progress.h"

#include "engine/texts/numbers.h"

namespace uplark {

using namespace Qt::StringLiterals;

UploadProgressView UploadProgress(qint64 bytesSent, qint64 fileSize, int previousBar,
                                  const QLocale &locale)
{
    UploadProgressView view;
    view.bar = previousBar;
    const qint64 onePercent = DivRoundHalfEven(fileSize, 100);
    if (onePercent > 0) {
        const qint64 value = DivRoundHalfEven(bytesSent, onePercent);
        if (value >= 0 && value <= 100)
            view.bar = int(value);
    }
    view.percent = QString::number(view.bar) + u'%';

    const qint64 remaining = DivRoundHalfEven(fileSize - bytesSent, 1024);
    if (remaining < 0) {
        view.finished = true;
        view.bar = 100;
        view.kilobytes =
            QString::number(Kilobytes(fileSize)) + u" Kb uploaded so far, remaining 0 Kb"_s;
    } else {
        view.kilobytes = GroupedNumber(Kilobytes(bytesSent), locale)
                         + u" Kb uploaded so far, remaining "_s + GroupedNumber(remaining, locale)
                         + u" Kb"_s;
    }
    return view;
}

QString StartingKilobyteLine(qint64 fileSize, const QLocale &locale)
{
    return u"0 Kb uploaded so far, remaining "_s + GroupedNumber(Kilobytes(fileSize), locale)
           + u" Kb"_s;
}

QString UploadingLine(const QString &fileName, qint64 fileSize, const QLocale &locale)
{
    return u"Uploading "_s + MegabytesText(fileSize, locale) + u" MB video '"_s + fileName + u"'"_s;
}

} // namespace uplark
