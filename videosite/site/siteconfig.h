#pragma once

#include "videosite/site/loginguard.h"

#include <QByteArray>

namespace videosite {

// What the site's two servers need to know of each other and of the way the
// site is reached from outside.
struct SiteConfig
{
    // The host name that pages and answers put into absolute addresses.
    QByteArray publicHost = "localhost";
    // Both servers speak HTTPS: the addresses given out are https ones.
    bool tls = false;
    quint16 sitePort = 0;
    quint16 uploadPort = 0;
    LoginPolicy login;
    // Password checks that may run at once (each on a thread of its own).
    int passwordThreads = 2;
    // How long an upload form's ticket may wait before its file post starts.
    qint64 ticketLifetime = 6 * 3600;

    // "http://host" and the port unless it is 80 ("https://", 443 with TLS).
    QByteArray siteAddress() const
    {
        return scheme() + publicHost
               + (sitePort == (tls ? 443 : 80) ? QByteArray() : ':' + QByteArray::number(sitePort));
    }
    // The upload form's action: always with the port.
    QByteArray uploadAction() const
    {
        return scheme() + publicHost + ':' + QByteArray::number(uploadPort) + "/my_videos_post";
    }
    QByteArray scheme() const { return tls ? "https://" : "http://"; }
};

} // namespace videosite
