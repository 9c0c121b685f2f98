#pragma once

#include "engine/net/sendsource.h"

#include <QElapsedTimer>

#include <memory>

namespace uplark {

// The bytes of another source at no more than a given rate: from the first
// slice on, at any moment no more has been produced than one step plus the
// rate times the time since. Steps are a twentieth of a second's worth (1
// byte to 64 KiB), so that progress and the event loop stay smooth, and the
// average over the whole send matches the rate whatever the timers' jitter.
class PacedSource : public SendSource
{
public:
    PacedSource(std::unique_ptr<SendSource> inner, qint64 bytesPerSecond);

    qint64 remaining() const override { return m_inner->remaining(); }
    QByteArrayView next(qint64 maxBytes) override;
    QString errorString() const override { return m_inner->errorString(); }
    int millisecondsUntilReady() const override;

private:
    // Bytes that may have gone out by now.
    qint64 allowed() const;

    std::unique_ptr<SendSource> m_inner;
    qint64 m_rate;
    qint64 m_step;
    qint64 m_produced = 0;
    QElapsedTimer m_clock; // started with the first slice
};

} // namespace uplark
