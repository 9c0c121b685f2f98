#include "cli/progressline.h"

#include <QLocale>
#include <QStringList>

#include <cmath>

using namespace Qt::StringLiterals;

namespace uplark {

namespace {

constexpr double KiB = 1024.0;
constexpr double MiB = 1024.0 * 1024.0;
// The label keeps at least this many columns before a figure is dropped.
constexpr int ShortestLabel = 14;

// One decimal below ten, none above: "4.5", "12".
QString figure(double value)
{
    return QLocale::c().toString(value, 'f', value < 9.95 ? 1 : 0);
}

QString elide(const QString &text, int columns)
{
    if (text.size() <= columns)
        return text;
    if (columns <= 3)
        return text.left(qMax(0, columns));
    return text.left(columns - 3) + u"..."_s;
}

} // namespace

QString sizeText(qint64 bytes)
{
    if (bytes < 1024)
        return QString::number(bytes) + u" B"_s;
    if (bytes < 1024 * 1024)
        return figure(bytes / KiB) + u" kB"_s;
    return figure(bytes / MiB) + u" MB"_s;
}

QString sentOfTotalText(qint64 sent, qint64 total)
{
    if (total < 1024)
        return u"%1/%2 B"_s.arg(sent).arg(total);
    const bool mega = total >= 1024 * 1024;
    const double unit = mega ? MiB : KiB;
    // Both in the total's precision, so that they line up as they grow.
    const int decimals = total / unit < 9.95 ? 1 : 0;
    return QLocale::c().toString(sent / unit, 'f', decimals) + u'/'
           + QLocale::c().toString(total / unit, 'f', decimals) + (mega ? u" MB"_s : u" kB"_s);
}

QString speedText(double bytesPerSecond)
{
    return sizeText(qint64(std::llround(bytesPerSecond))) + u"/s"_s;
}

QString durationText(qint64 seconds)
{
    const qint64 h = seconds / 3600;
    const qint64 m = seconds / 60 % 60;
    const qint64 s = seconds % 60;
    const QString ms = u"%1:%2"_s.arg(m, h > 0 ? 2 : 1, 10, QChar(u'0')).arg(s, 2, 10, QChar(u'0'));
    return h > 0 ? QString::number(h) + u':' + ms : ms;
}

QString fitToWidth(const QString &text, int width)
{
    return elide(text, width - 1);
}

QString progressLine(const QString &label, const ProgressFigures &f, int width)
{
    const int room = width - 1;
    const qint64 percent = f.total > 0 ? qBound(qint64(0), f.sent * 100 / f.total, qint64(100)) : 0;
    const QString speed = f.speed >= 0 ? speedText(f.speed) : QString();
    const QString left = !f.end.isEmpty()     ? f.end
                         : f.secondsLeft >= 0 ? durationText(f.secondsLeft) + u" left"_s
                                              : QString();
    // Shown in this order; where they do not fit, the speed goes first,
    // then sent of total, then the time left.
    bool withSizes = true;
    bool withSpeed = !speed.isEmpty();
    bool withLeft = !left.isEmpty();
    const int shortest = qMin<int>(ShortestLabel, int(label.size()));
    for (;;) {
        QStringList parts{QString::number(percent) + u'%'};
        if (withSizes)
            parts << sentOfTotalText(f.sent, f.total);
        if (withSpeed)
            parts << speed;
        if (withLeft)
            parts << left;
        const QString tail = parts.join(u' ');
        if (shortest + 1 + tail.size() <= room)
            return elide(label, room - 1 - int(tail.size())) + u' ' + tail;
        if (withSpeed)
            withSpeed = false;
        else if (withSizes)
            withSizes = false;
        else if (withLeft)
            withLeft = false;
        else
            return elide(label + u' ' + tail, room);
    }
}

void SpeedMeter::start()
{
    m_clock.start();
    m_samples = {{0, 0}};
}

void SpeedMeter::add(qint64 sent)
{
    const qint64 now = m_clock.elapsed();
    m_samples.append({now, sent});
    // Keep what the last three seconds need, and one sample before them.
    while (m_samples.size() > 2 && m_samples.at(1).first < now - 3000)
        m_samples.removeFirst();
}

double SpeedMeter::speed() const
{
    if (m_samples.size() < 2)
        return -1;
    const auto &[firstAt, firstSent] = m_samples.constFirst();
    const auto &[lastAt, lastSent] = m_samples.constLast();
    if (m_clock.elapsed() < 500 || lastAt <= firstAt)
        return -1;
    return double(lastSent - firstSent) * 1000.0 / double(lastAt - firstAt);
}

double SpeedMeter::averageSpeed() const
{
    if (m_samples.isEmpty() || m_clock.elapsed() < 500)
        return -1;
    return double(m_samples.constLast().second) * 1000.0 / double(m_clock.elapsed());
}

} // namespace uplark
