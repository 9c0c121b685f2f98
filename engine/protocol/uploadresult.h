#pragma once

#include "engine/net/siteaddress.h"
#include "engine/protocol/receivedanswer.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace uplark {

// The upload server's answer and the addresses shown from it.

// The video id in the answer as far as it has arrived: after the first
// "video_id=", up to the first "&" or the next "video_id=", or, once the
// answer is whole (`ended`), its end. Nothing until that end has arrived, or
// when there is no "video_id=" (exact case).
std::optional<QByteArray> scanVideoId(const QByteArray &answer, bool ended = false);

// The status of an HTTP answer from its first bytes: the three digits after
// "HTTP/" and a space, once the character after them has come; interim 1xx
// answers are passed over. NoStatus when the answer does not start that way.
inline constexpr int NoStatus = 0;
std::optional<int> answerStatus(const QByteArray &start);

// The length of a whole HTTP answer, head and body, once its head has come
// and gives the body's Content-Length, or once the last chunk of a body in
// chunks has come within `start`; interim 1xx answers counted. Nothing
// otherwise: the answer then ends with its connection.
std::optional<qint64> answerLength(const QByteArray &start);

// What the upload server's answer says as far as it has arrived. A 5xx
// status decides as soon as it has come; then a video id once its end has
// come; an answer that is whole without either has no video id. `closed`:
// the server has closed the connection.
struct UploadVerdict
{
    enum class Kind {
        Waiting,     // more is needed; when closed: no answer, or one cut off
        VideoId,     // `videoId` holds it
        ServerError, // the site could not store the video: `status` is 5xx
        NoVideoId,   // the whole answer has come without a video id
    };
    Kind kind = Kind::Waiting;
    QByteArray videoId;
    int status = NoStatus;
};
UploadVerdict scanUploadAnswer(const ReceivedAnswer &answer, bool closed);

// True for a video id that a watch address may carry as it is: not empty,
// and only letters, digits and "-._~!$'()*+,;=:@/?", or "%" with two
// hexadecimal digits. Control characters, spaces, quotes, "<", ">", "#",
// "\" and bytes outside ASCII are not taken.
bool isAddressSafe(const QByteArray &id);

// "http://" (or "https://" for a site over TLS) + the site's authority +
// "/watch?v=" + id.
QString watchAddress(const QByteArray &id, const SiteAddress &site = defaultSiteAddress());

// "http://" or "https://" + the site's authority + "/t/terms".
QString termsAddress(const SiteAddress &site = defaultSiteAddress());

} // namespace uplark
