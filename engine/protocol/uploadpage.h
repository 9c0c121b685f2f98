#pragma once

#include <QByteArray>

#include <optional>

namespace uplark {

// The upload page fetch: the request and the scan for its anti-forgery token.

// "GET /my_videos_upload" with the login cookie, for the site `host`. The
// request ends with "Connection: Keep-Alive" and three CR LF pairs.
QByteArray uploadPageRequest(const QByteArray &host, const QByteArray &loginCookie);

// The token in one chunk of the upload page: the text after the first
// "var gXSRF_token = '" up to the next one or the end, cut before its first
// "';" (all of it when there is none). Nothing when the chunk lacks the whole
// opening, even if it mentions "gXSRF_token".
std::optional<QByteArray> uploadPageToken(const QByteArray &chunk);

} // namespace uplark
