// The requests and answer scanners of the upload page, the metadata form,
// the upload target address and the upload server's answer.
#include "site/metadataform.h"
#include "site/uploadpage.h"
#include "site/uploadresult.h"
#include "site/uploadtarget.h"

#include "uplark_config.h"

#include <QTest>

#include <optional>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(std::optional<QByteArray>)

namespace QTest {
template <>
char *toString(const std::optional<QByteArray> &value)
{
    return value ? toString(*value) : qstrdup("(nothing)");
}
} // namespace QTest

namespace {

const QByteArray UserAgent = "User-Agent: Uplark 1.0 (" + QByteArray(ConversionHost) + ")";
const std::optional<QByteArray> None;

QByteArray lines(const QByteArrayList &list)
{
    return list.join("\r\n");
}

} // namespace

class TestUploadExchanges : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void uploadPageRequest();
    void token_data();
    void token();
    void metadataBody();
    void metadataRequest();
    void addresser_data();
    void addresser();
    void action_data();
    void action();
    void splitUrl_data();
    void splitUrl();
    void videoId_data();
    void videoId();
    void addresses();
};

void TestUploadExchanges::uploadPageRequest()
{
    const QByteArray expected = lines({
        "GET /my_videos_upload HTTP/1.1",
        "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*",
        "Accept-Language: en-GB",
        "Cookie: LOGIN_INFO=c00kie",
        UserAgent,
        "Host: site.example",
        "Connection: Keep-Alive",
        "", "", "",
    });
    const QByteArray request = UploadPageRequest("site.example", "LOGIN_INFO=c00kie");
    QCOMPARE(request, expected);
    QVERIFY(request.endsWith("Keep-Alive\r\n\r\n\r\n"));
}

void TestUploadExchanges::token_data()
{
    QTest::addColumn<QByteArray>("chunk");
    QTest::addColumn<std::optional<QByteArray>>("token");
    QTest::newRow("opening, token and closing")
        << QByteArray("<script>\nvar gXSRF_token = 'Ab9_x';\nvar other = 1;</script>")
        << std::optional<QByteArray>("Ab9_x");
    QTest::newRow("no closing: to the end of the chunk")
        << QByteArray("var gXSRF_token = 'Ab9_x\r\n</html>")
        << std::optional<QByteArray>("Ab9_x\r\n</html>");
    QTest::newRow("closing before the opening only: to the end")
        << QByteArray("x='; var gXSRF_token = 'tail")
        << std::optional<QByteArray>("tail");
    QTest::newRow("two openings: the first, cut at the second")
        << QByteArray("var gXSRF_token = 'one var gXSRF_token = 'two';")
        << std::optional<QByteArray>("one ");
    QTest::newRow("two tokens: the first") << QByteArray("var gXSRF_token = 'a';var gXSRF_token = 'b';")
                                           << std::optional<QByteArray>("a");
    QTest::newRow("empty token") << QByteArray("var gXSRF_token = '';")
                                 << std::optional<QByteArray>(QByteArray(""));
    QTest::newRow("name without the whole opening") << QByteArray("gXSRF_token = 'abc';") << None;
    QTest::newRow("other spacing") << QByteArray("var gXSRF_token='abc';") << None;
    QTest::newRow("other letter case") << QByteArray("var gxsrf_token = 'abc';") << None;
    QTest::newRow("nothing") << QByteArray("HTTP/1.1 200 OK\r\n\r\n") << None;
}

void TestUploadExchanges::token()
{
    QFETCH(QByteArray, chunk);
    QFETCH(std::optional<QByteArray>, token);
    QCOMPARE(UploadPageToken(chunk), token);
}

void TestUploadExchanges::metadataBody()
{
    QByteArrayList expected{"--Xu02=$"};
    const QList<std::pair<QByteArray, QByteArray>> fields{
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
    for (const auto &[name, value] : fields) {
        expected << "Content-Disposition: form-data; name=\"" + name + '"' << "" << value
                 << "--Xu02=$";
    }
    expected.last() = "--Xu02=$--";
    const QByteArray body = MetadataBody();
    QCOMPARE(body, lines(expected));
    QCOMPARE(body.size(), 1347);
}

void TestUploadExchanges::metadataRequest()
{
    const QByteArray expected = lines({
                                    "POST /my_videos_upload HTTP/1.1",
                                    "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*",
                                    "Accept-Language: slm",
                                    "Content-Type: multipart/form-data; charset=utf-8; boundary=Xu02=$",
                                    "Cookie: LOGIN_INFO=c00kie",
                                    UserAgent,
                                    "Content-Length: 1347",
                                    "Host: site.example",
                                    "Connection: Keep-Alive",
                                    "",
                                })
                                + "\r\n" + MetadataBody() + "\r\n\r\n";
    const QByteArray request = MetadataRequest("site.example", "LOGIN_INFO=c00kie");
    QCOMPARE(request, expected);
    QVERIFY(request.endsWith("Xu02=$--\r\n\r\n"));
}

void TestUploadExchanges::addresser_data()
{
    QTest::addColumn<QByteArray>("chunk");
    QTest::addColumn<std::optional<QByteArray>>("value");
    QTest::newRow("input element")
        << QByteArray("<input type=\"hidden\" name=\"addresser\" value=\"x9_Z-1\">\n<input>")
        << std::optional<QByteArray>("x9_Z-1");
    QTest::newRow("value far after the name")
        << QByteArray("name=\"addresser\" id=\"a\" class=\"h\" value=\"v\">")
        << std::optional<QByteArray>("v");
    QTest::newRow("no closing: to the end") << QByteArray("addresser\" value=\"open")
                                             << std::optional<QByteArray>("open");
    QTest::newRow("value before the name is not it")
        << QByteArray("<input value=\"wrong\"> addresser value=\"right\">")
        << std::optional<QByteArray>("right");
    QTest::newRow("two addressers: the first")
        << QByteArray("addresser value=\"a\">addresser value=\"b\">")
        << std::optional<QByteArray>("a");
    QTest::newRow("value only after a second addresser")
        << QByteArray("addresser id=1 addresser value=\"b\">") << None;
    QTest::newRow("name without value") << QByteArray("<input name=\"addresser\">") << None;
    QTest::newRow("other letter case") << QByteArray("Addresser value=\"a\">") << None;
}

void TestUploadExchanges::addresser()
{
    QFETCH(QByteArray, chunk);
    QFETCH(std::optional<QByteArray>, value);
    QCOMPARE(UploadFormAddresser(chunk), value);
}

void TestUploadExchanges::action_data()
{
    QTest::addColumn<QByteArray>("chunk");
    QTest::addColumn<std::optional<QByteArray>>("address");
    QTest::newRow("form element")
        << QByteArray("<form enctype=\"multipart/form-data\" action=\"http://up.example:81/"
                      "my_videos_post?a=1\" name=\"theForm\" method=\"post\">")
        << std::optional<QByteArray>("http://up.example:81/my_videos_post?a=1");
    QTest::newRow("no name after it: to the end")
        << QByteArray("multipart/form-data\" action=\"http://u/p\">")
        << std::optional<QByteArray>("http://u/p\">");
    QTest::newRow("two forms: the first")
        << QByteArray("multipart/form-data\" action=\"http://a/\" name=x "
                      "multipart/form-data\" action=\"http://b/\" name=y")
        << std::optional<QByteArray>("http://a/");
    QTest::newRow("single quotes") << QByteArray("multipart/form-data' action='http://u/p' name=")
                                   << None;
    QTest::newRow("action before enctype")
        << QByteArray("<form action=\"http://u/p\" enctype=\"multipart/form-data\" name=\"f\">")
        << None;
}

void TestUploadExchanges::action()
{
    QFETCH(QByteArray, chunk);
    QFETCH(std::optional<QByteArray>, address);
    QCOMPARE(UploadFormAction(chunk), address);
}

void TestUploadExchanges::splitUrl_data()
{
    QTest::addColumn<QByteArray>("address");
    QTest::addColumn<QByteArray>("scheme");
    QTest::addColumn<QByteArray>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QByteArray>("query");
    QTest::newRow("scheme, host, path, query")
        << QByteArray("http://upload.example.com/my_videos_post?a=1&b=2") << QByteArray("http")
        << QByteArray("upload.example.com") << 0 << QByteArray("/my_videos_post")
        << QByteArray("a=1&b=2");
    QTest::newRow("port") << QByteArray("http://up.example:8080/p") << QByteArray("http")
                          << QByteArray("up.example") << 8080 << QByteArray("/p") << QByteArray();
    QTest::newRow("port, no slash: all of it is the host")
        << QByteArray("http://up.example:8080") << QByteArray("http")
        << QByteArray("up.example:8080") << 0 << QByteArray("/") << QByteArray();
    QTest::newRow("no slash, no port") << QByteArray("https://up.example") << QByteArray("https")
                                       << QByteArray("up.example") << 0 << QByteArray("/")
                                       << QByteArray();
    QTest::newRow("colon in the path") << QByteArray("http://up.example/a:1/b?c:2")
                                       << QByteArray("http") << QByteArray("up.example") << 0
                                       << QByteArray("/a:1/b") << QByteArray("c:2");
    QTest::newRow("no scheme") << QByteArray("up.example:81/post") << QByteArray()
                               << QByteArray("up.example") << 81 << QByteArray("/post")
                               << QByteArray();
    QTest::newRow("port text not a number")
        << QByteArray("http://up.example:8o/p") << QByteArray("http") << QByteArray("up.example")
        << 0 << QByteArray("/p") << QByteArray();
    QTest::newRow("empty port text") << QByteArray("http://up.example:/p") << QByteArray("http")
                                     << QByteArray("up.example") << 0 << QByteArray("/p")
                                     << QByteArray();
    QTest::newRow("port beyond TCP") << QByteArray("http://up.example:70000/p")
                                     << QByteArray("http") << QByteArray("up.example") << 0
                                     << QByteArray("/p") << QByteArray();
    QTest::newRow("empty query") << QByteArray("http://h/?") << QByteArray("http")
                                 << QByteArray("h") << 0 << QByteArray("/") << QByteArray();
    QTest::newRow("path only: no host") << QByteArray("/my_videos_post") << QByteArray()
                                        << QByteArray() << 0 << QByteArray("/my_videos_post")
                                        << QByteArray();
    QTest::newRow("empty") << QByteArray() << QByteArray() << QByteArray() << 0
                           << QByteArray("/") << QByteArray();
}

void TestUploadExchanges::splitUrl()
{
    QFETCH(QByteArray, address);
    QFETCH(QByteArray, scheme);
    QFETCH(QByteArray, host);
    QFETCH(int, port);
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, query);
    const URLParts parts = SplitURL(address);
    QCOMPARE(parts.Scheme, scheme);
    QCOMPARE(parts.Host, host);
    QCOMPARE(parts.Port, port);
    QCOMPARE(parts.Path, path);
    QCOMPARE(parts.Query, query);
}

void TestUploadExchanges::videoId_data()
{
    QTest::addColumn<QByteArray>("chunk");
    QTest::addColumn<std::optional<QByteArray>>("id");
    QTest::newRow("cut at &") << QByteArray("HTTP/1.1 200 OK\r\n\r\nvideo_id=abc123&x=1")
                              << std::optional<QByteArray>("abc123");
    QTest::newRow("to the end, line ends included") << QByteArray("video_id=abc123\r\n</p>\r\n")
                                                     << std::optional<QByteArray>("abc123\r\n</p>\r\n");
    QTest::newRow("twice: the first, cut at the second")
        << QByteArray("video_id=one video_id=two&") << std::optional<QByteArray>("one ");
    QTest::newRow("& after the second: cut at the second")
        << QByteArray("video_id=one\nvideo_id=two&x") << std::optional<QByteArray>("one\n");
    QTest::newRow("empty id") << QByteArray("video_id=&x=1") << std::optional<QByteArray>(QByteArray(""));
    QTest::newRow("upper case") << QByteArray("VIDEO_ID=abc&") << None;
    QTest::newRow("absent") << QByteArray("HTTP/1.1 500 Error\r\n\r\n") << None;
}

void TestUploadExchanges::videoId()
{
    QFETCH(QByteArray, chunk);
    QFETCH(std::optional<QByteArray>, id);
    QCOMPARE(ScanVideoId(chunk), id);
}

void TestUploadExchanges::addresses()
{
    QCOMPARE(WatchAddress("abc123"), u"http://"_s + QString::fromLatin1(SiteHost) + u"/watch?v=abc123"_s);
    QCOMPARE(TermsAddress(), u"http://"_s + QString::fromLatin1(SiteHost) + u"/t/terms"_s);
}

QTEST_APPLESS_MAIN(TestUploadExchanges)
#include "tst_uploadexchanges.moc"
