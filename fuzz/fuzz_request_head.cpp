// The site's request head parser and what it offers on a parsed request:
// header look-up, cookies, query items, keep-alive, the multipart boundary.
// Input: the start of what a client sent on a connection.
#include "fuzz/check.h"
#include "videosite/http/httprequest.h"
#include "videosite/http/multipart.h"

namespace videosite {
}
using namespace videosite;

namespace {

using Status = RequestHeadResult::Status;

// The limit the site uses, and a small one that the fuzzer reaches easily.
constexpr qsizetype LargeHead = 16 * 1024;
constexpr qsizetype SmallHead = 64;

void checkHead(QByteArrayView buffer, qsizetype maxHeadSize)
{
    const RequestHeadResult result = parseRequestHead(buffer, maxHeadSize);
    FUZZ_CHECK(result.consumed >= 0 && result.consumed <= buffer.size());
    switch (result.status) {
    case Status::Incomplete:
        // Only the blank lines before the request line are used up.
        for (qsizetype i = 0; i < result.consumed; ++i)
            FUZZ_CHECK(buffer.at(i) == '\r' || buffer.at(i) == '\n');
        break;
    case Status::Invalid:
        FUZZ_CHECK(result.errorStatus >= 400 && result.errorStatus <= 599);
        break;
    case Status::Complete: {
        const HttpRequest &request = result.request;
        FUZZ_CHECK(result.consumed > 0 && buffer.at(result.consumed - 1) == '\n');
        FUZZ_CHECK(!request.method.isEmpty());
        FUZZ_CHECK(request.minorVersion == 0 || request.minorVersion == 1);
        FUZZ_CHECK(request.contentLength >= 0);
        FUZZ_CHECK(request.target.contains(request.path));
        FUZZ_CHECK(!request.path.contains('?'));
        FUZZ_CHECK(request.query.isEmpty() || request.target.endsWith('?' + request.query));

        // The head alone parses to the same request; one byte less is not a
        // whole head yet.
        const RequestHeadResult alone =
            parseRequestHead(buffer.first(result.consumed), maxHeadSize);
        FUZZ_CHECK(alone.status == Status::Complete && alone.consumed == result.consumed);
        FUZZ_CHECK(alone.request.target == request.target
                   && alone.request.headers == request.headers);
        const RequestHeadResult shorter =
            parseRequestHead(buffer.first(result.consumed - 1), maxHeadSize);
        FUZZ_CHECK(shorter.status != Status::Complete);

        for (const auto &[name, value] : request.headers) {
            FUZZ_CHECK(!name.isEmpty());
            FUZZ_CHECK(!request.header(name).isNull());
            FUZZ_CHECK(!value.contains('\n'));
        }
        const QByteArray cookie = request.cookie("LOGIN_INFO");
        if (!cookie.isNull())
            FUZZ_CHECK(request.hasHeader("Cookie"));
        request.queryItem("next");
        request.queryItem("video_id");
        request.wantsKeepAlive();
        request.expectsContinue();
        const QByteArray boundary = multipartBoundary(request.header("Content-Type"));
        FUZZ_CHECK(request.header("Content-Type").contains(boundary));
        break;
    }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray buffer = FuzzBytes(data, size);
    checkHead(buffer, LargeHead);
    checkHead(buffer, SmallHead);
    return 0;
}
