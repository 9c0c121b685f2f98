#include "videosite/site/pages.h"

#include "videosite/http/httpresponse.h"

#include <QDateTime>
#include <QLocale>

using namespace Qt::StringLiterals;

namespace videosite {

QString htmlEscape(QStringView text)
{
    QString out;
    out.reserve(text.size() + text.size() / 8);
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '&':
            out += u"&amp;"_s;
            break;
        case '<':
            out += u"&lt;"_s;
            break;
        case '>':
            out += u"&gt;"_s;
            break;
        case '"':
            out += u"&quot;"_s;
            break;
        case '\'':
            out += u"&#39;"_s;
            break;
        default:
            out += c;
        }
    }
    return out;
}

const QList<std::pair<QByteArray, QString>> &videoCategories()
{
    static const QList<std::pair<QByteArray, QString>> categories = {
        {"2", u"Autos & Vehicles"_s},
        {"23", u"Comedy"_s},
        {"27", u"Education"_s},
        {"24", u"Entertainment"_s},
        {"1", u"Film & Animation"_s},
        {"26", u"Howto & Style"_s},
        {"10", u"Music"_s},
        {"25", u"News & Politics"_s},
        {"29", u"Nonprofits & Activism"_s},
        {"22", u"People & Blogs"_s},
        {"15", u"Pets & Animals"_s},
        {"28", u"Science & Technology"_s},
        {"17", u"Sports"_s},
        {"19", u"Travel & Events"_s},
    };
    return categories;
}

QString categoryName(QByteArrayView id)
{
    for (const auto &[categoryId, name] : videoCategories()) {
        if (categoryId == id)
            return name;
    }
    return QString::fromUtf8(id);
}

namespace {

QString esc(const QByteArray &utf8)
{
    return htmlEscape(QString::fromUtf8(utf8));
}

QString titleText(const Video &video)
{
    return video.title.isEmpty() ? u"(untitled)"_s : esc(video.title);
}

QString dateText(qint64 secs)
{
    return QDateTime::fromSecsSinceEpoch(secs, Qt::UTC).toString(u"yyyy-MM-dd HH:mm 'UTC'"_s);
}

QString sizeText(qint64 bytes)
{
    return QLocale::c().formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
}

QByteArray layout(const QString &title, const QString &main, bool signedIn,
                  const QString &head = {})
{
    const QString account =
        signedIn ? u"<a href=\"/my_account\">Account</a>"_s : u"<a href=\"/signup\">Sign in</a>"_s;
    return (u"<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
            "<meta name=\"viewport\" content=\"width=device-width\">"
            "<title>"_s
            + title + u" - Videosite</title><link rel=\"stylesheet\" href=\"/site.css\">"_s + head
            + u"</head>\n<body><header><a class=\"brand\" href=\"/\">Videosite</a><nav>"
              "<a href=\"/my_videos\">My Videos</a><a href=\"/my_videos_upload\">Upload</a>"_s
            + account + u"</nav></header>\n<main>"_s + main + u"</main>\n</body></html>\n"_s)
        .toUtf8();
}

QString videoList(const QList<Video> &videos, bool withOwner)
{
    QString list = u"<ul class=\"videos\">"_s;
    for (const Video &video : videos) {
        list += u"<li><a href=\"/watch?v="_s + QString::fromLatin1(video.id) + u"\">"_s
                + titleText(video) + u"</a> <span class=\"meta\">"_s;
        if (withOwner)
            list += u"by "_s + htmlEscape(video.ownerName) + u", "_s;
        list += dateText(video.created) + u"</span></li>"_s;
    }
    return list + u"</ul>"_s;
}

QString categoryOptions()
{
    QString options;
    for (const auto &[id, name] : videoCategories())
        options += u"<option value=\""_s + QString::fromLatin1(id) + u"\">"_s + htmlEscape(name)
                   + u"</option>"_s;
    return options;
}

QString hidden(const char *name, const QByteArray &value)
{
    return u"<input type=\"hidden\" name=\""_s + QLatin1StringView(name) + u"\" value=\""_s
           + esc(value) + u"\">"_s;
}

} // namespace

namespace Pages {

QByteArray error(int status)
{
    QString text;
    switch (status) {
    case 404:
        text = u"There is no page at this address."_s;
        break;
    case 405:
        text = u"This address does not take that kind of request."_s;
        break;
    case 413:
        text = u"The request is too large."_s;
        break;
    case 500:
        text = u"The site could not handle the request. Please try again later."_s;
        break;
    case 507:
        text = u"The site has no room left to store data. Please try again later."_s;
        break;
    default:
        text = u"The request could not be handled."_s;
        break;
    }
    const QString title =
        QString::number(status) + u' ' + QString::fromLatin1(reasonPhrase(status));
    return ("<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>"
            + title.toUtf8() + "</title></head><body><h1>" + title.toUtf8() + "</h1><p>"
            + text.toUtf8() + "</p><p><a href=\"/\">Home</a></p></body></html>\n");
}

QByteArray home(const QList<Video> &videos, bool signedIn)
{
    QString main = u"<h1>Recent videos</h1>"_s;
    main += videos.isEmpty() ? u"<p>No videos yet.</p>"_s : videoList(videos, true);
    return layout(u"Home"_s, main, signedIn);
}

QByteArray watch(const Video &video, bool signedIn)
{
    const QString id = QString::fromLatin1(video.id);
    QString main = u"<h1>"_s + titleText(video) + u"</h1>"_s;
    main += u"<video controls preload=\"metadata\" src=\"/videos/"_s + id + u"\"></video>"_s;
    main += u"<dl><dt>Uploaded by</dt><dd>"_s + htmlEscape(video.ownerName)
            + u"</dd><dt>Category</dt><dd>"_s + htmlEscape(categoryName(video.category))
            + u"</dd><dt>Tags</dt><dd>"_s + esc(video.tags) + u"</dd><dt>Added</dt><dd>"_s
            + dateText(video.created) + u"</dd><dt>Size</dt><dd>"_s + sizeText(video.size)
            + u"</dd></dl>"_s;
    main += u"<p class=\"description\">"_s + esc(video.description) + u"</p>"_s;
    return layout(titleText(video), main, signedIn);
}

QByteArray myVideos(const QString &user, const QList<Video> &videos)
{
    QString main = u"<h1>My Videos</h1><p>Videos of "_s + htmlEscape(user) + u".</p>"_s;
    main += videos.isEmpty() ? u"<p>You have not uploaded any videos yet.</p>"_s
                             : videoList(videos, false);
    return layout(u"My Videos"_s, main, true);
}

QByteArray signInForMyVideos()
{
    return layout(
        u"My Videos"_s,
        u"<h1>My Videos</h1><p><a href=\"/signup?next=%2Fmy_videos\">Sign in</a> to see your videos.</p>"_s,
        false);
}

QByteArray terms(bool signedIn)
{
    const QString main =
        u"<h1>Terms of Use</h1>"
        "<p>Videosite is a small video site for trying out uploads on one machine.</p>"
        "<ol><li>Upload only videos that you made or may share.</li>"
        "<li>Your videos can be watched by anyone who can reach this site.</li>"
        "<li>The site keeps your account name, a salted hash of your password, and the"
        " videos with the details you give them, in its data folder.</li>"
        "<li>There is no warranty: keep your own copies of your videos.</li></ol>"_s;
    return layout(u"Terms of Use"_s, main, signedIn);
}

QByteArray account(const QString &user, int videoCount)
{
    const QString main =
        u"<h1>My Account</h1><p>Signed in as "_s + htmlEscape(user) + u". You have "_s
        + QString::number(videoCount)
        + u" video(s) in <a href=\"/my_videos\">My Videos</a>.</p>"
          "<form method=\"post\" action=\"/signout\"><button>Sign out</button></form>"_s;
    return layout(u"My Account"_s, main, true);
}

QByteArray signIn(const QString &message, const QByteArray &next)
{
    QString main = u"<h1>Sign in</h1>"_s;
    if (!message.isEmpty())
        main += u"<p class=\"message\">"_s + htmlEscape(message) + u"</p>"_s;
    const QString nextText = esc(next);
    main += u"<form method=\"post\" action=\"/signup?next="_s + nextText + u"\">"_s
            + u"<input type=\"hidden\" name=\"current_form\" value=\"loginForm\">"
              "<input type=\"hidden\" name=\"next\" value=\""_s
            + nextText
            + u"\">"
              "<label>User name <input name=\"username\" autocomplete=\"username\"></label>"
              "<label>Password <input type=\"password\" name=\"password\" "
              "autocomplete=\"current-password\"></label>"
              "<button name=\"action_login\" value=\"Log In\">Log In</button></form>"_s;
    return layout(u"Sign in"_s, main, false);
}

QByteArray signedIn(const QByteArray &next)
{
    const QByteArray target = esc(next).toUtf8();
    return "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>Signed "
           "in</title></head>"
           "<body><p>You are signed in. <a href=\""
           + target + "\">Continue</a></p></body></html>\n";
}

QByteArray signedOut()
{
    return "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>Signed "
           "out</title></head>"
           "<body><p>You are signed out. <a href=\"/\">Home</a></p></body></html>\n";
}

QByteArray uploadStart(const QByteArray &xsrfToken, const Video *justUploaded)
{
    const QString script =
        u"<script>var gXSRF_token = '"_s + QString::fromLatin1(xsrfToken) + u"';</script>"_s;
    QString main = u"<h1>Upload a video</h1>"_s;
    if (justUploaded) {
        main += u"<p class=\"message\">Your video <a href=\"/watch?v="_s
                + QString::fromLatin1(justUploaded->id) + u"\">"_s + titleText(*justUploaded)
                + u"</a> is online.</p>"_s;
    }
    main +=
        u"<form method=\"post\" action=\"/my_videos_upload\" enctype=\"multipart/form-data\">"
        "<label>Title <input name=\"field_myvideo_title\" maxlength=\"100\" required></label>"
        "<label>Description <textarea name=\"field_myvideo_descr\" rows=\"4\"></textarea></label>"
        "<label>Category <select name=\"field_myvideo_categories\">"_s
        + categoryOptions()
        + u"</select></label><label>Tags <input name=\"field_myvideo_keywords\"></label>"
          "<button name=\"action_upload\" value=\"Upload a video...\">Next</button></form>"_s;
    return layout(u"Upload"_s, main, true, script);
}

QByteArray signInToUpload()
{
    return layout(
        u"Upload"_s,
        u"<h1>Upload a video</h1><p><a href=\"/signup?next=%2Fmy_videos_upload\">Sign in</a>"
        " to upload videos.</p>"_s,
        false);
}

QByteArray uploadForm(const QByteArray &action, const QByteArray &ticket,
                      const UploadDetails &details)
{
    // The form element and its ticket come first in the page.
    QString main =
        u"<h1>Choose the video file</h1><form method=\"post\" enctype=\"multipart/form-data\" action=\""_s
        + esc(action) + u"\" name=\"uploadForm\">"_s
        + u"<input type=\"hidden\" name=\"addresser\" value=\""_s + QString::fromLatin1(ticket)
        + u"\">"_s;
    main += hidden("field_myvideo_title", details.title)
            + hidden("field_myvideo_descr", details.description)
            + hidden("field_myvideo_categories", details.category)
            + hidden("field_myvideo_keywords", details.tags);
    main += u"<p>Title: "_s + esc(details.title)
            + u"</p>"
              "<label>Video file <input type=\"file\" name=\"field_uploadfile\" accept=\"video/*\" "
              "required></label>"
              "<button>Upload</button></form>"_s;
    return layout(u"Upload"_s, main, true);
}

QByteArray uploadDone(const QByteArray &resultAddress, const QByteArray &watchAddress)
{
    const QByteArray result = esc(resultAddress).toUtf8();
    const QByteArray watch = esc(watchAddress).toUtf8();
    return "<!DOCTYPE html>\n<html lang=\"en\"><head><meta "
           "charset=\"utf-8\"><title>Uploaded</title></head>"
           "<body><p>Upload complete: <a href=\""
           + result + "\">" + result + "</a>. Watch it at <a href=\"" + watch + "\">" + watch
           + "</a>.</p></body></html>\n";
}

QByteArray uploadRefused(const QString &reason, const QByteArray &uploadPageAddress)
{
    const QByteArray address = esc(uploadPageAddress).toUtf8();
    return "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>Upload "
           "refused</title>"
           "</head><body><h1>Upload refused</h1><p>"
           + htmlEscape(reason).toUtf8() + "</p><p><a href=\"" + address
           + "\">Start a new upload</a></p></body></html>\n";
}

QByteArray stylesheet()
{
    return "body{font-family:sans-serif;margin:0;color:#222;background:#fafafa}"
           "header{display:flex;gap:2em;align-items:center;padding:.6em "
           "1.2em;background:#b00;color:#fff}"
           "header a{color:#fff;text-decoration:none}.brand{font-weight:bold;font-size:1.3em}"
           "nav{display:flex;gap:1.2em}main{max-width:52em;margin:1.5em auto;padding:0 1em}"
           "label{display:block;margin:.6em "
           "0}input,textarea,select{display:block;width:100%;max-width:32em}"
           "video{width:100%;max-height:70vh;background:#000}.meta{color:#777;font-size:.9em}"
           ".description{white-space:pre-wrap}.message{padding:.5em;background:#ffe}"
           "dl{display:grid;grid-template-columns:max-content auto;gap:.2em 1em}dd{margin:0}\n";
}

} // namespace Pages

} // namespace videosite
