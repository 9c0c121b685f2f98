#include "videosite/site/sitehandler.h"

#include "videosite/http/byterange.h"
#include "videosite/http/formencoding.h"
#include "videosite/http/multipart.h"
#include "videosite/site/clock.h"
#include "videosite/site/conversionservice.h"
#include "videosite/site/credentials.h"
#include "videosite/site/mediatype.h"
#include "videosite/site/pages.h"

#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace videosite {

namespace {

HttpResponse methodNotAllowed(const QByteArray &allow)
{
    HttpResponse response = HttpResponse::html(405, Pages::error(405));
    response.addHeader("Allow", allow);
    return response;
}

bool isGet(const HttpRequest &request)
{
    return request.method == "GET" || request.method == "HEAD";
}

// Only paths on this site may follow a login. The sign-in pages repeat the
// path, and no rejection page may name the login cookie.
QByteArray safeNext(const QByteArray &next)
{
    if (!next.startsWith('/') || next.startsWith("//") || next.contains('\\')
        || next.contains("LOGIN_INFO"))
        return "/my_account";
    for (const char c : next) {
        if (uchar(c) < 0x21 || uchar(c) == 0x7f)
            return "/my_account";
    }
    return next;
}

QByteArray formField(const std::optional<QList<MultipartPart>> &parts, const FormFields &urlFields,
                     QByteArrayView name)
{
    if (parts) {
        for (const MultipartPart &part : *parts) {
            if (!part.isFile && part.name == name)
                return part.value;
        }
        return {};
    }
    return formValue(urlFields, name);
}

HttpResponse storeFailurePage(bool diskFull)
{
    const int status = diskFull ? 507 : 500;
    return HttpResponse::html(status, Pages::error(status));
}

// The uploader tells the outcome by the cookie line or by the message texts;
// a failure of the site itself carries none of them, so that it is never
// taken for a rejected account.
HttpResponse loginAnswer(const LoginResult &result, const QByteArray &next)
{
    switch (result.verdict) {
    case LoginVerdict::LoggedIn: {
        // The cookie line comes first: nothing before it names the cookie.
        HttpResponse response;
        response.status = 302;
        response.addHeader("Set-Cookie", "LOGIN_INFO=" + result.sessionCookie
                                             + "; path=/; HttpOnly; SameSite=Lax");
        response.addHeader("Location", next);
        response.addHeader("Content-Type", "text/html; charset=utf-8");
        response.addHeader("Cache-Control", "no-store");
        response.body = Pages::signedIn(next);
        return response;
    }
    case LoginVerdict::MissingField:
        return HttpResponse::html(
            200, Pages::signIn(u"Please check your username and password."_s, next));
    case LoginVerdict::Incorrect:
        return HttpResponse::html(200, Pages::signIn(u"Sorry, your login was incorrect."_s, next));
    case LoginVerdict::TooManyFailures:
        return HttpResponse::html(
            200,
            Pages::signIn(
                u"You had too many login failures. Please wait before trying to login again."_s,
                next));
    case LoginVerdict::StoreFailed:
        return storeFailurePage(result.diskFull);
    }
    return HttpResponse::html(500, Pages::error(500));
}

} // namespace

SiteHandler::SiteHandler(Store &store, const SiteConfig &config)
    : m_store(store)
    , m_config(config)
    , m_guard(store, config.login, m_checker, &currentTime)
    , m_checker(config.passwordThreads)
{
}

HttpResponse SiteHandler::errorPage(int status) const
{
    return HttpResponse::html(status, Pages::error(status));
}

qint64 SiteHandler::bodyLimit(const HttpRequest &request) const
{
    Q_UNUSED(request);
    return MaxBodySize;
}

std::optional<Session> SiteHandler::sessionOf(const HttpRequest &request)
{
    return m_store.session(request.cookie("LOGIN_INFO"), currentTime());
}

bool SiteHandler::storeFailed() const
{
    return m_store.status() != Store::Status::Ok;
}

HttpResponse SiteHandler::storeFailure() const
{
    return storeFailurePage(m_store.status() == Store::Status::DiskFull);
}

void SiteHandler::purgeExpired()
{
    m_guard.forgetExpired();
    m_store.purgeExpired(currentTime(), m_config.ticketLifetime);
}

void SiteHandler::respond(HttpRequest &request, BodyReceiver *receiver, const Reply &reply)
{
    Q_UNUSED(receiver);
    // A login is answered once its password has been checked off the event loop.
    if (request.path == "/signup" && request.method == "POST")
        login(request, reply);
    else
        reply(answer(request));
}

HttpResponse SiteHandler::answer(const HttpRequest &request)
{
    const QByteArray &path = request.path;

    if (path == "/signup") {
        if (isGet(request)) {
            QByteArray next = request.queryItem("next");
            return HttpResponse::html(200, Pages::signIn({}, safeNext(next)));
        }
        return methodNotAllowed("GET, HEAD, POST");
    }
    if (path == "/conversions/str.asp") {
        if (request.method != "POST")
            return methodNotAllowed("POST");
        return conversion(request);
    }
    if (path == "/signout") {
        if (request.method != "POST")
            return methodNotAllowed("POST");
        return signOut(request);
    }

    const std::optional<Session> session = sessionOf(request);
    if (storeFailed())
        return storeFailure();
    const bool signedIn = session.has_value();

    if (path == "/my_videos_upload") {
        if (request.method == "POST")
            return metadataForm(request, session);
        if (isGet(request))
            return uploadPage(request, session);
        return methodNotAllowed("GET, HEAD, POST");
    }

    if (!isGet(request))
        return methodNotAllowed("GET, HEAD");

    if (path == "/") {
        const QList<Video> videos = m_store.recentVideos(30);
        return storeFailed() ? storeFailure()
                             : HttpResponse::html(200, Pages::home(videos, signedIn));
    }
    if (path == "/watch")
        return watch(request, signedIn);
    if (path.startsWith("/videos/"))
        return videoFile(request);
    if (path == "/my_videos") {
        if (!session)
            return HttpResponse::html(200, Pages::signInForMyVideos());
        const QList<Video> videos = m_store.videosOf(session->accountId);
        return storeFailed()
                   ? storeFailure()
                   : HttpResponse::html(200, Pages::myVideos(session->accountName, videos));
    }
    if (path == "/my_account") {
        if (!session)
            return HttpResponse::html(200, Pages::signIn({}, "/my_account"));
        const qsizetype videos = m_store.videosOf(session->accountId).size();
        return storeFailed()
                   ? storeFailure()
                   : HttpResponse::html(200, Pages::account(session->accountName, int(videos)));
    }
    if (path == "/t/terms")
        return HttpResponse::html(200, Pages::terms(signedIn));
    if (path == "/site.css") {
        HttpResponse response = HttpResponse::plainText(200, Pages::stylesheet());
        response.setHeader("Content-Type", "text/css; charset=utf-8");
        return response;
    }
    return HttpResponse::html(404, Pages::error(404));
}

void SiteHandler::login(const HttpRequest &request, const Reply &reply)
{
    // The body is form-encoded; what follows it beyond Content-Length (the
    // uploader sends two more CR LF pairs) was never read into it.
    const FormFields fields = parseUrlEncoded(request.body);
    const QString name = QString::fromUtf8(formValue(fields, "username"));
    const QByteArray password = formValue(fields, "password");
    QByteArray next = request.queryItem("next");
    if (next.isEmpty())
        next = formValue(fields, "next");
    next = safeNext(next);

    m_guard.attempt(name, password, request.clientAddress,
                    [next, reply](const LoginResult &result) { reply(loginAnswer(result, next)); });
}

HttpResponse SiteHandler::signOut(const HttpRequest &request)
{
    const QByteArray cookie = request.cookie("LOGIN_INFO");
    if (!cookie.isEmpty()) {
        m_store.endSession(cookie);
        if (storeFailed())
            return storeFailure();
    }
    HttpResponse response = HttpResponse::redirect(303, "/", Pages::signedOut());
    response.addHeader("Set-Cookie", "LOGIN_INFO=; path=/; Max-Age=0");
    return response;
}

HttpResponse SiteHandler::watch(const HttpRequest &request, bool signedIn)
{
    const QByteArray id = request.queryItem("v");
    const std::optional<Video> video = isVideoId(id) ? m_store.video(id) : std::nullopt;
    if (storeFailed())
        return storeFailure();
    if (!video)
        return HttpResponse::html(404, Pages::error(404));
    return HttpResponse::html(200, Pages::watch(*video, signedIn));
}

HttpResponse SiteHandler::videoFile(const HttpRequest &request)
{
    const QByteArray id = request.path.mid(int(qstrlen("/videos/")));
    const bool known = isVideoId(id) && m_store.video(id);
    if (storeFailed())
        return storeFailure();
    if (!known)
        return HttpResponse::html(404, Pages::error(404));
    const QString path = m_store.videoPath(id);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return HttpResponse::html(404, Pages::error(404));
    const qint64 size = file.size();
    const QByteArray type = sniffVideoType(file.read(16));
    file.close();

    HttpResponse response;
    response.addHeader("Content-Type", type);
    response.addHeader("Accept-Ranges", "bytes");
    const ByteRange range = parseByteRange(request.header("Range"), size);
    switch (range.kind) {
    case ByteRange::Kind::Unsatisfiable:
        response = HttpResponse::plainText(416, "Range not satisfiable\n");
        response.addHeader("Content-Range", "bytes */" + QByteArray::number(size));
        return response;
    case ByteRange::Kind::Partial:
        response.status = 206;
        response.addHeader("Content-Range", "bytes " + QByteArray::number(range.first) + '-'
                                                + QByteArray::number(range.last) + '/'
                                                + QByteArray::number(size));
        response.fileOffset = range.first;
        response.fileLength = range.length();
        break;
    case ByteRange::Kind::Whole:
        response.fileLength = size;
        break;
    }
    response.filePath = path;
    return response;
}

HttpResponse SiteHandler::uploadPage(const HttpRequest &request,
                                     const std::optional<Session> &session)
{
    if (!session)
        return HttpResponse::html(200, Pages::signInToUpload());
    // After a browser upload the upload server sends people back here.
    std::optional<Video> uploaded;
    const QByteArray uploadedId = request.queryItem("video_id");
    if (isVideoId(uploadedId)) {
        uploaded = m_store.video(uploadedId);
        if (storeFailed())
            return storeFailure();
        if (uploaded && uploaded->ownerId != session->accountId)
            uploaded.reset();
    }
    HttpResponse response = HttpResponse::html(
        200, Pages::uploadStart(randomToken(24), uploaded ? &*uploaded : nullptr));
    response.addHeader("Cache-Control", "no-store");
    return response;
}

HttpResponse SiteHandler::metadataForm(const HttpRequest &request,
                                       const std::optional<Session> &session)
{
    if (!session) {
        return HttpResponse::html(403, Pages::uploadRefused(u"Sign in before uploading."_s,
                                                            m_config.siteAddress() + "/signup"));
    }
    std::optional<QList<MultipartPart>> parts;
    FormFields urlFields;
    const QByteArray boundary = multipartBoundary(request.header("Content-Type"));
    if (!boundary.isEmpty()) {
        parts = parseMultipart(request.body, boundary);
        if (!parts)
            return HttpResponse::html(400, Pages::error(400));
    } else {
        urlFields = parseUrlEncoded(request.body);
    }
    Pages::UploadDetails details;
    details.title = formField(parts, urlFields, "field_myvideo_title");
    details.description = formField(parts, urlFields, "field_myvideo_descr");
    details.category = formField(parts, urlFields, "field_myvideo_categories");
    details.tags = formField(parts, urlFields, "field_myvideo_keywords");

    const QByteArray ticket = m_store.createTicket(*session, currentTime());
    if (ticket.isEmpty())
        return storeFailure();
    HttpResponse response =
        HttpResponse::html(200, Pages::uploadForm(m_config.uploadAction(), ticket, details));
    response.addHeader("Cache-Control", "no-store");
    return response;
}

HttpResponse SiteHandler::conversion(const HttpRequest &request)
{
    return HttpResponse::plainText(200, conversionAnswer(splitConversionRequest(request.body)));
}

} // namespace videosite
