#pragma once

#include "engine/net/siteaddress.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace uplark {

// The upload server's answer and the addresses shown from it.

// The video id in one chunk of the answer: after the first "video_id=", up to
// the first "&" or the next "video_id=", or the end of the chunk. Nothing when
// the chunk lacks "video_id=" (exact case).
std::optional<QByteArray> scanVideoId(const QByteArray &chunk);

// "http://" (or "https://" for a site over TLS) + the site's authority +
// "/watch?v=" + id.
QString watchAddress(const QByteArray &id, const SiteAddress &site = defaultSiteAddress());

// "http://" or "https://" + the site's authority + "/t/terms".
QString termsAddress(const SiteAddress &site = defaultSiteAddress());

} // namespace uplark
