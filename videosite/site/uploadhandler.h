#pragma once

#include "videosite/http/httphandler.h"
#include "videosite/http/multipart.h"
#include "videosite/site/siteconfig.h"
#include "videosite/site/store.h"

#include <QFile>

#include <optional>

namespace videosite {

// The upload server: takes the file post of the second upload form. The body
// is parsed as it arrives and the file written straight to a temporary file
// in the video folder; only a complete upload with a valid session and an
// unused ticket of that session is renamed into place and then recorded.
class UploadHandler : public HttpHandler
{
public:
    UploadHandler(Store &store, const SiteConfig &config);

    qint64 bodyLimit(const HttpRequest &request) const override;
    std::optional<HttpResponse> precheck(const HttpRequest &request) override;
    std::unique_ptr<BodyReceiver> receiverFor(const HttpRequest &request) override;
    void respond(HttpRequest &request, BodyReceiver *receiver, const Reply &reply) override;
    HttpResponse errorPage(int status) const override;

    // 100 MiB of video and room for the form around it.
    static constexpr qint64 MaxUploadSize = 101 * 1024 * 1024;

private:
    HttpResponse refused(int status, const QString &reason) const;

    Store &m_store;
    const SiteConfig &m_config;
};

// One file post in progress.
class UploadReceiver : public BodyReceiver
{
public:
    // Without a session (it ended after the request was first checked) the
    // upload is refused with 403 at its first byte; when the store failed to
    // look the session up, with 500 or 507.
    UploadReceiver(Store &store, const std::optional<Session> &session, const QByteArray &boundary,
                   qint64 ticketLifetime);
    // Removes the temporary file of an upload that did not complete.
    ~UploadReceiver() override;

    bool receive(QByteArrayView data) override;

    struct Result
    {
        int status = 0; // 0: stored
        QString reason;
        QByteArray videoId;
    };
    // Ends the body and stores the video.
    Result complete();

private:
    bool startFile(const MultipartPart &part);
    bool writeFile(QByteArrayView data);
    // Logs a failed file operation with the system's reason and refuses the upload.
    void fileFailed(const char *operation, int error);
    void refuse(int status, const QString &reason);
    void refuseForStore();
    Result failure(int status, const QString &reason);
    Result storeFailure();
    QString ticketProblem(TicketState state) const;

    Store &m_store;
    std::optional<Session> m_session;
    qint64 m_ticketLifetime;
    MultipartParser m_parser;
    QFile m_file;
    QString m_tempPath;
    qint64 m_fileStartedAt = 0;
    int m_refusal = 0;
    QString m_refusalReason;
};

} // namespace videosite
