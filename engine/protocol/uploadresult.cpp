#include "engine/protocol/uploadresult.h"

#include "engine/protocol/markers.h"

namespace uplark {

using namespace Qt::StringLiterals;

std::optional<QByteArray> scanVideoId(const QByteArray &chunk)
{
    if (!chunk.contains("video_id="))
        return std::nullopt;
    return cutBetween(chunk, QByteArrayLiteral("video_id="), QByteArrayLiteral("&"));
}

QString watchAddress(const QByteArray &id, const SiteAddress &site)
{
    // One character per byte, as the answer gave it.
    return QString::fromLatin1(site.schemePrefix() + site.authority) + u"/watch?v="_s
           + QString::fromLatin1(id);
}

QString termsAddress(const SiteAddress &site)
{
    return QString::fromLatin1(site.schemePrefix() + site.authority) + u"/t/terms"_s;
}

} // namespace uplark
