#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace uplark {

// Bytes that a connection sends, produced a slice at a time as the
// connection drains, so that a long request need not be held whole.
class SendSource
{
public:
    virtual ~SendSource() = default;

    // Bytes not yet produced.
    virtual qint64 remaining() const = 0;
    bool atEnd() const { return remaining() == 0; }

    // The next bytes, at most `maxBytes` (> 0) of them; the view stays valid
    // until the next call or the source's end. An empty view before the end
    // is a failure that errorString() describes; the source then produces
    // nothing more.
    virtual QByteArrayView next(qint64 maxBytes) = 0;
    virtual QString errorString() const { return {}; }

    // Milliseconds to wait before next() may be asked for more; 0: now. A
    // source that paces its bytes holds them back here, never by failing.
    virtual int millisecondsUntilReady() const { return 0; }
};

// The bytes of a buffer, without a copy (QByteArray is shared).
class BufferSource : public SendSource
{
public:
    explicit BufferSource(const QByteArray &data)
        : m_data(data)
    {
    }

    qint64 remaining() const override { return m_data.size() - m_offset; }
    QByteArrayView next(qint64 maxBytes) override
    {
        const qsizetype n = qsizetype(qMin(maxBytes, remaining()));
        const QByteArrayView slice(m_data.constData() + m_offset, n);
        m_offset += n;
        return slice;
    }

private:
    QByteArray m_data;
    qsizetype m_offset = 0;
};

} // namespace uplark
