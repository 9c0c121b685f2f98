#include "engine/protocol/uploadpage.h"

#include "engine/protocol/markers.h"
#include "engine/protocol/wire.h"

namespace uplark {

namespace {
const QByteArray TokenOpening = QByteArrayLiteral("var gXSRF_token = '");
}

QByteArray uploadPageRequest(const QByteArray &host, const QByteArray &loginCookie)
{
    QByteArray request;
    request += QByteArrayLiteral("GET /my_videos_upload HTTP/1.1") + CRLF;
    request += QByteArrayLiteral("Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*")
               + CRLF;
    request += QByteArrayLiteral("Accept-Language: en-GB") + CRLF;
    request += QByteArrayLiteral("Cookie: ") + loginCookie + CRLF;
    request += userAgentLine() + CRLF;
    request += QByteArrayLiteral("Host: ") + host + CRLF;
    request += QByteArrayLiteral("Connection: Keep-Alive") + CRLF;
    request += CRLF;
    request += CRLF;
    return request;
}

std::optional<QByteArray> uploadPageToken(const QByteArray &answer)
{
    return completeBetween(answer, TokenOpening, QByteArrayLiteral("';"));
}

} // namespace uplark
