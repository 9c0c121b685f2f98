// The stand-in site's multipart parser fed the way the network delivers.
#include "sitekit.h"

#include "videosite/http/multipart.h"

#include <QTest>

#include <algorithm>

class TestVideositeParsing : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void multipart_data();
    void multipart();
};

void TestVideositeParsing::multipart_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("boundary");
    QTest::addColumn<int>("chunk");
    QTest::addColumn<int>("parts");             // -1: the body must be refused
    QTest::addColumn<QByteArrayList>("fields"); // name, value, name, value...
    QTest::addColumn<QByteArray>("file");

    // The addresser part comes right after a part that is a header line alone.
    const QByteArray file = SiteKit::trickyFile(3000) + "\r\n--Xu02=$--";
    const QByteArray post =
        SiteKit::filePost("LOGIN_INFO=x", "T123", file, "clip", "line one\r\nline two");
    for (int chunk : {1, 100000})
        QTest::addRow("file post, %d-byte pieces", chunk)
            << post.mid(post.indexOf("\r\n\r\n") + 4) << QByteArray("Xu02=$") << chunk << 22
            << QByteArrayList{"addresser", "T123", "field_myvideo_descr", "line one\r\nline two"}
            << file;
    QTest::newRow("browser: line break after the end") << QByteArray(
        "--a;b\r\nContent-Disposition: form-data; name=\"addresser\"\r\n\r\nT1\r\n--a;b\r\n"
        "content-disposition: form-data; name=\"f\"; filename=\"x.mp4\"\r\n\r\nDATA\r\n--a;b--\r\n")
                                                       << QByteArray("a;b") << 4 << 2
                                                       << QByteArrayList{"addresser", "T1"}
                                                       << QByteArray("DATA");
    // A header line alone is a field without value, even when it names a
    // file: the file part is the one that follows.
    for (const QByteArray &end : {QByteArray("\r\n"), QByteArray("\r\n\r\n")}) {
        for (int chunk : {1, 4096}) {
            QTest::addRow(
                "header line naming a file, %s, %d-byte pieces",
                end.size() == 2 ? "then the boundary" : "an empty line, then the boundary", chunk)
                << QByteArray(
                       "--B\r\nContent-Disposition: form-data; name=\"decoy\"; filename=\"a.txt\""
                       + end
                       + "--B\r\nContent-Disposition: form-data; name=\"f\"; "
                         "filename=\"x.mp4\"\r\n\r\n"
                         "DATA\r\n--B--")
                << QByteArray("B") << chunk << 2 << QByteArrayList{"decoy", ""}
                << QByteArray("DATA");
        }
    }
    // Blanks after a boundary count against the line's limit however the
    // body is cut.
    const QByteArray padded =
        "--B\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\nv\r\n--B" + QByteArray(300, ' ')
        + "\r\nContent-Disposition: form-data; name=\"b\"\r\n\r\nw\r\n--B--\r\n";
    for (int chunk : {1, 4096})
        QTest::addRow("300 blanks after a boundary, %d-byte pieces", chunk)
            << padded << QByteArray("B") << chunk << -1 << QByteArrayList() << QByteArray();
    QTest::newRow("no closing delimiter")
        << QByteArray("--Xu02=$\r\nContent-Disposition: form-data; name=\"f\"; "
                      "filename=\"x\"\r\n\r\nbytes\r\n--Xu02=$")
        << QByteArray("Xu02=$") << 1 << -1 << QByteArrayList() << QByteArray();
}

void TestVideositeParsing::multipart()
{
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, boundary);
    QFETCH(int, chunk);
    QFETCH(int, parts);
    QFETCH(QByteArrayList, fields);
    QFETCH(QByteArray, file);

    videosite::MultipartParser parser(boundary);
    bool fed = true;
    for (qsizetype at = 0; fed && at < body.size(); at += chunk)
        fed =
            parser.feed(QByteArrayView(body).sliced(at, qMin<qsizetype>(chunk, body.size() - at)));
    const bool complete = fed && parser.finish();
    QVERIFY2(complete == (parts >= 0), qPrintable(parser.errorString()));
    if (parts < 0)
        return;
    QCOMPARE(parser.parts().size(), parts);
    for (qsizetype i = 0; i + 1 < fields.size(); i += 2)
        QCOMPARE(parser.fieldValue(fields[i]), fields[i + 1]);
    QCOMPARE(parser.filePart() ? parser.filePart()->value : QByteArray(), file);
    const auto isFile = [](const videosite::MultipartPart &part) { return part.isFile; };
    QCOMPARE(std::count_if(parser.parts().begin(), parser.parts().end(), isFile),
             qsizetype(file.isNull() ? 0 : 1));
}

QTEST_GUILESS_MAIN(TestVideositeParsing)
#include "tst_videosite_parsing.moc"
