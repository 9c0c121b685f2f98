// Seeds for the site's parsers: the requests Uplark itself sends, made by its
// own request builders, as the site reads them.
#include "engine/protocol/filepost.h"
#include "engine/protocol/login.h"
#include "engine/protocol/metadataform.h"
#include "engine/protocol/textconversion.h"
#include "engine/protocol/uploadpage.h"
#include "engine/protocol/uploadtarget.h"
#include "engine/protocol/wire.h"
#include "fuzz/seedfiles.h"

namespace uplark {
}
using namespace uplark;
using namespace Qt::StringLiterals;

namespace {

QByteArray headOf(const QByteArray &request)
{
    return request.left(request.indexOf("\r\n\r\n") + 4);
}

QByteArray bodyOf(const QByteArray &request)
{
    return request.mid(request.indexOf("\r\n\r\n") + 4);
}

QByteArray sizeAndHeader(quint64 size, const QByteArray &header)
{
    return QByteArray(reinterpret_cast<const char *>(&size), sizeof size) + header;
}

} // namespace

int main(int argc, char **argv)
{
    const QString root = SeedRoot(argc, argv);
    const QByteArray cookie = QByteArrayLiteral("LOGIN_INFO=3f9a0c21d4e8b7a6");

    const QByteArray login = loginRequest("localhost", u"demo"_s, u"demo 1234&ü"_s);
    const QByteArray page = uploadPageRequest("localhost", cookie);
    const QByteArray metadata = metadataRequest("localhost", cookie);
    const UrlParts target = splitUrl("http://localhost:8080/upload?session=1");
    FilePostFields fields;
    fields.title = "A title";
    fields.description = "Two\r\nlines";
    fields.tags = "tag one";
    fields.category = "23";
    fields.addresser = "ticket-5be1";
    fields.loginCookie = cookie;
    const QByteArray filePost =
        buildFilePost(QByteArrayLiteral("\x00\x01video\r\n--Xu02=$\r\n\xff"), target,
                      quotedPath(u"C:\\My Videos\\clip one.wmv"_s), fields);
    const QByteArray conversion = conversionBody(encodePlaceholders(u"Title & 100% done"_s),
                                                 encodePlaceholders(u"Line one\r\nline two"_s),
                                                 encodePlaceholders(u"tags"_s));

    // Heads with the rest of the request behind them, as a connection reads them.
    WriteSeed(root, "fuzz_request_head", "login", login);
    WriteSeed(root, "fuzz_request_head", "upload_page", page);
    WriteSeed(root, "fuzz_request_head", "metadata", headOf(metadata));
    WriteSeed(root, "fuzz_request_head", "file_post", headOf(filePost));
    WriteSeed(root, "fuzz_request_head", "range",
              "\r\nGET /videos/abc.wmv?x=1&y HTTP/1.0\r\nRange: bytes=0-99\r\nCookie: a=1; "
                  + cookie + "\r\nConnection: keep-alive\r\nExpect: 100-continue\r\n\r\n");

    WriteSeed(root, "fuzz_url_encoded", "login", loginBody(u"demo user"_s, u"pa$$ wörd%&="_s));
    WriteSeed(root, "fuzz_url_encoded", "conversion", conversion);
    WriteSeed(root, "fuzz_url_encoded", "query",
              "next=%2Fmy_account&video_id=abc&&empty=&=x&%zz+%4");

    WriteSeed(root, "fuzz_cookie", "login_info",
              QByteArrayLiteral("LOGIN_INFO\0") + cookie + "; path=/; other=2");
    WriteSeed(root, "fuzz_cookie", "two_fields",
              QByteArrayLiteral("LOGIN_INFO\0a=1;b\0 LOGIN_INFO = x ; LOGIN_INFO=y"));

    WriteSeed(root, "fuzz_byte_range", "first_last", sizeAndHeader(1000, "bytes=0-99"));
    WriteSeed(root, "fuzz_byte_range", "open_end", sizeAndHeader(1000, "bytes=100-"));
    WriteSeed(root, "fuzz_byte_range", "suffix", sizeAndHeader(1000, "bytes=-500"));
    WriteSeed(root, "fuzz_byte_range", "several", sizeAndHeader(1000, "Bytes = 1-2, 4-5"));

    WriteSeed(root, "fuzz_multipart", "metadata", bodyOf(metadata));
    WriteSeed(root, "fuzz_multipart", "file_post", bodyOf(filePost));
    return 0;
}
