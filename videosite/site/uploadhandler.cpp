#include "videosite/site/uploadhandler.h"

#include "videosite/site/clock.h"
#include "videosite/site/credentials.h"
#include "videosite/site/pages.h"

#include <cerrno>
#include <cstring>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace videosite {

namespace {

// Why a store failure stops an upload: 507 when the disk is full, 500 otherwise.
std::pair<int, QString> storeProblem(Store::Status status)
{
    if (status == Store::Status::DiskFull)
        return {507, u"There is no room left on the site to store the video."_s};
    return {500, u"The site could not store the video."_s};
}

} // namespace

UploadHandler::UploadHandler(Store &store, const SiteConfig &config)
    : m_store(store)
    , m_config(config)
{
}

qint64 UploadHandler::bodyLimit(const HttpRequest &request) const
{
    return request.path == "/my_videos_post" ? MaxUploadSize : 64 * 1024;
}

HttpResponse UploadHandler::errorPage(int status) const
{
    return HttpResponse::html(status, Pages::error(status));
}

HttpResponse UploadHandler::refused(int status, const QString &reason) const
{
    return HttpResponse::html(
        status, Pages::uploadRefused(reason, m_config.siteAddress() + "/my_videos_upload"));
}

std::optional<HttpResponse> UploadHandler::precheck(const HttpRequest &request)
{
    if (request.path != "/my_videos_post")
        return HttpResponse::html(404, Pages::error(404));
    if (request.method != "POST") {
        HttpResponse response = HttpResponse::html(405, Pages::error(405));
        response.addHeader("Allow", "POST");
        return response;
    }
    if (!request.hasHeader("Content-Length"))
        return HttpResponse::html(411, Pages::error(411));
    if (multipartBoundary(request.header("Content-Type")).isEmpty())
        return refused(400, u"The upload is not a multipart form."_s);
    const bool signedIn = m_store.session(request.cookie("LOGIN_INFO"), currentTime()).has_value();
    if (m_store.status() != Store::Status::Ok) {
        const auto [status, reason] = storeProblem(m_store.status());
        return refused(status, reason);
    }
    if (!signedIn)
        return refused(403, u"You are not signed in, or your session has ended."_s);
    return std::nullopt;
}

std::unique_ptr<BodyReceiver> UploadHandler::receiverFor(const HttpRequest &request)
{
    return std::make_unique<UploadReceiver>(
        m_store, m_store.session(request.cookie("LOGIN_INFO"), currentTime()),
        multipartBoundary(request.header("Content-Type")), m_config.ticketLifetime);
}

void UploadHandler::respond(HttpRequest &request, BodyReceiver *receiver, const Reply &reply)
{
    Q_UNUSED(request);
    auto *upload = static_cast<UploadReceiver *>(receiver);
    const UploadReceiver::Result result = upload->complete();
    if (result.status != 0) {
        reply(refused(result.status, result.reason));
        return;
    }

    // The uploader takes the id from the first "video_id=" up to the "&".
    const QByteArray resultAddress =
        m_config.siteAddress() + "/my_videos_upload?video_id=" + result.videoId + "&status=ok";
    const QByteArray watchAddress = m_config.siteAddress() + "/watch?v=" + result.videoId;
    reply(
        HttpResponse::redirect(303, resultAddress, Pages::uploadDone(resultAddress, watchAddress)));
}

UploadReceiver::UploadReceiver(Store &store, const std::optional<Session> &session,
                               const QByteArray &boundary, qint64 ticketLifetime)
    : m_store(store)
    , m_session(session)
    , m_ticketLifetime(ticketLifetime)
    , m_parser(boundary)
{
    // The store's status is that of the look-up that found the session.
    if (m_store.status() != Store::Status::Ok)
        refuseForStore();
    else if (!m_session)
        refuse(403, u"You are not signed in, or your session has ended."_s);
    m_parser.setFileSink([this](const MultipartPart &part) { return startFile(part); },
                         [this](QByteArrayView data) { return writeFile(data); });
}

UploadReceiver::~UploadReceiver()
{
    m_file.close();
    if (!m_tempPath.isEmpty())
        QFile::remove(m_tempPath);
}

bool UploadReceiver::receive(QByteArrayView data)
{
    return m_refusal == 0 && m_parser.feed(data);
}

QString UploadReceiver::ticketProblem(TicketState state) const
{
    switch (state) {
    case TicketState::Usable:
        return {};
    case TicketState::Unknown:
        return u"This upload form is not known here."_s;
    case TicketState::Used:
        return u"This upload form has been used already."_s;
    case TicketState::Expired:
        return u"This upload form has expired."_s;
    case TicketState::OtherSession:
        return u"This upload form belongs to another session."_s;
    }
    return {};
}

bool UploadReceiver::startFile(const MultipartPart &part)
{
    Q_UNUSED(part);
    // Every field before the file is known now, the ticket among them: a
    // refused upload is answered before its file is read.
    const QByteArray ticket = m_parser.fieldValue("addresser");
    m_fileStartedAt = currentTime();
    const TicketState state =
        m_store.ticketState(ticket, *m_session, m_fileStartedAt, m_ticketLifetime);
    if (m_store.status() != Store::Status::Ok) {
        refuseForStore();
        return false;
    }
    if (state != TicketState::Usable) {
        refuse(403, ticketProblem(state));
        return false;
    }
    m_tempPath = m_store.newTemporaryPath();
    m_file.setFileName(m_tempPath);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
        qWarning("videosite: cannot create %s: %s", qPrintable(m_tempPath),
                 qPrintable(m_file.errorString()));
        m_tempPath.clear();
        refuse(500, u"The video could not be stored."_s);
        return false;
    }
    return true;
}

bool UploadReceiver::writeFile(QByteArrayView data)
{
    while (!data.isEmpty()) {
        const ssize_t written = ::write(m_file.handle(), data.data(), size_t(data.size()));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            fileFailed("write", written < 0 ? errno : ENOSPC);
            return false;
        }
        data = data.sliced(written);
    }
    return true;
}

void UploadReceiver::fileFailed(const char *operation, int error)
{
    // The system's reason, so that a full disk reads as one.
    qWarning("videosite: cannot %s %s: %s", operation, qPrintable(m_tempPath),
             std::strerror(error));
    const auto [status, reason] =
        storeProblem(isDiskFull(error) ? Store::Status::DiskFull : Store::Status::Failed);
    refuse(status, reason);
}

void UploadReceiver::refuse(int status, const QString &reason)
{
    m_refusal = status;
    m_refusalReason = reason;
}

void UploadReceiver::refuseForStore()
{
    const auto [status, reason] = storeProblem(m_store.status());
    refuse(status, reason);
}

UploadReceiver::Result UploadReceiver::failure(int status, const QString &reason)
{
    m_file.close();
    if (!m_tempPath.isEmpty())
        QFile::remove(m_tempPath);
    m_tempPath.clear();
    return Result{status, reason, {}};
}

UploadReceiver::Result UploadReceiver::complete()
{
    if (m_refusal != 0)
        return failure(m_refusal, m_refusalReason);
    if (!m_parser.finish())
        return failure(400,
                       u"The upload is not a complete multipart form: "_s + m_parser.errorString());
    const MultipartPart *filePart = m_parser.filePart();
    if (!filePart || !m_file.isOpen() || (filePart->fileName.isEmpty() && m_parser.fileSize() == 0))
        return failure(400, u"The upload holds no video file."_s);

    // The file is complete on disk before it gets its final name.
    if (::fdatasync(m_file.handle()) != 0) {
        fileFailed("sync", errno);
        return failure(m_refusal, m_refusalReason);
    }
    m_file.close();

    // The ticket had to be valid when the file began to arrive, however long
    // the file then took; meanwhile another post may have used it.
    const qint64 now = currentTime();
    const QByteArray ticket = m_parser.fieldValue("addresser");
    const TicketState state =
        m_store.ticketState(ticket, *m_session, m_fileStartedAt, m_ticketLifetime);
    if (m_store.status() != Store::Status::Ok)
        return storeFailure();
    if (state != TicketState::Usable)
        return failure(403, ticketProblem(state));

    QByteArray id;
    for (;;) {
        id = randomToken(8);
        const bool taken = m_store.videoIdTaken(id);
        if (m_store.status() != Store::Status::Ok)
            return storeFailure();
        if (!taken && !QFile::exists(m_store.videoPath(id)))
            break;
    }
    if (!m_store.beginPlacing(id))
        return storeFailure();

    const QString finalPath = m_store.videoPath(id);
    if (::rename(QFile::encodeName(m_tempPath).constData(),
                 QFile::encodeName(finalPath).constData())
        != 0) {
        fileFailed("rename", errno);
        m_store.endPlacing(id);
        return failure(m_refusal, m_refusalReason);
    }
    m_tempPath.clear();

    Video video;
    video.id = id;
    video.ownerId = m_session->accountId;
    video.title = m_parser.fieldValue("field_myvideo_title");
    video.description = m_parser.fieldValue("field_myvideo_descr");
    video.tags = m_parser.fieldValue("field_myvideo_keywords");
    video.category = m_parser.fieldValue("field_myvideo_categories").trimmed();
    video.size = m_parser.fileSize();
    video.created = now;
    // The row is committed only now that the file is in place; a server
    // stopped in between leaves a file without a row, removed at the next start.
    if (!m_store.addVideo(video, ticket, *m_session, m_fileStartedAt - m_ticketLifetime)) {
        const Store::Status status = m_store.status();
        QFile::remove(finalPath);
        m_store.endPlacing(id);
        if (status == Store::Status::Ok) // the ticket was used meanwhile
            return Result{403, ticketProblem(TicketState::Used), {}};
        const auto [code, reason] = storeProblem(status);
        return Result{code, reason, {}};
    }
    return Result{0, {}, id};
}

UploadReceiver::Result UploadReceiver::storeFailure()
{
    const auto [status, reason] = storeProblem(m_store.status());
    return failure(status, reason);
}

} // namespace videosite
