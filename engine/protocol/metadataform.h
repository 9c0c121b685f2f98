#pragma once

#include <QByteArray>

#include <optional>

namespace uplark {

// The metadata form post (the site's first upload form, with fixed
// placeholder values) and the scan of its answer for the second form.

// The multipart body: 18 fields, the same for every upload (1347 bytes).
QByteArray metadataBody();

// "POST /my_videos_upload" with the login cookie, for the site `host`: the
// header lines, the empty line, the body and two more CR LF pairs that
// Content-Length does not count.
QByteArray metadataRequest(const QByteArray &host, const QByteArray &loginCookie);

// The upload form's "addresser" value in one chunk: after the first
// "addresser", after the first `value="` in that stretch, cut before its first
// `">`. Nothing when the chunk has no "addresser" followed by `value="`.
std::optional<QByteArray> uploadFormAddresser(const QByteArray &chunk);

// The upload form's action address in one chunk: after the first
// `multipart/form-data" action="`, cut before its first `" name=`. Nothing
// when the chunk has no such form.
std::optional<QByteArray> uploadFormAction(const QByteArray &chunk);

} // namespace uplark
