#pragma once

#include <QByteArray>

namespace uplark {

// What has arrived of one answer, for scanners that read it as it grows: its
// first bytes (where an HTTP answer has its status line and head) and its
// newest bytes, each bounded, so that a site that never stops talking cannot
// fill the memory.
class ReceivedAnswer
{
public:
    static constexpr qsizetype StartKept = 16 * 1024;
    static constexpr qsizetype TextKept = 64 * 1024;

    void append(const QByteArray &chunk);
    void clear();

    // The first StartKept bytes of the answer (fewer while fewer have come).
    const QByteArray &start() const { return m_start; }
    // The newest TextKept bytes: the whole answer while it is no longer.
    const QByteArray &text() const { return m_text; }
    // Bytes that have arrived in all.
    qint64 total() const { return m_total; }

private:
    QByteArray m_start;
    QByteArray m_text;
    qint64 m_total = 0;
};

} // namespace uplark
