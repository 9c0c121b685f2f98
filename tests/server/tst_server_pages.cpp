// The pages people browse, the video files with Range requests, and the text
// conversion service, against a running videosite.
#include "clientwire.h"
#include "rawhttp.h"
#include "siteprocess.h"

#include <QTest>

#include <curl/curl.h>

using namespace Qt::StringLiterals;

namespace {

// An MP4-like start (so the type can be told) and then varied bytes.
QByteArray videoBytes()
{
    QByteArray bytes("\x00\x00\x00\x18" "ftypisom\x00\x00\x02\x00", 16);
    for (int i = 0; i < 200000; ++i)
        bytes += char((i * 7 + i / 256) % 256);
    return bytes;
}

// Undoes the service's answer the way the uploader does: %XX to bytes, then
// its placeholder tokens back to the characters they stand for.
QByteArray decodeSection(const QByteArray &answer, const QByteArray &open, const QByteArray &close)
{
    const qsizetype start = answer.indexOf(open) + open.size();
    QByteArray bytes = QByteArray::fromPercentEncoding(answer.mid(start, answer.indexOf(close, start) - start));
    bytes.replace("[_ULK-SPACE_]", " ").replace("[_ULK-CRLF_]", "\r\n");
    bytes.replace("[_ULK-PERCENT_]", "%").replace("[_ULK-AMP_]", "&");
    return bytes;
}

size_t collect(char *data, size_t size, size_t count, void *target)
{
    static_cast<QByteArray *>(target)->append(data, qsizetype(size * count));
    return size * count;
}

} // namespace

class TestServerPages : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void watchPageShowsEscapedDetails();
    void unknownAddresses_data();
    void unknownAddresses();
    void listsAndTerms_data();
    void listsAndTerms();
    void videoRanges_data();
    void videoRanges();
    void headOfVideo();
    void conversion_data();
    void conversion();
    void conversionThroughLibcurl();

private:
    SiteProcess m_site;
    QByteArray m_cookie;
    QByteArray m_id;
    QByteArray m_bytes;
};

void TestServerPages::initTestCase()
{
    QVERIFY2(m_site.start(), qPrintable(m_site.errorString()));
    QVERIFY(m_site.addAccount(u"pat <admin>"_s, u"secret"_s));
    m_cookie = UploadSteps::login(m_site, "pat <admin>", "secret");
    QVERIFY(!m_cookie.isEmpty());
    m_bytes = videoBytes();
    ClientWire::FilePost post;
    post.title = "<script>alert(\"x\")</script> & caf\xC3\xA9";
    post.description = "line one\r\nline <two>";
    post.tags = "science, <i>tags</i>";
    post.category = "28";
    post.file = m_bytes;
    m_id = UploadSteps::uploadVideo(m_site, m_cookie, post);
    QVERIFY(!m_id.isEmpty());
}

void TestServerPages::cleanupTestCase()
{
    QVERIFY(m_site.stop());
}

void TestServerPages::watchPageShowsEscapedDetails()
{
    const RawHttp::Answer page = RawHttp::get(m_site.sitePort(), "/watch?v=" + m_id);
    QCOMPARE(page.status, 200);
    QVERIFY(page.header("Content-Type").startsWith("text/html"));
    QVERIFY(page.body.contains("&lt;script&gt;alert(&quot;x&quot;)&lt;/script&gt; &amp; caf\xC3\xA9"));
    QVERIFY(!page.body.contains("<script"));
    QVERIFY(page.body.contains("line one\r\nline &lt;two&gt;"));
    QVERIFY(page.body.contains("science, &lt;i&gt;tags&lt;/i&gt;"));
    QVERIFY(page.body.contains("Science &amp; Technology"));
    QVERIFY(page.body.contains("pat &lt;admin&gt;"));
    QVERIFY(page.body.contains("<video controls"));
    QVERIFY(page.body.contains("src=\"/videos/" + m_id + "\""));
    QVERIFY(!page.body.contains("<i>"));
}

void TestServerPages::unknownAddresses_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<int>("status");
    QTest::newRow("unknown video") << QByteArray("/watch?v=AAAAAAAAAAA") << 404;
    QTest::newRow("no id") << QByteArray("/watch") << 404;
    QTest::newRow("path in id") << QByteArray("/watch?v=..%2Fvideosite.sqlite") << 404;
    QTest::newRow("unknown file") << QByteArray("/videos/AAAAAAAAAAA") << 404;
    QTest::newRow("file outside the folder") << QByteArray("/videos/../videosite.sqlite") << 404;
    QTest::newRow("unknown page") << QByteArray("/nothing/here") << 404;
}

void TestServerPages::unknownAddresses()
{
    QFETCH(QByteArray, path);
    QFETCH(int, status);
    const RawHttp::Answer answer = RawHttp::get(m_site.sitePort(), path);
    QCOMPARE(answer.status, status);
    QVERIFY(answer.body.contains("<html"));
    QVERIFY(!answer.body.contains("SQLite"));
}

void TestServerPages::listsAndTerms_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<bool>("signedIn");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<QByteArray>("absent");
    const QByteArray title = "&lt;script&gt;alert";
    QTest::newRow("home lists recent videos") << QByteArray("/") << false << title << QByteArray("<script");
    QTest::newRow("my videos") << QByteArray("/my_videos") << true << title << QByteArray("<script");
    QTest::newRow("my videos, signed out") << QByteArray("/my_videos") << false << QByteArray("Sign in")
                                           << QByteArray("alert");
    QTest::newRow("terms of use") << QByteArray("/t/terms") << false << QByteArray("Terms of Use")
                                  << QByteArray("alert");
    QTest::newRow("account") << QByteArray("/my_account") << true << QByteArray("pat &lt;admin&gt;")
                             << QByteArray("<admin>");
}

void TestServerPages::listsAndTerms()
{
    QFETCH(QByteArray, path);
    QFETCH(bool, signedIn);
    QFETCH(QByteArray, expected);
    QFETCH(QByteArray, absent);
    const RawHttp::Answer page = RawHttp::get(m_site.sitePort(), path, signedIn ? m_cookie : QByteArray());
    QCOMPARE(page.status, 200);
    QVERIFY2(page.body.contains(expected), page.body.constData());
    QVERIFY(!page.body.contains(absent));
    QVERIFY(page.body.contains("My Videos"));
}

void TestServerPages::videoRanges_data()
{
    QTest::addColumn<QByteArray>("range");
    QTest::addColumn<int>("status");
    QTest::addColumn<qint64>("first");
    QTest::addColumn<qint64>("last");
    const qint64 size = videoBytes().size();
    QTest::newRow("whole") << QByteArray() << 200 << qint64(0) << size - 1;
    QTest::newRow("first bytes") << QByteArray("bytes=0-9") << 206 << qint64(0) << qint64(9);
    QTest::newRow("middle") << QByteArray("bytes=1000-70999") << 206 << qint64(1000) << qint64(70999);
    QTest::newRow("to the end") << QByteArray("bytes=150000-") << 206 << qint64(150000) << size - 1;
    QTest::newRow("last bytes") << QByteArray("bytes=-100") << 206 << size - 100 << size - 1;
    QTest::newRow("past the end") << QByteArray("bytes=999999999-") << 416 << qint64(0) << qint64(-1);
}

void TestServerPages::videoRanges()
{
    QFETCH(QByteArray, range);
    QFETCH(int, status);
    QFETCH(qint64, first);
    QFETCH(qint64, last);
    const QByteArray header = range.isEmpty() ? QByteArray() : "Range: " + range + "\r\n";
    const RawHttp::Answer answer = RawHttp::get(m_site.sitePort(), "/videos/" + m_id, {}, header);
    QCOMPARE(answer.status, status);
    const QByteArray size = QByteArray::number(m_bytes.size());
    if (status == 416) {
        QCOMPARE(answer.header("Content-Range"), "bytes */" + size);
        return;
    }
    QCOMPARE(answer.header("Accept-Ranges"), "bytes");
    QCOMPARE(answer.header("Content-Type"), "video/mp4");
    QCOMPARE(answer.header("Content-Length"), QByteArray::number(last - first + 1));
    if (status == 206)
        QCOMPARE(answer.header("Content-Range"),
                 "bytes " + QByteArray::number(first) + '-' + QByteArray::number(last) + '/' + size);
    QVERIFY(answer.body == m_bytes.mid(first, last - first + 1));
}

void TestServerPages::headOfVideo()
{
    const RawHttp::Answer answer = RawHttp::get(m_site.sitePort(), "/videos/" + m_id, {}, {}, "HEAD");
    QCOMPARE(answer.status, 200);
    QCOMPARE(answer.header("Content-Length"), QByteArray::number(m_bytes.size()));
    QVERIFY(answer.body.isEmpty());
}

void TestServerPages::conversion_data()
{
    // Bodies as the uploader sends them: spaces, CR LF, "%" and "&" already
    // replaced by its tokens, everything else raw UTF-8.
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QByteArray>("title");       // as the uploader decodes it
    QTest::addColumn<QByteArray>("description"); // as the uploader decodes it
    QTest::newRow("café") << QByteArray("title=caf\xC3\xA9&dscr=&tags=")
                          << QByteArray("<TITLE>caf%C3%A9</TITLE><DSCR></DSCR><TAGS></TAGS>")
                          << QByteArray("caf\xC3\xA9") << QByteArray();
    const QByteArray sale = "50[_ULK-PERCENT_][_ULK-SPACE_]off[_ULK-SPACE_][_ULK-AMP_][_ULK-SPACE_]more";
    QTest::newRow("50% off & more") << "title=" + sale + "&dscr=&tags="
                                    << "<TITLE>" + sale + "</TITLE><DSCR></DSCR><TAGS></TAGS>"
                                    << QByteArray("50% off & more") << QByteArray();
    QTest::newRow("two-line description") << QByteArray("title=t&dscr=a[_ULK-CRLF_]b&tags=x")
                                          << QByteArray("<TITLE>t</TITLE><DSCR>a[_ULK-CRLF_]b</DSCR><TAGS>x</TAGS>")
                                          << QByteArray("t") << QByteArray("a\r\nb");
    QTest::newRow("plus, equals, question mark, hash stay")
        << QByteArray("title=1+1=2?#&dscr=\xE2\x82\xAC&tags=") << QByteArray("<TITLE>1+1=2?#</TITLE><DSCR>%E2%82%AC</DSCR><TAGS></TAGS>")
        << QByteArray("1+1=2?#") << QByteArray("\xE2\x82\xAC");
    QTest::newRow("lone line feed and tab") << QByteArray("title=a\tb&dscr=c\nd&tags=")
                                            << QByteArray("<TITLE>a%09b</TITLE><DSCR>c%0Ad</DSCR><TAGS></TAGS>")
                                            << QByteArray("a\tb") << QByteArray("c\nd");
    QTest::newRow("missing fields") << QByteArray("title=only")
                                    << QByteArray("<TITLE>only</TITLE><DSCR></DSCR><TAGS></TAGS>")
                                    << QByteArray("only") << QByteArray();
}

void TestServerPages::conversion()
{
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, answer);
    QFETCH(QByteArray, title);
    QFETCH(QByteArray, description);
    const QByteArray request = "POST /conversions/str.asp HTTP/1.1\r\nHost: localhost\r\n"
                               "Content-Type: application/x-www-form-urlencoded;charset=utf-8\r\n"
                               "Content-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
    const RawHttp::Answer reply = RawHttp::fetch(m_site.sitePort(), request);
    QCOMPARE(reply.status, 200);
    QVERIFY(reply.header("Content-Type").startsWith("text/plain"));
    QCOMPARE(reply.body, answer);
    QCOMPARE(decodeSection(reply.body, "<TITLE>", "</TITLE>"), title);
    QCOMPARE(decodeSection(reply.body, "<DSCR>", "</DSCR>"), description);
}

void TestServerPages::conversionThroughLibcurl()
{
    // The uploader makes this request with libcurl; do the same.
    CURL *curl = curl_easy_init();
    QVERIFY(curl);
    const QByteArray url = "http://127.0.0.1:" + QByteArray::number(m_site.sitePort()) + "/conversions/str.asp";
    const QByteArray body = "title=caf\xC3\xA9[_ULK-SPACE_]&dscr=x&tags=\xC3\xBC";
    QByteArray answer;
    curl_slist *headers = curl_slist_append(nullptr, "content-type: application/x-www-form-urlencoded;charset=utf-8");
    curl_easy_setopt(curl, CURLOPT_URL, url.constData());
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.constData());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, long(body.size()));
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &collect);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &answer);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 20L);
    const CURLcode result = curl_easy_perform(curl);
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    curl_slist_free_all(headers);
    curl_easy_cleanup(curl);
    QCOMPARE(result, CURLE_OK);
    QCOMPARE(status, 200L);
    QCOMPARE(answer, "<TITLE>caf%C3%A9[_ULK-SPACE_]</TITLE><DSCR>x</DSCR><TAGS>%C3%BC</TAGS>");
}

QTEST_GUILESS_MAIN(TestServerPages)
#include "tst_server_pages.moc"
