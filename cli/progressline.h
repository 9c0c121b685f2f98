#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QPair>
#include <QString>

namespace uplark {

// The progress line of the command line: how far a file post is, how fast
// it goes and how long it will take, fitted to the terminal's width.

// A size as the line gives it, kilo and mega counted in 1024s: "512 B",
// "12 kB", "4.5 MB".
QString sizeText(qint64 bytes);
// "Sent of total" in the total's unit: "1.3/3.0 MB", "12/512 kB".
QString sentOfTotalText(qint64 sent, qint64 total);
// A speed: "850 kB/s", "1.2 MB/s".
QString speedText(double bytesPerSecond);
// A duration: "0:05", "12:34", "1:02:03".
QString durationText(qint64 seconds);

// What the line shows of one post.
struct ProgressFigures
{
    qint64 sent = 0;
    qint64 total = 0;
    double speed = -1;       // bytes a second; below 0 while not known
    qint64 secondsLeft = -1; // below 0 while not known
    QString end;             // instead of the time left once the post is over ("done in 0:03")
};

// `label` (the file's name, with its number in a batch) and the figures,
// in at most `width` - 1 columns, so that the terminal never wraps it: the
// percentage, sent of total, the speed and the time left (or the end). Where
// they do not fit, the label is cut short with "..." down to 14 columns, then
// the speed is left out, then sent of total, then the time left.
QString progressLine(const QString &label, const ProgressFigures &figures, int width);

// `text` in at most `width` - 1 columns, cut short with "..." at its end.
QString fitToWidth(const QString &text, int width);

// The speed of a post over its last few seconds.
class SpeedMeter
{
public:
    // A new post starts now.
    void start();
    // `sent` bytes have gone out in all by now.
    void add(qint64 sent);
    // Bytes a second over the last three seconds (over all of the post while
    // it is shorter); below 0 during its first half second.
    double speed() const;
    // Bytes a second over the whole post so far; below 0 as above.
    double averageSpeed() const;
    qint64 elapsedMilliseconds() const { return m_clock.elapsed(); }

private:
    QElapsedTimer m_clock;
    QList<QPair<qint64, qint64>> m_samples; // (milliseconds, bytes sent)
};

} // namespace uplark
