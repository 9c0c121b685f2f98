// Unit tests of the stand-in site's wire code: multipart, form and cookie
// decoding, request heads, byte ranges, the conversion service's format,
// HTML escaping and the command line.
#include "clientwire.h"

#include "server/byterange.h"
#include "server/conversion.h"
#include "server/formencoding.h"
#include "server/httprequest.h"
#include "server/multipart.h"
#include "server/options.h"
#include "server/pages.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Bytes that a naive multipart parser would take for structure.
QByteArray trickyFile()
{
    QByteArray file("\x00\x01\r\n\r\n--Xu02=$\r\nContent-Disposition: form-data; name=\"evil\"\r\n\r\n", 65);
    file += QByteArray(300, '\0');
    file += "\r\n--Xu02=$--\r\n--Xu02=$--";
    file += QByteArray("\r\n\x00\xff", 4);
    for (int i = 0; i < 5000; ++i)
        file += char((i * 37) % 256);
    file += "\r\n"; // the file itself ends with a line break
    return file;
}

ClientWire::FilePost sampleFilePost()
{
    ClientWire::FilePost post;
    post.tags = "holiday,sea";
    post.title = "Caf\xC3\xA9 & co";
    post.description = "line one\r\nline two";
    post.category = "19";
    post.addresser = "TICKET123";
    post.file = trickyFile();
    return post;
}

} // namespace

class TestServerWire : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void clientRequestsHaveTheUploadersSizes();
    void metadataBodyParses();
    void filePostParses_data();
    void filePostParses();
    void headerOnlyParts_data();
    void headerOnlyParts();
    void fileSinkGetsFileAndEarlierFields();
    void fileSinkCanRefuse();
    void browserStyleBody();
    void brokenBodiesFail_data();
    void brokenBodiesFail();
    void boundary_data();
    void boundary();
    void formDecoding_data();
    void formDecoding();
    void cookies_data();
    void cookies();
    void requestHead_data();
    void requestHead();
    void requestHeadSkipsBlankLinesAndWaits();
    void byteRange_data();
    void byteRange();
    void conversionSplit_data();
    void conversionSplit();
    void conversionEscape_data();
    void conversionEscape();
    void htmlEscaping();
    void options_data();
    void options();
};

void TestServerWire::clientRequestsHaveTheUploadersSizes()
{
    // The request builders used by every exchange test match the uploader.
    QCOMPARE(ClientWire::loginBody("u", "p").size(), 83);
    QCOMPARE(ClientWire::metadataBody().size(), 1347);
    ClientWire::FilePost empty;
    empty.quotedPath = '"' + QByteArray(18, 'x') + '"';
    empty.file = QByteArray(1000, 'v');
    QCOMPARE(ClientWire::filePostBody(empty).size(), 2654);
    QVERIFY(ClientWire::loginRequest("u", "p").endsWith("Log+In\r\n\r\n"));
    QVERIFY(ClientWire::uploadPageRequest("LOGIN_INFO=x").endsWith("Keep-Alive\r\n\r\n\r\n"));
    QVERIFY(ClientWire::metadataRequest("LOGIN_INFO=x").endsWith("--Xu02=$--\r\n\r\n"));
}

void TestServerWire::metadataBodyParses()
{
    const auto parts = parseMultipart(ClientWire::metadataBody(), "Xu02=$");
    QVERIFY(parts);
    QCOMPARE(parts->size(), 18);
    QCOMPARE(parts->at(0).name, "field_myvideo_title");
    QCOMPARE(parts->at(0).value, "title");
    QCOMPARE(parts->at(3).value, "23");
    QCOMPARE(parts->at(10).name, "location");
    QCOMPARE(parts->at(10).value, "");
    QVERIFY(parts->at(10).hasBody);
    QCOMPARE(parts->at(17).value, "Upload a video...");
}

void TestServerWire::filePostParses_data()
{
    QTest::addColumn<int>("chunk");
    QTest::newRow("whole body") << 0;
    QTest::newRow("1 byte pieces") << 1;
    QTest::newRow("2 byte pieces") << 2;
    QTest::newRow("7 byte pieces") << 7;
    QTest::newRow("13 byte pieces") << 13;
    QTest::newRow("1 KiB pieces") << 1024;
}

void TestServerWire::filePostParses()
{
    QFETCH(int, chunk);
    const ClientWire::FilePost post = sampleFilePost();
    const QByteArray body = ClientWire::filePostBody(post);

    MultipartParser parser("Xu02=$");
    if (chunk == 0) {
        QVERIFY(parser.feed(body));
    } else {
        for (qsizetype at = 0; at < body.size(); at += chunk)
            QVERIFY2(parser.feed(QByteArrayView(body).sliced(at, qMin<qsizetype>(chunk, body.size() - at))),
                     qPrintable(parser.errorString()));
    }
    QVERIFY2(parser.finish(), qPrintable(parser.errorString()));

    const QList<MultipartPart> &parts = parser.parts();
    QCOMPARE(parts.size(), 22);
    QCOMPARE(parts.at(1).value, post.tags);
    QCOMPARE(parts.at(2).value, post.title);
    QCOMPARE(parts.at(3).value, post.description);
    QCOMPARE(parts.at(4).value, post.category);
    // Header-only parts are kept as empty fields, not merged with a neighbour.
    QCOMPARE(parts.at(7).name, "field_private_share_entities");
    QVERIFY(!parts.at(7).hasBody);
    QCOMPARE(parts.at(8).name, "addresser");
    QCOMPARE(parts.at(8).value, "TICKET123");
    QCOMPARE(parts.at(9).name, "contact");
    QVERIFY(parts.at(9).hasBody);
    QCOMPARE(parts.at(9).value, "");
    QCOMPARE(parts.at(18).name, "allow_offweb");
    QVERIFY(!parts.at(18).hasBody);
    QCOMPARE(parts.at(19).name, "allow_ratings");
    QCOMPARE(parts.at(19).value, "Yes");

    const MultipartPart &file = parts.at(21);
    QVERIFY(file.isFile);
    QCOMPARE(file.name, "field_uploadfile");
    QCOMPARE(file.fileName, "/home/someone/My Videos/holiday clip.wmv");
    QCOMPARE(file.contentType, "video/x-ms-wmv");
    QCOMPARE(file.value, post.file);
    QCOMPARE(parser.fileSize(), post.file.size());
}

void TestServerWire::headerOnlyParts_data()
{
    QTest::addColumn<QByteArray>("separator"); // between the header line and the next delimiter
    QTest::newRow("line end, then the delimiter's CR LF") << QByteArray("\r\n");
    QTest::newRow("delimiter right after the header text") << QByteArray();
}

void TestServerWire::headerOnlyParts()
{
    QFETCH(QByteArray, separator);
    const QByteArray body = "--Xu02=$\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\nx\r\n"
                            "--Xu02=$\r\nContent-Disposition: form-data; name=\"h\"" + separator + "\r\n"
                            "--Xu02=$\r\nContent-Disposition: form-data; name=\"e\"\r\n\r\n\r\n"
                            "--Xu02=$\r\nContent-Disposition: form-data; name=\"b\"\r\n\r\ny\r\n--Xu02=$--";
    for (int chunk : {1, 3, 1000}) {
        MultipartParser parser("Xu02=$");
        for (qsizetype at = 0; at < body.size(); at += chunk)
            QVERIFY(parser.feed(QByteArrayView(body).sliced(at, qMin<qsizetype>(chunk, body.size() - at))));
        QVERIFY(parser.finish());
        const QList<MultipartPart> &parts = parser.parts();
        QCOMPARE(parts.size(), 4);
        QCOMPARE(parts.at(0).value, "x");
        QCOMPARE(parts.at(1).name, "h");
        QVERIFY(!parts.at(1).hasBody);
        QCOMPARE(parts.at(1).value, "");
        // An empty value after an empty line is a value, not a missing one.
        QCOMPARE(parts.at(2).name, "e");
        QVERIFY(parts.at(2).hasBody);
        QCOMPARE(parts.at(3).value, "y");
    }
}

void TestServerWire::fileSinkGetsFileAndEarlierFields()
{
    const ClientWire::FilePost post = sampleFilePost();
    const QByteArray body = ClientWire::filePostBody(post);
    MultipartParser parser("Xu02=$");
    QByteArray sunk;
    QByteArray ticketAtStart;
    parser.setFileSink(
        [&](const MultipartPart &) {
            ticketAtStart = parser.fieldValue("addresser");
            return true;
        },
        [&](QByteArrayView data) {
            sunk.append(data);
            return true;
        });
    for (qsizetype at = 0; at < body.size(); at += 4096)
        QVERIFY(parser.feed(QByteArrayView(body).sliced(at, qMin<qsizetype>(4096, body.size() - at))));
    QVERIFY(parser.finish());
    QCOMPARE(ticketAtStart, "TICKET123");
    QCOMPARE(sunk, post.file);
    QVERIFY(parser.filePart()->value.isEmpty());
}

void TestServerWire::fileSinkCanRefuse()
{
    const QByteArray body = ClientWire::filePostBody(sampleFilePost());
    MultipartParser parser("Xu02=$");
    int dataCalls = 0;
    parser.setFileSink([](const MultipartPart &) { return false; },
                       [&](QByteArrayView) {
                           ++dataCalls;
                           return true;
                       });
    QVERIFY(!parser.feed(body));
    QVERIFY(parser.failed());
    QVERIFY(!parser.finish());
    QCOMPARE(dataCalls, 0);
}

void TestServerWire::browserStyleBody()
{
    // Quoted boundary, a line break after the closing delimiter, the file last.
    const QByteArray body = "--abc;def\r\n"
                            "Content-Disposition: form-data; name=\"addresser\"\r\n\r\nT1\r\n"
                            "--abc;def\r\n"
                            "content-disposition: form-data; name=\"field_uploadfile\"; filename=\"a \\\"b\\\".mp4\"\r\n"
                            "Content-Type: video/mp4\r\n\r\n"
                            "DATA\r\n--abc;def\r\nMORE"
                            "\r\n--abc;def--\r\n";
    const QByteArray boundary = multipartBoundary("multipart/form-data; boundary=\"abc;def\"");
    QCOMPARE(boundary, "abc;def");
    const auto parts = parseMultipart(body, boundary);
    QVERIFY(parts);
    QCOMPARE(parts->size(), 2);
    QCOMPARE(parts->at(0).value, "T1");
    QCOMPARE(parts->at(1).fileName, "a \\\"b\\\".mp4");
    QCOMPARE(parts->at(1).value, "DATA\r\n--abc;def\r\nMORE");
}

void TestServerWire::brokenBodiesFail_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("no closing delimiter")
        << QByteArray("--Xu02=$\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\nx\r\n--Xu02=$\r\n");
    QTest::newRow("ends inside a field") << QByteArray("--Xu02=$\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\nx");
    QTest::newRow("file without closing delimiter")
        << QByteArray("--Xu02=$\r\nContent-Disposition: form-data; name=\"f\"; filename=\"x\"\r\n\r\nbytes\r\n--Xu02=$");
    QTest::newRow("text after a boundary")
        << QByteArray("--Xu02=$garbage\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\nx\r\n--Xu02=$--");
    QTest::newRow("other boundary") << QByteArray("--other\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\nx\r\n--other--");
}

void TestServerWire::brokenBodiesFail()
{
    QFETCH(QByteArray, body);
    QVERIFY(!parseMultipart(body, "Xu02=$"));
}

void TestServerWire::boundary_data()
{
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QByteArray>("boundary");
    QTest::newRow("uploader's file post") << QByteArray("multipart/form-data; boundary=Xu02=$") << QByteArray("Xu02=$");
    QTest::newRow("uploader's metadata form")
        << QByteArray("multipart/form-data; charset=utf-8; boundary=Xu02=$") << QByteArray("Xu02=$");
    QTest::newRow("quoted") << QByteArray("multipart/form-data; boundary=\"a b=c\"") << QByteArray("a b=c");
    QTest::newRow("name case") << QByteArray("multipart/form-data; BOUNDARY=zz; x=y") << QByteArray("zz");
    QTest::newRow("none") << QByteArray("multipart/form-data") << QByteArray();
    QTest::newRow("form-encoded") << QByteArray("application/x-www-form-urlencoded") << QByteArray();
}

void TestServerWire::boundary()
{
    QFETCH(QByteArray, contentType);
    QFETCH(QByteArray, boundary);
    QCOMPARE(multipartBoundary(contentType), boundary);
}

void TestServerWire::formDecoding_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("field");
    QTest::addColumn<QByteArray>("value");
    const QByteArray login = ClientWire::loginBody("u", "p");
    QTest::newRow("uploader's user name") << login << QByteArray("username") << QByteArray("u");
    QTest::newRow("uploader's password") << login << QByteArray("password") << QByteArray("p");
    QTest::newRow("escaped next") << login << QByteArray("next") << QByteArray("/my_account");
    QTest::newRow("plus is a space") << login << QByteArray("action_login") << QByteArray("Log In");
    QTest::newRow("utf-8 escapes") << QByteArray("username=Jos%C3%A9") << QByteArray("username")
                                   << QByteArray("Jos\xC3\xA9");
    QTest::newRow("raw utf-8") << QByteArray("username=Jos\xC3\xA9") << QByteArray("username")
                               << QByteArray("Jos\xC3\xA9");
    QTest::newRow("lone percent stays") << QByteArray("password=50%&x=1") << QByteArray("password")
                                        << QByteArray("50%");
    QTest::newRow("bad escape stays") << QByteArray("password=%zz%4") << QByteArray("password") << QByteArray("%zz%4");
    QTest::newRow("escaped plus") << QByteArray("password=a%2Bb") << QByteArray("password") << QByteArray("a+b");
    QTest::newRow("empty value") << QByteArray("username=&password=p") << QByteArray("username") << QByteArray("");
    QTest::newRow("missing") << QByteArray("password=p") << QByteArray("username") << QByteArray();
}

void TestServerWire::formDecoding()
{
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, field);
    QFETCH(QByteArray, value);
    const QByteArray decoded = formValue(parseUrlEncoded(body), field);
    QCOMPARE(decoded, value);
    QCOMPARE(decoded.isNull(), value.isNull());
}

void TestServerWire::cookies_data()
{
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<QByteArray>("value");
    QTest::newRow("alone") << QByteArray("LOGIN_INFO=abc-_1") << QByteArray("abc-_1");
    QTest::newRow("among others") << QByteArray("a=1; LOGIN_INFO=xyz; b=2") << QByteArray("xyz");
    QTest::newRow("similar name") << QByteArray("XLOGIN_INFO=no; LOGIN_INFO=yes") << QByteArray("yes");
    QTest::newRow("absent") << QByteArray("a=1") << QByteArray();
}

void TestServerWire::cookies()
{
    QFETCH(QByteArray, header);
    QFETCH(QByteArray, value);
    QCOMPARE(cookieValue(header, "LOGIN_INFO"), value);
}

void TestServerWire::requestHead_data()
{
    QTest::addColumn<QByteArray>("wire");
    QTest::addColumn<int>("errorStatus"); // 0: parsed
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<qint64>("contentLength");
    QTest::addColumn<int>("trailing"); // bytes after the body

    const QByteArray login = ClientWire::loginRequest("u", "p");
    QTest::newRow("uploader's login") << login << 0 << QByteArray("/signup") << qint64(83) << 4;
    QTest::newRow("uploader's upload page") << ClientWire::uploadPageRequest("LOGIN_INFO=x") << 0
                                            << QByteArray("/my_videos_upload") << qint64(0) << 2;
    QTest::newRow("uploader's metadata form") << ClientWire::metadataRequest("LOGIN_INFO=x") << 0
                                              << QByteArray("/my_videos_upload") << qint64(1347) << 4;
    QTest::newRow("absolute form") << QByteArray("GET http://h:1/watch?v=a HTTP/1.1\r\n\r\n") << 0
                                   << QByteArray("/watch") << qint64(0) << 0;
    QTest::newRow("bare LF lines") << QByteArray("GET / HTTP/1.0\nHost: x\n\n") << 0 << QByteArray("/") << qint64(0) << 0;
    QTest::newRow("two spaces") << QByteArray("GET  / HTTP/1.1\r\n\r\n") << 400 << QByteArray() << qint64(0) << 0;
    QTest::newRow("no version") << QByteArray("GET /\r\n\r\n") << 400 << QByteArray() << qint64(0) << 0;
    QTest::newRow("HTTP/2.0") << QByteArray("GET / HTTP/2.0\r\n\r\n") << 505 << QByteArray() << qint64(0) << 0;
    QTest::newRow("folded header") << QByteArray("GET / HTTP/1.1\r\nA: b\r\n c\r\n\r\n") << 400 << QByteArray()
                                   << qint64(0) << 0;
    QTest::newRow("bad length") << QByteArray("POST / HTTP/1.1\r\nContent-Length: 1x\r\n\r\n") << 400
                                << QByteArray() << qint64(0) << 0;
    QTest::newRow("negative length") << QByteArray("POST / HTTP/1.1\r\nContent-Length: -1\r\n\r\n") << 400
                                     << QByteArray() << qint64(0) << 0;
    QTest::newRow("two lengths") << QByteArray("POST / HTTP/1.1\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\n")
                                 << 400 << QByteArray() << qint64(0) << 0;
    QTest::newRow("chunked") << QByteArray("POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n") << 411
                             << QByteArray() << qint64(0) << 0;
    QTest::newRow("head too large") << QByteArray("GET / HTTP/1.1\r\nX: " + QByteArray(20000, 'a') + "\r\n\r\n")
                                    << 431 << QByteArray() << qint64(0) << 0;
}

void TestServerWire::requestHead()
{
    QFETCH(QByteArray, wire);
    QFETCH(int, errorStatus);
    QFETCH(QByteArray, path);
    QFETCH(qint64, contentLength);
    QFETCH(int, trailing);
    const RequestHeadResult result = parseRequestHead(wire, 16 * 1024);
    if (errorStatus != 0) {
        QCOMPARE(result.status, RequestHeadResult::Status::Invalid);
        QCOMPARE(result.errorStatus, errorStatus);
        return;
    }
    QCOMPARE(result.status, RequestHeadResult::Status::Complete);
    QCOMPARE(result.request.path, path);
    QCOMPARE(result.request.contentLength, contentLength);
    // The body and what follows it are left in the buffer.
    QCOMPARE(wire.size() - result.consumed, contentLength + trailing);
}

void TestServerWire::requestHeadSkipsBlankLinesAndWaits()
{
    // The two CR LF pairs after a body come before the next request line.
    const QByteArray wire = "\r\n\r\nGET /watch?v=abc&x=%41 HTTP/1.1\r\nCookie: LOGIN_INFO=k\r\nConnection: close\r\n\r\n";
    for (qsizetype cut = 0; cut < wire.size(); ++cut) {
        const RequestHeadResult partial = parseRequestHead(QByteArrayView(wire).first(cut), 16 * 1024);
        QCOMPARE(partial.status, RequestHeadResult::Status::Incomplete);
        QVERIFY(partial.consumed <= 4);
    }
    const RequestHeadResult result = parseRequestHead(wire, 16 * 1024);
    QCOMPARE(result.status, RequestHeadResult::Status::Complete);
    QCOMPARE(result.consumed, wire.size());
    QCOMPARE(result.request.queryItem("v"), "abc");
    QCOMPARE(result.request.queryItem("x"), "A");
    QCOMPARE(result.request.cookie("LOGIN_INFO"), "k");
    QVERIFY(!result.request.wantsKeepAlive());
}

void TestServerWire::byteRange_data()
{
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<int>("kind");
    QTest::addColumn<qint64>("first");
    QTest::addColumn<qint64>("last");
    const int whole = int(ByteRange::Kind::Whole);
    const int partial = int(ByteRange::Kind::Partial);
    const int unsatisfiable = int(ByteRange::Kind::Unsatisfiable);
    QTest::newRow("none") << QByteArray() << qint64(100) << whole << qint64(0) << qint64(-1);
    QTest::newRow("closed") << QByteArray("bytes=10-19") << qint64(100) << partial << qint64(10) << qint64(19);
    QTest::newRow("open") << QByteArray("bytes=90-") << qint64(100) << partial << qint64(90) << qint64(99);
    QTest::newRow("suffix") << QByteArray("bytes=-5") << qint64(100) << partial << qint64(95) << qint64(99);
    QTest::newRow("suffix beyond size") << QByteArray("bytes=-500") << qint64(100) << partial << qint64(0)
                                        << qint64(99);
    QTest::newRow("end clipped") << QByteArray("bytes=50-1000") << qint64(100) << partial << qint64(50)
                                 << qint64(99);
    QTest::newRow("start past end") << QByteArray("bytes=100-") << qint64(100) << unsatisfiable << qint64(0)
                                    << qint64(-1);
    QTest::newRow("zero suffix") << QByteArray("bytes=-0") << qint64(100) << unsatisfiable << qint64(0)
                                 << qint64(-1);
    QTest::newRow("reversed") << QByteArray("bytes=20-10") << qint64(100) << whole << qint64(0) << qint64(-1);
    QTest::newRow("several") << QByteArray("bytes=0-1,5-6") << qint64(100) << whole << qint64(0) << qint64(-1);
    QTest::newRow("other unit") << QByteArray("items=0-1") << qint64(100) << whole << qint64(0) << qint64(-1);
}

void TestServerWire::byteRange()
{
    QFETCH(QByteArray, header);
    QFETCH(qint64, size);
    QFETCH(int, kind);
    QFETCH(qint64, first);
    QFETCH(qint64, last);
    const ByteRange range = parseByteRange(header, size);
    QCOMPARE(int(range.kind), kind);
    if (range.kind == ByteRange::Kind::Partial) {
        QCOMPARE(range.first, first);
        QCOMPARE(range.last, last);
    }
}

void TestServerWire::conversionSplit_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("title");
    QTest::addColumn<QByteArray>("description");
    QTest::addColumn<QByteArray>("tags");
    QTest::newRow("all three") << QByteArray("title=T&dscr=D&tags=G") << QByteArray("T") << QByteArray("D")
                               << QByteArray("G");
    QTest::newRow("literal + = ? #") << QByteArray("title=1+1=2?#x&dscr=a=b&tags=c+d") << QByteArray("1+1=2?#x")
                                     << QByteArray("a=b") << QByteArray("c+d");
    QTest::newRow("tags marker inside the title is taken") << QByteArray("title=a&tags=b&dscr=c") << QByteArray("a&tags=b")
                                           << QByteArray("c") << QByteArray();
    QTest::newRow("no tags") << QByteArray("title=T&dscr=D") << QByteArray("T") << QByteArray("D") << QByteArray();
    QTest::newRow("no description") << QByteArray("title=T&tags=G") << QByteArray("T") << QByteArray()
                                    << QByteArray("G");
    QTest::newRow("empty fields") << QByteArray("title=&dscr=&tags=") << QByteArray() << QByteArray()
                                  << QByteArray();
    QTest::newRow("empty body") << QByteArray() << QByteArray() << QByteArray() << QByteArray();
}

void TestServerWire::conversionSplit()
{
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, title);
    QFETCH(QByteArray, description);
    QFETCH(QByteArray, tags);
    const ConversionFields fields = splitConversionRequest(body);
    QCOMPARE(fields.title, title);
    QCOMPARE(fields.description, description);
    QCOMPARE(fields.tags, tags);
}

void TestServerWire::conversionEscape_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("escaped");
    QTest::newRow("café") << QByteArray("caf\xC3\xA9") << QByteArray("caf%C3%A9");
    QTest::newRow("tokens pass") << QByteArray("50[_ULK-PERCENT_][_ULK-SPACE_]off[_ULK-AMP_]")
                                 << QByteArray("50[_ULK-PERCENT_][_ULK-SPACE_]off[_ULK-AMP_]");
    QTest::newRow("percent") << QByteArray("100%") << QByteArray("100%25");
    QTest::newRow("controls") << QByteArray("a\tb\nc\rd", 7) << QByteArray("a%09b%0Ac%0Dd");
    QTest::newRow("nul and del") << QByteArray("\x00\x7f~ ", 4) << QByteArray("%00%7F~ ");
    QTest::newRow("printable edge") << QByteArray(" !<>&=+?#~") << QByteArray(" !<>&=+?#~");
}

void TestServerWire::conversionEscape()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, escaped);
    QCOMPARE(escapeForConversion(text), escaped);
}

void TestServerWire::htmlEscaping()
{
    QCOMPARE(htmlEscape(u"<script>alert(\"x\") & 'y'</script>"_s),
             u"&lt;script&gt;alert(&quot;x&quot;) &amp; &#39;y&#39;&lt;/script&gt;"_s);
    QCOMPARE(categoryName("28"), u"Science & Technology"_s);
    QCOMPARE(categoryName("99"), u"99"_s);
    QCOMPARE(videoCategories().size(), 14);
}

void TestServerWire::options_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("site");
    QTest::addColumn<QString>("upload");
    QTest::newRow("defaults") << QStringList{u"--data"_s, u"/d"_s} << true << u"127.0.0.1:80"_s
                              << u"127.0.0.1:8080"_s;
    QTest::newRow("ephemeral") << QStringList{u"--data"_s, u"/d"_s, u"--listen"_s, u"127.0.0.1:0"_s,
                                              u"--upload-listen"_s, u"[::1]:0"_s}
                               << true << u"127.0.0.1:0"_s << u"[::1]:0"_s;
    QTest::newRow("localhost") << QStringList{u"--data"_s, u"/d"_s, u"--listen"_s, u"localhost:81"_s} << true
                               << u"127.0.0.1:81"_s << u"127.0.0.1:8080"_s;
    QTest::newRow("no data") << QStringList{u"--listen"_s, u"127.0.0.1:0"_s} << false << QString() << QString();
    QTest::newRow("bad port") << QStringList{u"--data"_s, u"/d"_s, u"--listen"_s, u"127.0.0.1:70000"_s} << false
                              << QString() << QString();
    QTest::newRow("host name") << QStringList{u"--data"_s, u"/d"_s, u"--listen"_s, u"example.com:80"_s} << false
                               << QString() << QString();
    QTest::newRow("unknown option") << QStringList{u"--data"_s, u"/d"_s, u"--fast"_s, u"1"_s} << false << QString()
                                    << QString();
    QTest::newRow("public host with a port") << QStringList{u"--data"_s, u"/d"_s, u"--public-host"_s, u"h:80"_s}
                                             << false << QString() << QString();
    QTest::newRow("add-account short") << QStringList{u"--data"_s, u"/d"_s, u"add-account"_s, u"n"_s} << false
                                       << QString() << QString();
}

void TestServerWire::options()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, valid);
    QFETCH(QString, site);
    QFETCH(QString, upload);
    const ParsedOptions parsed = parseOptions(QStringList{u"videosite"_s} + arguments);
    QCOMPARE(parsed.error.isEmpty(), valid);
    if (!valid)
        return;
    QCOMPARE(formatAddress(parsed.options.site.host, parsed.options.site.port), site);
    QCOMPARE(formatAddress(parsed.options.upload.host, parsed.options.upload.port), upload);
}

QTEST_GUILESS_MAIN(TestServerWire)
#include "tst_server_wire.moc"
