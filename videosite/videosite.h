#pragma once

#include "videosite/http/httpserver.h"
#include "videosite/options.h"
#include "videosite/site/siteconfig.h"
#include "videosite/site/sitehandler.h"
#include "videosite/site/store.h"
#include "videosite/site/uploadhandler.h"

#include <QObject>
#include <QTimer>

namespace videosite {

// The whole stand-in site in one process: the store, the web server with the
// conversion service, and the upload server.
class VideoSite : public QObject
{
    Q_OBJECT

public:
    explicit VideoSite(const ServerOptions &options, QObject *parent = nullptr);
    ~VideoSite() override;

    // Opens the store, clears what an interrupted run left behind, and
    // starts listening on both addresses.
    bool start();
    QString errorString() const { return m_error; }
    QString siteAddress() const;
    QString uploadAddress() const;

    static constexpr qint64 MaxPurgeIntervalSeconds = 10 * 60;

private:
    ServerOptions m_options;
    SiteConfig m_config;
    Store m_store;
    SiteHandler m_siteHandler;
    UploadHandler m_uploadHandler;
    HttpServer *m_site;
    HttpServer *m_upload;
    QTimer m_purgeTimer;
    QString m_error;
};

} // namespace videosite
