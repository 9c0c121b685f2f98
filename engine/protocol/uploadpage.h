#pragma once

#include <QByteArray>

#include <optional>

namespace uplark {

// The upload page fetch: the request and the scan for its anti-forgery token.

// "GET /my_videos_upload" with the login cookie, for the site `host`. The
// request ends with "Connection: Keep-Alive" and three CR LF pairs.
QByteArray uploadPageRequest(const QByteArray &host, const QByteArray &loginCookie);

// The token in the upload page as far as it has arrived: the text after the
// first "var gXSRF_token = '", cut before its first "';" or the next opening.
// Nothing until the whole opening and the token's end have arrived.
std::optional<QByteArray> uploadPageToken(const QByteArray &answer);

} // namespace uplark
