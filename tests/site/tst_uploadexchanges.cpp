// The requests of the upload chain byte for byte, the scanners of its
// answers, the split of the upload address and the progress figures.
#include "site/filepost.h"
#include "site/metadataform.h"
#include "site/progress.h"
#include "site/uploadpage.h"
#include "site/uploadresult.h"
#include "site/uploadtarget.h"

#include "uplark_config.h"

#include <QTest>

#include <optional>

using namespace Qt::StringLiterals;

using Scanner = std::optional<QByteArray> (*)(const QByteArray &);
Q_DECLARE_METATYPE(Scanner)

namespace QTest {
template <>
char *toString(const URLParts &p)
{
    return toString(p.Scheme + " | " + p.Host + " | " + QByteArray::number(p.Port) + " | "
                    + p.Path + " | " + p.Query);
}
} // namespace QTest

namespace {

const QByteArray UserAgent = "User-Agent: Uplark 1.0 (" + QByteArray(ConversionHost) + ")";

QByteArray lines(const QByteArrayList &list)
{
    return list.join("\r\n");
}

// Form parts from "name=value" items, each closed by a boundary line; an item
// without "=" is a part with its header line only.
QByteArray formParts(const QByteArrayList &items)
{
    QByteArrayList l{"--Xu02=$"};
    for (const QByteArray &item : items) {
        const qsizetype eq = item.indexOf('=');
        l << "Content-Disposition: form-data; name=\"" + item.left(eq < 0 ? item.size() : eq) + '"'
          << "";
        if (eq >= 0)
            l << item.mid(eq + 1);
        l << "--Xu02=$";
    }
    return lines(l);
}

QByteArray filePost(const QByteArray &host, const FilePostFields &f, const QByteArray &quoted,
                    const QByteArray &file, qsizetype length = -1)
{
    QByteArrayList items{"field_command=myvideo_submit", "field_myvideo_keywords=" + f.videotags,
                         "field_myvideo_title=" + f.videotitle,
                         "field_myvideo_descr=" + f.videodscr,
                         "field_myvideo_categories=" + f.videocat,
                         "language=EN", "field_privacy=public", "field_private_share_entities",
                         "addresser=" + f.addresser};
    items += QByteArray("contact=&field_date_day=0&field_date_yr=0&field_date_mon=0&location=&"
                        "allow_comments=Yes&allow_comment_ratings=Yes&allow_responses=Yes&"
                        "allow_embedding=Yes&allow_offweb&allow_ratings=Yes&allow_syndication=Yes")
                 .split('&');
    const QByteArray body = formParts(items)
                            + "\r\nContent-Disposition: form-data; name=\"field_uploadfile\"; "
                              "filename=" + quoted + "\r\nContent-Type: video/x-ms-wmv\r\n\r\n"
                            + file + "\r\n--Xu02=$--";
    return lines({"POST /my_videos_post HTTP/1.1", "Accept: */*", UserAgent, "Host: " + host,
                  "Content-Type: multipart/form-data; boundary=Xu02=$",
                  "Content-Length: " + QByteArray::number(length < 0 ? body.size() : length),
                  "Cookie: " + f.logininfo, "Connection: Keep-Alive", "", body});
}

} // namespace

class TestUploadExchanges : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void requests_data();
    void requests();
    void scanners_data();
    void scanners();
    void splitUrl_data();
    void splitUrl();
    void progress_data();
    void progress();
};

void TestUploadExchanges::requests_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("expected");
    const QByteArray cookie = "LOGIN_INFO=c00kie";
    const QByteArray accept = "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*";
    QTest::newRow("upload page, three CR LF pairs at the end")
        << UploadPageRequest("site.example", cookie)
        << lines({"GET /my_videos_upload HTTP/1.1", accept, "Accept-Language: en-GB",
                  "Cookie: " + cookie, UserAgent, "Host: site.example", "Connection: Keep-Alive",
                  "", "", ""});
    const QByteArray metadata =
        formParts(QByteArray("field_myvideo_title=title&field_myvideo_descr=dd&language=EN&"
                             "field_myvideo_categories=23&field_myvideo_keywords=tags&"
                             "ignore_broadcast_settings=0&field_privacy=public&field_date_mon=0&"
                             "field_date_day=0&field_date_yr=0&location=&allow_comments=Yes&"
                             "allow_comment_ratings=Yes&allow_responses=Yes&allow_ratings=Yes&"
                             "allow_embedding=Yes&allow_syndication=Yes&"
                             "action_upload=Upload a video...")
                      .split('&'))
        + "--";
    QTest::newRow("metadata form, 1347-byte body, CR LF CR LF after")
        << MetadataRequest("site.example", cookie)
        << lines({"POST /my_videos_upload HTTP/1.1", accept, "Accept-Language: slm",
                  "Content-Type: multipart/form-data; charset=utf-8; boundary=Xu02=$",
                  "Cookie: " + cookie, UserAgent, "Content-Length: 1347", "Host: site.example",
                  "Connection: Keep-Alive", "", metadata, "", ""});
    const QByteArray file(1000, 'v');
    const QByteArray quoted = "\"C:\\videos\\clip.wmv\"";
    QTest::newRow("file post, empty texts: 2654-byte body")
        << BuildFilePost(file, SplitURL("http://h/p"), quoted, {})
        << filePost("h", {}, quoted, file, 2654);
    const QByteArray awkward("\r\n--Xu02=$\r\n\0\0\r--Xu02=$--\n\r\n", 27);
    const FilePostFields fields{"tag1 tag2", "caf\xc3\xa9", "one\r\ntwo", "22", "addr77", cookie};
    QTest::newRow("file post, CR, LF, NUL and the boundary in the file")
        << BuildFilePost(awkward, SplitURL("http://up.example:8080/x?q=1"), "\"/v/clip\"", fields)
        << filePost("up.example", fields, "\"/v/clip\"", awkward);
}

void TestUploadExchanges::requests()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, expected);
    QCOMPARE(request, expected);
}

void TestUploadExchanges::scanners_data()
{
    QTest::addColumn<Scanner>("scan");
    QTest::addColumn<QByteArray>("chunk");
    QTest::addColumn<QByteArray>("found"); // null: nothing found
    const auto row = [](const char *name, Scanner scan, const QByteArray &chunk,
                        const QByteArray &found) { QTest::newRow(name) << scan << chunk << found; };
    row("token", UploadPageToken, "<script>\nvar gXSRF_token = 'Ab9_x';\nvar o = 1;", "Ab9_x");
    row("token without its closing: to the end", UploadPageToken,
        "var gXSRF_token = 'Ab9_x\r\n</html>", "Ab9_x\r\n</html>");
    row("token: two openings, cut at the second", UploadPageToken,
        "var gXSRF_token = 'one var gXSRF_token = 'two';", "one ");
    row("token: the name without the whole opening", UploadPageToken, "gXSRF_token = 'a';", {});
    row("addresser", UploadFormAddresser,
        "<input type=\"hidden\" name=\"addresser\" value=\"x9_Z-1\">\n<input>", "x9_Z-1");
    row("addresser: a value before the name is not it", UploadFormAddresser,
        "<input value=\"wrong\"> addresser value=\"right\">", "right");
    row("addresser without a value", UploadFormAddresser, "<input name=\"addresser\">", {});
    row("action", UploadFormAction,
        "<form enctype=\"multipart/form-data\" action=\"http://up:81/post?a=1\" name=\"f\">",
        "http://up:81/post?a=1");
    row("action without a name after it: to the end", UploadFormAction,
        "multipart/form-data\" action=\"http://u/p\">", "http://u/p\">");
    row("action before the enctype", UploadFormAction,
        "<form action=\"http://u/p\" enctype=\"multipart/form-data\" name=\"f\">", {});
    row("video id cut at &", ScanVideoId, "HTTP/1.1 200 OK\r\n\r\nvideo_id=abc123&x=1", "abc123");
    row("video id to the end", ScanVideoId, "video_id=abc\r\n</p>", "abc\r\n</p>");
    row("video id twice: cut at the second", ScanVideoId, "video_id=one video_id=two&", "one ");
    row("VIDEO_ID in upper case", ScanVideoId, "VIDEO_ID=abc&", {});
}

void TestUploadExchanges::scanners()
{
    QFETCH(Scanner, scan);
    QFETCH(QByteArray, chunk);
    QFETCH(QByteArray, found);
    const std::optional<QByteArray> value = scan(chunk);
    QCOMPARE(value.has_value(), !found.isNull());
    if (value)
        QCOMPARE(*value, found);
}

void TestUploadExchanges::splitUrl_data()
{
    QTest::addColumn<QByteArray>("address");
    QTest::addColumn<URLParts>("parts");
    const auto row = [](const char *name, const QByteArray &address, const URLParts &parts) {
        QTest::newRow(name) << address << parts;
    };
    row("all parts", "http://up.example:8080/my_videos_post?a=1&b=2",
        {"http", "up.example", 8080, "/my_videos_post", "a=1&b=2"});
    row("no port", "https://up.example/p", {"https", "up.example", 0, "/p", ""});
    row("port but no slash: all of it is the host", "http://up.example:8080",
        {"http", "up.example:8080", 0, "/", ""});
    row("colon in the path", "http://h/a:1/b?c:2", {"http", "h", 0, "/a:1/b", "c:2"});
    row("no scheme", "h:81/post", {"", "h", 81, "/post", ""});
    row("port not a number", "http://h:8o/p", {"http", "h", 0, "/p", ""});
    row("port beyond TCP", "http://h:70000/p", {"http", "h", 0, "/p", ""});
    row("path only", "/my_videos_post", {"", "", 0, "/my_videos_post", ""});
}

void TestUploadExchanges::splitUrl()
{
    QFETCH(QByteArray, address);
    QFETCH(URLParts, parts);
    QCOMPARE(SplitURL(address), parts);
}

void TestUploadExchanges::progress_data()
{
    QTest::addColumn<qint64>("sent");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<int>("previousBar");
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<int>("bar");
    QTest::addColumn<QString>("percent");
    QTest::addColumn<QString>("kilobytes");
    QTest::addColumn<bool>("finished");
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    const QLocale de(QLocale::German, QLocale::Germany);
    const qint64 MiB = 1048576;
    QTest::newRow("half") << MiB / 2 << MiB << 49 << us << 50 << u"50%"_s
                          << u"512 Kb uploaded so far, remaining 512 Kb"_s << false;
    QTest::newRow("512 bytes over: still counting, separators")
        << MiB + 512 << MiB << 99 << us << 100 << u"100%"_s
        << u"1,024 Kb uploaded so far, remaining 0 Kb"_s << false;
    QTest::newRow("513 bytes over: finished, plain digits")
        << MiB + 513 << MiB << 100 << us << 100 << u"100%"_s
        << u"1024 Kb uploaded so far, remaining 0 Kb"_s << true;
    QTest::newRow("the locale's separator while uploading")
        << qint64(2000000) << qint64(5000000) << 0 << de << 40 << u"40%"_s
        << u"1.953 Kb uploaded so far, remaining 2.930 Kb"_s << false;
    QTest::newRow("no separator in the finished line")
        << qint64(5002000) << qint64(5000000) << 100 << de << 100 << u"100%"_s
        << u"4883 Kb uploaded so far, remaining 0 Kb"_s << true;
    QTest::newRow("past 100: the bar keeps its value")
        << qint64(100501) << qint64(100000) << 98 << us << 98 << u"98%"_s
        << u"98 Kb uploaded so far, remaining 0 Kb"_s << false;
}

void TestUploadExchanges::progress()
{
    QFETCH(qint64, sent);
    QFETCH(qint64, size);
    QFETCH(int, previousBar);
    QFETCH(QLocale, locale);
    const UploadProgressView view = UploadProgress(sent, size, previousBar, locale);
    QTEST(view.bar, "bar");
    QTEST(view.percent, "percent");
    QTEST(view.kilobytes, "kilobytes");
    QTEST(view.finished, "finished");
}

QTEST_APPLESS_MAIN(TestUploadExchanges)
#include "tst_uploadexchanges.moc"
