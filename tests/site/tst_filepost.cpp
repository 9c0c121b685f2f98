// The file post: its bytes, and the file read straight into it.
#include "site/filepost.h"

#include "uplark_config.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QByteArray UserAgent = "User-Agent: Uplark 1.0 (" + QByteArray(ConversionHost) + ")";

QByteArray lines(const QByteArrayList &list)
{
    return list.join("\r\n");
}

// The body as the upload server expects it, written out part by part.
QByteArray expectedBody(const FilePostFields &f, const QByteArray &quotedPath,
                        const QByteArray &file)
{
    QByteArrayList l{"--Xu02=$"};
    const auto full = [&l](const QByteArray &name, const QByteArray &value) {
        l << "Content-Disposition: form-data; name=\"" + name + '"' << "" << value << "--Xu02=$";
    };
    // No empty line and no value: the header line's end, then the line
    // break that starts the boundary line.
    const auto headerOnly = [&l](const QByteArray &name) {
        l << "Content-Disposition: form-data; name=\"" + name + '"' << "" << "--Xu02=$";
    };
    full("field_command", "myvideo_submit");
    full("field_myvideo_keywords", f.videotags);
    full("field_myvideo_title", f.videotitle);
    full("field_myvideo_descr", f.videodscr);
    full("field_myvideo_categories", f.videocat);
    full("language", "EN");
    full("field_privacy", "public");
    headerOnly("field_private_share_entities");
    full("addresser", f.addresser);
    full("contact", "");
    full("field_date_day", "0");
    full("field_date_yr", "0");
    full("field_date_mon", "0");
    full("location", "");
    full("allow_comments", "Yes");
    full("allow_comment_ratings", "Yes");
    full("allow_responses", "Yes");
    full("allow_embedding", "Yes");
    headerOnly("allow_offweb");
    full("allow_ratings", "Yes");
    full("allow_syndication", "Yes");
    l << "Content-Disposition: form-data; name=\"field_uploadfile\"; filename=" + quotedPath
      << "Content-Type: video/x-ms-wmv" << "" << file << "--Xu02=$--";
    return lines(l);
}

QByteArray expectedHeader(const QByteArray &host, qint64 length, const QByteArray &cookie)
{
    return lines({"POST /my_videos_post HTTP/1.1", "Accept: */*", UserAgent, "Host: " + host,
                  "Content-Type: multipart/form-data; boundary=Xu02=$",
                  "Content-Length: " + QByteArray::number(length), "Cookie: " + cookie,
                  "Connection: Keep-Alive", "", ""});
}

QByteArray fileOf(int size, unsigned seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 131u + seed) & 0xFF);
    return bytes;
}

} // namespace

class TestFilePost : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void bytes_data();
    void bytes();
    void emptyTextsExample();
    void headerOnlyParts();
    void readIntoItsPlace_data();
    void readIntoItsPlace();
    void unreadableFile_data();
    void unreadableFile();
};

void TestFilePost::bytes_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("title");
    QTest::newRow("ordinary texts, 1000 bytes") << fileOf(1000, 7) << QByteArray("My film");
    QTest::newRow("file with CR, LF, NUL and the boundary")
        << QByteArray("\r\n--Xu02=$\r\n\0\0\r--Xu02=$--\n\r\n", 27) << QByteArray("t");
    QTest::newRow("empty file") << QByteArray() << QByteArray("t");
    QTest::newRow("UTF-8 title") << fileOf(3, 1) << QByteArray("caf\xc3\xa9");
}

void TestFilePost::bytes()
{
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, title);
    FilePostFields fields{"tag1 tag2", title, "line one\r\nline two", "22", "addr77",
                          "LOGIN_INFO=c00kie"};
    URLParts target = SplitURL("http://up.example:8080/ignored/path?q=1");
    const QByteArray quoted = "\"/home/u/Videos/my clip.wmv\"";
    const QByteArray body = expectedBody(fields, quoted, file);
    const QByteArray request = BuildFilePost(file, target, quoted, fields);
    QCOMPARE(request, expectedHeader("up.example", body.size(), "LOGIN_INFO=c00kie") + body);
    // The formula of the body's length.
    QCOMPARE(body.size(), 1634 + fields.videotags.size() + fields.videotitle.size()
                              + fields.videodscr.size() + fields.videocat.size()
                              + fields.addresser.size() + quoted.size() + file.size());
    QVERIFY(request.endsWith(file + "\r\n--Xu02=$--"));
}

void TestFilePost::emptyTextsExample()
{
    const QByteArray quoted = "\"C:\\videos\\clip.wmv\"";
    QCOMPARE(quoted.size(), 20);
    const QByteArray file = fileOf(1000, 3);
    const QByteArray request = BuildFilePost(file, SplitURL("http://h/p"), quoted, {});
    const qsizetype bodyStart = request.indexOf("\r\n\r\n") + 4;
    QCOMPARE(request.size() - bodyStart, 2654);
    QVERIFY(request.contains("\r\nContent-Length: 2654\r\n"));
    QVERIFY(request.contains("\r\nCookie: \r\n"));
}

void TestFilePost::headerOnlyParts()
{
    const QByteArray request = BuildFilePost("x", SplitURL("http://h/p"), "\"f\"", {});
    QVERIFY(request.contains("name=\"field_private_share_entities\"\r\n\r\n--Xu02=$\r\n"));
    QVERIFY(request.contains("name=\"allow_offweb\"\r\n\r\n--Xu02=$\r\n"));
    QVERIFY(!request.contains("name=\"allow_offweb\"\r\n\r\n\r\n"));
    QVERIFY(request.contains("name=\"contact\"\r\n\r\n\r\n--Xu02=$\r\n"));
    QVERIFY(request.contains("name=\"location\"\r\n\r\n\r\n--Xu02=$\r\n"));
}

void TestFilePost::readIntoItsPlace_data()
{
    QTest::addColumn<int>("size");
    QTest::newRow("empty") << 0;
    QTest::newRow("small") << 1000;
    QTest::newRow("several MB") << 5 * 1024 * 1024 + 17;
}

void TestFilePost::readIntoItsPlace()
{
    QFETCH(int, size);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"clip é.wmv"_s);
    const QByteArray file = fileOf(size, 11);
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QCOMPARE(f.write(file), qint64(size));
    }
    const FilePostFields fields{"tags", "title", "dscr", "1", "addr", "LOGIN_INFO=x"};
    const URLParts target = SplitURL("http://up.example/p");
    QString error;
    const QByteArray request = ReadFilePost(path, target, fields, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(request, BuildFilePost(file, target, QuotedPath(path), fields));
    QVERIFY(request.contains("filename=\"" + QFile::encodeName(path) + "\"\r\n"));
    // Built in one buffer of its final size: nothing to spare.
    QCOMPARE(request.capacity(), request.size());
}

void TestFilePost::unreadableFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("folder");
    QTest::addColumn<QString>("expected");
    QTest::newRow("missing") << u"gone.wmv"_s << false << u"No such file or directory"_s;
    QTest::newRow("a folder") << u"folder.wmv"_s << true << u"is a directory"_s;
}

void TestFilePost::unreadableFile()
{
    QFETCH(QString, name);
    QFETCH(bool, folder);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    if (folder)
        QVERIFY(QDir(dir.path()).mkdir(name));
    QString error;
    const QByteArray request = ReadFilePost(path, SplitURL("http://h/p"), {}, &error);
    QVERIFY(request.isEmpty());
    QVERIFY2(error.contains(expected, Qt::CaseInsensitive), qPrintable(error));
}

QTEST_APPLESS_MAIN(TestFilePost)
#include "tst_filepost.moc"
