#include "clientwire.h"

#include "site/markers.h"

#include <QList>

namespace ClientWire {

namespace {

const QByteArray Crlf = "\r\n";

QByteArray userAgent()
{
    return QByteArray("User-Agent: Uplark 1.0 (") + Host + ")";
}

QByteArray dispositionLine(const QByteArray &name)
{
    return "Content-Disposition: form-data; name=\"" + name + "\"";
}

} // namespace

QByteArray loginBody(const QByteArray &user, const QByteArray &password)
{
    return "current_form=loginForm&next=%2Fmy_account&username=" + user + "&password=" + password
           + "&action_login=Log+In";
}

QByteArray loginRequest(const QByteArray &user, const QByteArray &password)
{
    const QByteArray body = loginBody(user, password);
    return "POST /signup?next=/my_account HTTP/1.1" + Crlf
           + "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*" + Crlf
           + "Accept-Language: en-GB" + Crlf + userAgent() + Crlf
           + "Content-Length: " + QByteArray::number(body.size()) + Crlf
           + "Content-Type: application/x-www-form-urlencoded" + Crlf + "Host: " + Host + Crlf
           + "Connection: Keep-Alive" + Crlf + Crlf + body + Crlf + Crlf;
}

QByteArray uploadPageRequest(const QByteArray &cookiePair)
{
    return "GET /my_videos_upload HTTP/1.1" + Crlf
           + "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*" + Crlf
           + "Accept-Language: en-GB" + Crlf + "Cookie: " + cookiePair + Crlf + userAgent() + Crlf
           + "Host: " + Host + Crlf + "Connection: Keep-Alive" + Crlf + Crlf + Crlf;
}

QByteArray metadataBody()
{
    static const QList<std::pair<QByteArray, QByteArray>> fields = {
        {"field_myvideo_title", "title"},
        {"field_myvideo_descr", "dd"},
        {"language", "EN"},
        {"field_myvideo_categories", "23"},
        {"field_myvideo_keywords", "tags"},
        {"ignore_broadcast_settings", "0"},
        {"field_privacy", "public"},
        {"field_date_mon", "0"},
        {"field_date_day", "0"},
        {"field_date_yr", "0"},
        {"location", ""},
        {"allow_comments", "Yes"},
        {"allow_comment_ratings", "Yes"},
        {"allow_responses", "Yes"},
        {"allow_ratings", "Yes"},
        {"allow_embedding", "Yes"},
        {"allow_syndication", "Yes"},
        {"action_upload", "Upload a video..."},
    };
    QByteArray body = QByteArray("--") + Boundary + Crlf;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        body += dispositionLine(fields.at(i).first) + Crlf + Crlf + fields.at(i).second + Crlf;
        body += QByteArray("--") + Boundary + (i + 1 < fields.size() ? Crlf : QByteArray("--"));
    }
    return body;
}

QByteArray metadataRequest(const QByteArray &cookiePair)
{
    const QByteArray body = metadataBody();
    return "POST /my_videos_upload HTTP/1.1" + Crlf
           + "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*" + Crlf
           + "Accept-Language: slm" + Crlf
           + "Content-Type: multipart/form-data; charset=utf-8; boundary=" + Boundary + Crlf
           + "Cookie: " + cookiePair + Crlf + userAgent() + Crlf
           + "Content-Length: " + QByteArray::number(body.size()) + Crlf + "Host: " + Host + Crlf
           + "Connection: Keep-Alive" + Crlf + Crlf + body + Crlf + Crlf;
}

QByteArray filePostBody(const FilePost &post)
{
    struct Field
    {
        QByteArray name;
        bool headerOnly;
        QByteArray value;
    };
    const QList<Field> fields = {
        {"field_command", false, "myvideo_submit"},
        {"field_myvideo_keywords", false, post.tags},
        {"field_myvideo_title", false, post.title},
        {"field_myvideo_descr", false, post.description},
        {"field_myvideo_categories", false, post.category},
        {"language", false, "EN"},
        {"field_privacy", false, "public"},
        {"field_private_share_entities", true, {}},
        {"addresser", false, post.addresser},
        {"contact", false, {}},
        {"field_date_day", false, "0"},
        {"field_date_yr", false, "0"},
        {"field_date_mon", false, "0"},
        {"location", false, {}},
        {"allow_comments", false, "Yes"},
        {"allow_comment_ratings", false, "Yes"},
        {"allow_responses", false, "Yes"},
        {"allow_embedding", false, "Yes"},
        {"allow_offweb", true, {}},
        {"allow_ratings", false, "Yes"},
        {"allow_syndication", false, "Yes"},
    };
    QByteArray body = QByteArray("--") + Boundary + Crlf;
    for (const Field &field : fields) {
        body += dispositionLine(field.name) + Crlf;
        if (!field.headerOnly)
            body += Crlf + field.value;
        body += Crlf + "--" + Boundary + Crlf;
    }
    body += dispositionLine("field_uploadfile") + "; filename=" + post.quotedPath + Crlf;
    body += "Content-Type: video/x-ms-wmv" + Crlf + Crlf;
    body += post.file + Crlf + "--" + Boundary + "--";
    return body;
}

QByteArray filePostRequest(const FilePost &post, const QByteArray &cookiePair, const QByteArray &uploadHost)
{
    const QByteArray body = filePostBody(post);
    return "POST /my_videos_post HTTP/1.1" + Crlf + "Accept: */*" + Crlf + userAgent() + Crlf
           + "Host: " + uploadHost + Crlf + "Content-Type: multipart/form-data; boundary=" + Boundary + Crlf
           + "Content-Length: " + QByteArray::number(body.size()) + Crlf + "Cookie: " + cookiePair + Crlf
           + "Connection: Keep-Alive" + Crlf + Crlf + body;
}

QByteArray loginCookie(const QByteArray &piece)
{
    if (!piece.contains("LOGIN_INFO"))
        return {};
    const QByteArray line = SplitPiece(SplitPiece(piece, "LOGIN_INFO", 1), "\r\n", 0);
    return "LOGIN_INFO" + SplitPiece(line, "; path=/;", 0);
}

QByteArray xsrfToken(const QByteArray &piece)
{
    if (!piece.contains("var gXSRF_token = '"))
        return {};
    return CutBetween(piece, "var gXSRF_token = '", "';");
}

QByteArray addresser(const QByteArray &piece)
{
    if (!piece.contains("addresser"))
        return {};
    return CutBetween(SplitPiece(piece, "addresser", 1), "value=\"", "\">");
}

QByteArray action(const QByteArray &piece)
{
    const QByteArray marker = "multipart/form-data\" action=\"";
    if (!piece.contains(marker))
        return {};
    return CutBetween(piece, marker, "\" name=");
}

QByteArray videoId(const QByteArray &piece)
{
    if (!piece.contains("video_id="))
        return {};
    return CutBetween(piece, "video_id=", "&");
}

} // namespace ClientWire
