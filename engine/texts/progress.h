#pragma once

#include <QLocale>
#include <QString>

namespace uplark {

// The figures the window shows while the file post goes out.
struct UploadProgressView
{
    int bar = 0;           // progress bar value, 0 to 100
    QString percent;       // "50%"
    QString kilobytes;     // the kilobyte line
    bool finished = false; // more than 512 bytes past the file size: all is out
    // The bytes of the whole request handed to the network, and its length.
    qint64 requestSent = 0;
    qint64 requestSize = 0;
};

// The view after `bytesSent` bytes of the request have gone out for a file of
// `fileSize` bytes. The bar keeps `previousBar` when one percent of the file
// rounds to 0 bytes or the new value would pass 100. Rounding is half to
// even; the kilobyte figures carry `locale`'s thousands separators while the
// upload runs and plain digits in the finished line.
UploadProgressView uploadProgress(qint64 bytesSent, qint64 fileSize, int previousBar,
                                  const QLocale &locale);

// The kilobyte line before the first byte goes out: "0 Kb uploaded so far,
// remaining N Kb", N with `locale`'s thousands separators.
QString startingKilobyteLine(qint64 fileSize, const QLocale &locale);

// The status line of an upload: "Uploading 2.5 MB video 'name'".
QString uploadingLine(const QString &fileName, qint64 fileSize, const QLocale &locale);

} // namespace uplark
