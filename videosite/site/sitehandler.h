#pragma once

#include "videosite/http/httphandler.h"
#include "videosite/site/loginguard.h"
#include "videosite/site/passwordchecker.h"
#include "videosite/site/siteconfig.h"
#include "videosite/site/store.h"

#include <optional>

namespace videosite {

// The video site's web server: the login, the two upload steps that lead to
// the upload server, the pages people browse, the video files, and the text
// conversion service.
class SiteHandler : public HttpHandler
{
public:
    SiteHandler(Store &store, const SiteConfig &config);

    qint64 bodyLimit(const HttpRequest &request) const override;
    void respond(HttpRequest &request, BodyReceiver *receiver, const Reply &reply) override;
    HttpResponse errorPage(int status) const override;

    // Deletes expired sessions, tickets and login failures.
    void purgeExpired();

    static constexpr qint64 MaxBodySize = 1024 * 1024;

private:
    std::optional<Session> sessionOf(const HttpRequest &request);
    // Whether the store's last call failed, and the answer that says so.
    bool storeFailed() const;
    HttpResponse storeFailure() const;
    HttpResponse answer(const HttpRequest &request);
    void login(const HttpRequest &request, const Reply &reply);
    HttpResponse signOut(const HttpRequest &request);
    HttpResponse watch(const HttpRequest &request, bool signedIn);
    HttpResponse videoFile(const HttpRequest &request);
    HttpResponse uploadPage(const HttpRequest &request, const std::optional<Session> &session);
    HttpResponse metadataForm(const HttpRequest &request, const std::optional<Session> &session);
    HttpResponse conversion(const HttpRequest &request);

    Store &m_store;
    const SiteConfig &m_config;
    LoginGuard m_guard;
    // Declared after the guard: it goes first, and drops any check whose
    // answer would reach the guard after the guard has gone.
    PasswordChecker m_checker;
};

} // namespace videosite
