// The file post streamed from disk through the connection: the same bytes as
// the request built whole in memory, and a file that changes its length while
// it goes out cuts the request off instead of completing it wrongly.
#include "site/filepost.h"

#include "site/connection.h"
#include "site/routes.h"
#include "site/uploadtarget.h"

#include <QFile>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace uplark;

namespace {

const URLParts Target = SplitURL("http://up.example:8080/my_videos_post");
const FilePostFields Fields{"tag1 tag2", "My clip", "one\r\ntwo",
                            "22",        "addr77",  "LOGIN_INFO=c00kie"};

// Bytes that show a slice out of place or repeated.
QByteArray Pattern(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char((i * 7 + i / 251) % 256);
    return bytes;
}

// A local server that takes one connection and keeps what it received.
struct Peer : QObject
{
    Peer()
    {
        QVERIFY(server.listen(QHostAddress::LocalHost, 0));
        connect(&server, &QTcpServer::newConnection, this, [this] {
            socket = server.nextPendingConnection();
            connect(socket, &QTcpSocket::readyRead, this,
                    [this] { received += socket->readAll(); });
            connect(socket, &QTcpSocket::disconnected, this, [this] { closed = true; });
        });
    }

    // Content-Length of the received request and how much of its body came.
    qint64 declared() const
    {
        const qsizetype at = received.indexOf("\r\nContent-Length: ");
        return at < 0 ? -1 : received.mid(at + 18, 20).split('\r').value(0).toLongLong();
    }
    qint64 bodyReceived() const
    {
        const qsizetype end = received.indexOf("\r\n\r\n");
        return end < 0 ? -1 : received.size() - (end + 4);
    }

    QTcpServer server;
    QTcpSocket *socket = nullptr;
    QByteArray received;
    bool closed = false;
};

} // namespace

class TestFilePost : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void streamedEqualsWhole_data();
    void streamedEqualsWhole();
    void unopenableFileIsRefused();
    void changedWhileSent_data();
    void changedWhileSent();

private:
    QTemporaryDir m_dir;
    RouteTable m_routes;
};

void TestFilePost::streamedEqualsWhole_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("quotedPath");
    QTest::addColumn<bool>("emptyTexts");
    QTest::addColumn<qint64>("contentLength"); // -1: not checked
    const qsizetype slice = qsizetype(TcpConnection::SliceSize);
    // All texts empty, a quoted path of 20 characters, 1000 bytes of file.
    QTest::newRow("worked example")
        << Pattern(1000) << QByteArray("\"/videos/clip01.wmv\"") << true << qint64(2654);
    QTest::newRow("empty file") << QByteArray() << QByteArray("\"/v/empty.wmv\"") << false
                                << qint64(-1);
    QTest::newRow("CR, LF, NUL and the boundary")
        << QByteArray("\r\n--Xu02=$\r\n\0\0\r--Xu02=$--\n\r\n\0", 28)
        << QByteArray("\"/v/clip.wmv\"") << false << qint64(-1);
    QTest::newRow("one byte below a slice")
        << Pattern(slice - 1) << QByteArray("\"/v/a.wmv\"") << false << qint64(-1);
    QTest::newRow("exactly a slice")
        << Pattern(slice) << QByteArray("\"/v/a.wmv\"") << false << qint64(-1);
    QTest::newRow("one byte above a slice")
        << Pattern(slice + 1) << QByteArray("\"/v/a.wmv\"") << false << qint64(-1);
    QTest::newRow("several slices and a tail")
        << Pattern(5 * slice + 777) << QByteArray("\"/v/a.wmv\"") << false << qint64(-1);
}

void TestFilePost::streamedEqualsWhole()
{
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, quotedPath);
    QFETCH(bool, emptyTexts);
    QFETCH(qint64, contentLength);
    const QString path = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()));
    {
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(file) == file.size());
    }
    const FilePostFields fields =
        emptyTexts ? FilePostFields{{}, {}, {}, {}, {}, "LOGIN_INFO=x"} : Fields;
    const QByteArray whole = BuildFilePost(file, Target, quotedPath, fields);
    if (contentLength >= 0)
        QVERIFY(
            whole.contains("\r\nContent-Length: " + QByteArray::number(contentLength) + "\r\n"));

    QString error;
    std::unique_ptr<FilePostSource> post =
        FilePostSource::open(path, quotedPath, Target, fields, &error);
    QVERIFY2(post, qPrintable(error));
    QCOMPARE(post->fileSize(), qint64(file.size()));
    QCOMPARE(post->size(), qint64(whole.size()));

    // On the wire, through the connection's slices.
    Peer peer;
    m_routes.add(u"up.example"_s, 8080, u"127.0.0.1"_s, peer.server.serverPort());
    TcpConnection connection(m_routes);
    qint64 progressTotal = 0;
    bool addsUp = true; // at every event, sent so far + remaining = the whole request
    connect(&connection, &TcpConnection::sendProgress, this, [&](qint64 sent, qint64 remaining) {
        progressTotal += sent;
        addsUp = addsUp && progressTotal + remaining == whole.size();
    });
    connect(&connection, &TcpConnection::connected, this,
            [&] { connection.send(std::move(post)); });
    QSignalSpy errors(&connection, &TcpConnection::failed);
    connection.connectTo(u"up.example"_s, 8080);
    QTRY_COMPARE_WITH_TIMEOUT(peer.received.size(), whole.size(), 20000);
    QVERIFY(peer.received == whole);
    QTRY_COMPARE(progressTotal, qint64(whole.size()));
    QVERIFY(addsUp);
    QCOMPARE(errors.size(), 0);
}

void TestFilePost::unopenableFileIsRefused()
{
    QString error;
    QVERIFY(
        !FilePostSource::open(m_dir.filePath(u"missing.wmv"_s), "\"x\"", Target, Fields, &error));
    QVERIFY2(error.contains(u"No such file"_s), qPrintable(error));
}

void TestFilePost::changedWhileSent_data()
{
    QTest::addColumn<qint64>("newSize"); // the file's length once the send is under way
    QTest::addColumn<QString>("message");
    const qint64 size = 16 * TcpConnection::SliceSize;
    QTest::newRow("truncated") << size / 2 << u"shorter"_s;
    QTest::newRow("truncated to nothing") << qint64(0) << u"shorter"_s;
    QTest::newRow("extended by a byte") << size + 1 << u"longer"_s;
    QTest::newRow("doubled") << 2 * size << u"longer"_s;
}

void TestFilePost::changedWhileSent()
{
    QFETCH(qint64, newSize);
    QFETCH(QString, message);
    const QByteArray file = Pattern(16 * TcpConnection::SliceSize);
    const QString path = m_dir.filePath(u"changing.wmv"_s);
    {
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate)
                && out.write(file) == file.size());
    }
    const QByteArray whole = BuildFilePost(file, Target, "\"/v/c.wmv\"", Fields);
    QString error;
    std::unique_ptr<FilePostSource> post =
        FilePostSource::open(path, "\"/v/c.wmv\"", Target, Fields, &error);
    QVERIFY2(post, qPrintable(error));

    Peer peer;
    TcpConnection connection(m_routes);
    // Once the first bytes have gone out (two slices at most have been read),
    // the file changes its length.
    bool changed = false;
    connect(&connection, &TcpConnection::sendProgress, this, [&] {
        if (!changed)
            QVERIFY(QFile::resize(path, newSize));
        changed = true;
    });
    connect(&connection, &TcpConnection::connected, this,
            [&] { connection.send(std::move(post)); });
    QSignalSpy errors(&connection, &TcpConnection::failed);
    connection.connectTo(u"127.0.0.1"_s, peer.server.serverPort());
    QTRY_COMPARE_WITH_TIMEOUT(errors.size(), 1, 20000);
    QCOMPARE(errors.at(0).at(0).toInt(), TcpConnection::SourceFailed);
    QVERIFY2(errors.at(0).at(1).toString().contains(message),
             qPrintable(errors.at(0).at(1).toString()));
    QVERIFY(!connection.isConnected());

    // The peer sees the request end before its declared length: what came is
    // the start of the right request, never a body of another length.
    QTRY_VERIFY(peer.closed);
    QCOMPARE(peer.declared(), qint64(whole.size() - whole.indexOf("\r\n\r\n") - 4));
    QVERIFY(peer.bodyReceived() >= 0);
    QVERIFY2(peer.bodyReceived() < peer.declared(),
             qPrintable(QString::number(peer.bodyReceived())));
    QVERIFY(whole.startsWith(peer.received));
    QCOMPARE(errors.size(), 1);
}

QTEST_GUILESS_MAIN(TestFilePost)
#include "tst_filepost.moc"
