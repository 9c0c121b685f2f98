// Seeds for Uplark's answer scanners: the stand-in site's own pages and
// answers, as they come over the wire.
#include "fuzz/seedfiles.h"
#include "videosite/http/httpresponse.h"
#include "videosite/site/conversionservice.h"
#include "videosite/site/pages.h"

namespace videosite {
}
using namespace videosite;
using namespace Qt::StringLiterals;

namespace {

QByteArray wireBytes(const HttpResponse &response)
{
    return serializeResponse(response, true, false);
}

QByteArray signInAnswer(const QString &message)
{
    return wireBytes(HttpResponse::html(200, Pages::signIn(message, "/my_account")));
}

} // namespace

int main(int argc, char **argv)
{
    const QString root = SeedRoot(argc, argv);

    HttpResponse loggedIn;
    loggedIn.status = 302;
    loggedIn.addHeader("Set-Cookie", "LOGIN_INFO=3f9a0c21d4e8b7a6; path=/; HttpOnly; SameSite=Lax");
    loggedIn.addHeader("Location", "/my_account");
    loggedIn.addHeader("Content-Type", "text/html; charset=utf-8");
    loggedIn.body = Pages::signedIn("/my_account");
    const QByteArray loginAnswer = wireBytes(loggedIn);
    WriteSeed(root, "fuzz_login_answer", "logged_in", loginAnswer);
    WriteSeed(root, "fuzz_login_answer", "incorrect",
              signInAnswer(u"Sorry, your login was incorrect."_s));
    WriteSeed(root, "fuzz_login_answer", "check_your",
              signInAnswer(u"Please check your username and password."_s));
    WriteSeed(root, "fuzz_login_answer", "too_many",
              signInAnswer(
                  u"You had too many login failures. Please wait before trying to login again."_s));

    const QByteArray uploadPage =
        wireBytes(HttpResponse::html(200, Pages::uploadStart("c0ffee42d00d", nullptr)));
    WriteSeed(root, "fuzz_upload_page", "upload_page", uploadPage);

    Pages::UploadDetails details;
    details.title = "A title";
    details.description = "Two\r\nlines";
    details.category = "23";
    details.tags = "tag one";
    const QByteArray action = "http://localhost:8080/upload?session=1";
    const QByteArray uploadForm =
        wireBytes(HttpResponse::html(200, Pages::uploadForm(action, "ticket-5be1", details)));
    WriteSeed(root, "fuzz_upload_form", "upload_form", uploadForm);

    const QByteArray result = "http://localhost/my_videos_upload?video_id=Qx7Rk2&status=ok";
    WriteSeed(root, "fuzz_upload_result", "upload_done",
              wireBytes(HttpResponse::redirect(
                  303, result, Pages::uploadDone(result, "http://localhost/watch?v=Qx7Rk2"))));

    WriteSeed(root, "fuzz_split_url", "action", action);
    WriteSeed(root, "fuzz_split_url", "no_port", "http://upload.localhost/upload");
    WriteSeed(root, "fuzz_split_url", "odd", "localhost:99999/a:b?c?d");

    ConversionFields fields;
    fields.title = "Title[_ULK-SPACE_][_ULK-AMP_][_ULK-SPACE_]100[_ULK-PERCENT_] \xc3\xbc";
    fields.description = "Line[_ULK-CRLF_]two";
    fields.tags = "tags";
    WriteSeed(root, "fuzz_conversion_answer", "answer", conversionAnswer(fields));

    WriteSeed(root, "fuzz_markers", "login_info",
              QByteArrayLiteral("LOGIN_INFO\0") + loginAnswer + QByteArrayLiteral("\0\r\n"));
    WriteSeed(root, "fuzz_markers", "token",
              QByteArrayLiteral("var gXSRF_token = '\0") + uploadPage.left(2048)
                  + QByteArrayLiteral("\0';"));
    return 0;
}
