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

// The upload form's "addresser" value in the answer as far as it has
// arrived: in the stretch after the first "addresser" (up to the next one),
// after the first `value="`, cut before its first `">` (or the next
// `value="`, or the stretch's end). Nothing until the value's end has
// arrived, and nothing when the stretch is over without a `value="`.
std::optional<QByteArray> uploadFormAddresser(const QByteArray &answer);

// The upload form's action address in the answer as far as it has arrived:
// after the first `multipart/form-data" action="`, cut before its first
// `" name=` (or the next opening). Nothing until the address's end has
// arrived.
std::optional<QByteArray> uploadFormAction(const QByteArray &answer);

} // namespace uplark
