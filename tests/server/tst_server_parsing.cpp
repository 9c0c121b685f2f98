// The stand-in site's readers of what the uploader sends: the multipart parser
// fed the way the network delivers, and form decoding.
#include "sitekit.h"

#include "account/login.h"
#include "server/formencoding.h"
#include "server/multipart.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestServerParsing : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void multipart_data();
    void multipart();
    void formDecoding_data();
    void formDecoding();
};

void TestServerParsing::multipart_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("boundary");
    QTest::addColumn<int>("chunk");
    QTest::addColumn<int>("parts"); // -1: the body must be refused
    QTest::addColumn<QByteArray>("field");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QByteArray>("file");

    SiteKit::FilePost post;
    post.description = "line one\r\nline two";
    post.addresser = "TICKET123"; // right after a part that is a header line alone
    post.file = SiteKit::trickyFile(3000) + "\r\n--Xu02=$--";
    const QByteArray filePost = SiteKit::filePostBody(post);
    for (int chunk : {1, 2, 7, 1024})
        QTest::addRow("file post, %d-byte pieces", chunk)
            << filePost << QByteArray("Xu02=$") << chunk << 22 << QByteArray("addresser") << post.addresser
            << post.file;
    QTest::newRow("file post, two-line description")
        << filePost << QByteArray("Xu02=$") << 5 << 22 << QByteArray("field_myvideo_descr") << post.description
        << post.file;
    QTest::newRow("metadata form") << SiteKit::metadataBody() << QByteArray("Xu02=$") << 3 << 18
                                   << QByteArray("action_upload") << QByteArray("Upload a video...") << QByteArray();
    QTest::newRow("browser: quoted boundary, line break at the end")
        << QByteArray("--a;b\r\nContent-Disposition: form-data; name=\"addresser\"\r\n\r\nT1\r\n--a;b\r\n"
                      "content-disposition: form-data; name=\"f\"; filename=\"x.mp4\"\r\n\r\n"
                      "DATA\r\n--a;b\r\nMORE\r\n--a;b--\r\n")
        << QByteArray("a;b") << 4 << 2 << QByteArray("addresser") << QByteArray("T1")
        << QByteArray("DATA\r\n--a;b\r\nMORE");
    QTest::newRow("no closing delimiter")
        << QByteArray("--Xu02=$\r\nContent-Disposition: form-data; name=\"f\"; filename=\"x\"\r\n\r\nbytes\r\n--Xu02=$")
        << QByteArray("Xu02=$") << 1 << -1 << QByteArray() << QByteArray() << QByteArray();
    QTest::newRow("ends inside a field")
        << QByteArray("--Xu02=$\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\nx") << QByteArray("Xu02=$") << 1
        << -1 << QByteArray() << QByteArray() << QByteArray();
    QTest::newRow("other boundary") << filePost << QByteArray("Xu02=#") << 1024 << -1 << QByteArray() << QByteArray()
                                    << QByteArray();
}

void TestServerParsing::multipart()
{
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, boundary);
    QFETCH(int, chunk);
    QFETCH(int, parts);
    QFETCH(QByteArray, field);
    QFETCH(QByteArray, value);
    QFETCH(QByteArray, file);

    MultipartParser parser(boundary);
    bool fed = true;
    for (qsizetype at = 0; fed && at < body.size(); at += chunk)
        fed = parser.feed(QByteArrayView(body).sliced(at, qMin<qsizetype>(chunk, body.size() - at)));
    const bool complete = fed && parser.finish();
    QVERIFY2(complete == (parts >= 0), qPrintable(parser.errorString()));
    if (parts < 0)
        return;
    QCOMPARE(parser.parts().size(), parts);
    QCOMPARE(parser.fieldValue(field), value);
    QCOMPARE(parser.filePart() ? parser.filePart()->value : QByteArray(), file);
}

void TestServerParsing::formDecoding_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("field");
    QTest::addColumn<QByteArray>("value"); // null: the field is absent

    // The uploader's own encoding must come back as the typed bytes.
    const QByteArray login = LoginBody(u"Jos\u00e9 Q"_s, u"50% & a+b=c"_s);
    QTest::newRow("user name") << login << QByteArray("username") << QByteArray("Jos\xC3\xA9 Q");
    QTest::newRow("password") << login << QByteArray("password") << QByteArray("50% & a+b=c");
    QTest::newRow("escaped next") << login << QByteArray("next") << QByteArray("/my_account");
    QTest::newRow("raw utf-8") << QByteArray("username=Jos\xC3\xA9") << QByteArray("username")
                               << QByteArray("Jos\xC3\xA9");
    QTest::newRow("lone percent stays") << QByteArray("password=50%&x=1") << QByteArray("password")
                                        << QByteArray("50%");
    QTest::newRow("empty value") << QByteArray("username=&password=p") << QByteArray("username") << QByteArray("");
    QTest::newRow("absent") << QByteArray("password=p") << QByteArray("username") << QByteArray();
}

void TestServerParsing::formDecoding()
{
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, field);
    QFETCH(QByteArray, value);
    const QByteArray decoded = formValue(parseUrlEncoded(body), field);
    QCOMPARE(decoded, value);
    QCOMPARE(decoded.isNull(), value.isNull());
}

QTEST_GUILESS_MAIN(TestServerParsing)
#include "tst_server_parsing.moc"
