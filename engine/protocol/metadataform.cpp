#include "engine/protocol/metadataform.h"

#include "engine/protocol/markers.h"
#include "engine/protocol/wire.h"

#include <array>
#include <utility>

namespace uplark {

namespace {

const QByteArray AddresserName = QByteArrayLiteral("addresser");
const QByteArray ValueOpening = QByteArrayLiteral("value=\"");
const QByteArray FormOpening = QByteArrayLiteral("multipart/form-data\" action=\"");

} // namespace

QByteArray metadataBody()
{
    static constexpr std::array<std::pair<const char *, const char *>, 18> fields{{
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
    }};
    QByteArray body = "--" + Boundary + CRLF;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        body += QByteArrayLiteral("Content-Disposition: form-data; name=\"");
        body += fields[i].first;
        body += '"' + CRLF + CRLF;
        body += fields[i].second;
        body += CRLF + "--" + Boundary;
        body += i + 1 < fields.size() ? CRLF : QByteArrayLiteral("--");
    }
    return body;
}

QByteArray metadataRequest(const QByteArray &host, const QByteArray &loginCookie)
{
    const QByteArray body = metadataBody();
    QByteArray request;
    request += QByteArrayLiteral("POST /my_videos_upload HTTP/1.1") + CRLF;
    request += QByteArrayLiteral("Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*")
               + CRLF;
    request += QByteArrayLiteral("Accept-Language: slm") + CRLF;
    request += QByteArrayLiteral("Content-Type: multipart/form-data; charset=utf-8; boundary=")
               + Boundary + CRLF;
    request += QByteArrayLiteral("Cookie: ") + loginCookie + CRLF;
    request += userAgentLine() + CRLF;
    request += QByteArrayLiteral("Content-Length: ") + QByteArray::number(body.size()) + CRLF;
    request += QByteArrayLiteral("Host: ") + host + CRLF;
    request += QByteArrayLiteral("Connection: Keep-Alive") + CRLF;
    request += CRLF;
    request += body;
    request += CRLF + CRLF;
    return request;
}

std::optional<QByteArray> uploadFormAddresser(const QByteArray &answer)
{
    const qsizetype name = answer.indexOf(AddresserName);
    if (name < 0)
        return std::nullopt;
    const qsizetype start = name + AddresserName.size();
    const qsizetype next = answer.indexOf(AddresserName, start);
    const bool stretchOver = next >= 0;
    const QByteArray stretch = answer.mid(start, stretchOver ? next - start : -1);
    const std::optional<CompleteValue> value =
        completeValue(stretch, ValueOpening, QByteArrayLiteral("\">"), stretchOver);
    if (!value)
        return std::nullopt;
    // Until the stretch is over, a later byte could still begin an
    // "addresser" that cuts the value short.
    if (!stretchOver && markerMayBeginBefore(answer, AddresserName, start + value->decidedBy))
        return std::nullopt;
    return value->value;
}

std::optional<QByteArray> uploadFormAction(const QByteArray &answer)
{
    return completeBetween(answer, FormOpening, QByteArrayLiteral("\" name="));
}

} // namespace uplark
