#include "engine/net/pacedsource.h"

#include <QtGlobal>

namespace uplark {

PacedSource::PacedSource(std::unique_ptr<SendSource> inner, qint64 bytesPerSecond)
    : m_inner(std::move(inner))
    , m_rate(qMax<qint64>(1, bytesPerSecond))
    , m_step(qBound(qint64(1), m_rate / 20, qint64(64 * 1024)))
{
}

qint64 PacedSource::allowed() const
{
    if (!m_clock.isValid())
        return m_step;
    // Nanoseconds, so that slow rates still grow between two calls.
    return m_step + qint64(double(m_rate) * double(m_clock.nsecsElapsed()) / 1e9);
}

int PacedSource::millisecondsUntilReady() const
{
    const qint64 wanted = qMin(m_step, remaining());
    const qint64 missing = m_produced + wanted - allowed();
    if (missing <= 0)
        return 0;
    // Rounded up, so that the budget is there when the wait is over.
    return int(qMin<qint64>((missing * 1000 + m_rate - 1) / m_rate, 1000));
}

QByteArrayView PacedSource::next(qint64 maxBytes)
{
    if (!m_clock.isValid())
        m_clock.start();
    const qint64 budget = qMax<qint64>(1, allowed() - m_produced);
    const QByteArrayView slice = m_inner->next(qMin(maxBytes, budget));
    m_produced += slice.size();
    return slice;
}

} // namespace uplark
