// How videosite holds up: several uploads at once, a kill in the middle of an
// upload, stop signals, bodies over the cap, idle and malformed connections.
#include "clientwire.h"
#include "rawhttp.h"
#include "siteprocess.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTcpSocket>
#include <QTest>

#include <csignal>

using namespace Qt::StringLiterals;

namespace {

QByteArray randomVideo(quint32 seed, int size)
{
    QRandomGenerator generator(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    generator.fillRange(reinterpret_cast<quint32 *>(bytes.data()), size / 4);
    // Structure a careless parser would trip over, in several places.
    for (int at : {0, size / 3, size / 2, size - 64})
        bytes.replace(at, 28, QByteArray("\r\n--Xu02=$\r\n\x00\r\n--Xu02=$--\r\n\r\n", 28));
    return bytes;
}

QByteArray sha256(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
}

QStringList filesIn(const SiteProcess &site)
{
    return QDir(site.dataDir() + u"/videos"_s).entryList(QDir::Files);
}

qint64 partialUploadSize(const SiteProcess &site)
{
    const QFileInfoList files =
        QDir(site.dataDir() + u"/videos"_s).entryInfoList({u"*.part"_s}, QDir::Files);
    return files.isEmpty() ? -1 : files.first().size();
}

int videoRows(const QString &dataDir)
{
    int count = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"check"_s);
        db.setDatabaseName(dataDir + u"/videosite.sqlite"_s);
        if (db.open()) {
            QSqlQuery query(u"SELECT COUNT(*) FROM videos"_s, db);
            if (query.next())
                count = query.value(0).toInt();
        }
    }
    QSqlDatabase::removeDatabase(u"check"_s);
    return count;
}

// Starts a file post of `size` bytes of video and sends only `sent` bytes of it.
std::unique_ptr<QTcpSocket> startUpload(const SiteProcess &site, const QByteArray &cookie, int size, int sent)
{
    ClientWire::FilePost post;
    post.title = "interrupted";
    post.category = "1";
    post.addresser = UploadSteps::uploadForm(site, cookie).ticket;
    post.file = randomVideo(7, size);
    const QByteArray request = ClientWire::filePostRequest(post, cookie);
    auto socket = std::make_unique<QTcpSocket>();
    socket->connectToHost(QHostAddress::LocalHost, site.uploadPort());
    if (!socket->waitForConnected(5000))
        return nullptr;
    socket->write(request.left(sent));
    while (socket->bytesToWrite() > 0 && socket->waitForBytesWritten(5000)) {
    }
    return socket;
}

} // namespace

class TestServerRobustness : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void fourUploadsAtOnce();
    void bodyOverTheCapIsRefusedUnread_data();
    void bodyOverTheCapIsRefusedUnread();
    void malformedRequests_data();
    void malformedRequests();
    void pipelinedRequestsAreAnsweredInOrder();
    void idleConnectionsAreClosed_data();
    void idleConnectionsAreClosed();
    void killDuringUploadLeavesNothing();
    void stopSignalsEndCleanly_data();
    void stopSignalsEndCleanly();

private:
    SiteProcess m_site;
    QByteArray m_cookie;
};

void TestServerRobustness::initTestCase()
{
    QVERIFY2(m_site.start(), qPrintable(m_site.errorString()));
    QVERIFY(m_site.addAccount(u"ann"_s, u"pw"_s));
    m_cookie = UploadSteps::login(m_site, "ann", "pw");
    QVERIFY(!m_cookie.isEmpty());
}

void TestServerRobustness::cleanupTestCase()
{
    QVERIFY(m_site.stop());
}

void TestServerRobustness::fourUploadsAtOnce()
{
    struct Upload
    {
        QByteArray file;
        std::unique_ptr<QTcpSocket> socket;
        QByteArray piece;
    };
    std::vector<Upload> uploads(4);
    for (int i = 0; i < 4; ++i) {
        Upload &upload = uploads[i];
        upload.file = randomVideo(quint32(100 + i), 3 * 1024 * 1024 + i * 1001);
        ClientWire::FilePost post;
        post.title = "parallel " + QByteArray::number(i);
        post.category = "10";
        post.file = upload.file;
        post.addresser = UploadSteps::uploadForm(m_site, m_cookie).ticket;
        QVERIFY(!post.addresser.isEmpty());
        upload.socket = std::make_unique<QTcpSocket>();
        QTcpSocket *socket = upload.socket.get();
        connect(socket, &QTcpSocket::readyRead, socket, [&upload] {
            if (upload.piece.isEmpty())
                upload.piece = upload.socket->readAll();
        });
        const QByteArray request = ClientWire::filePostRequest(post, m_cookie);
        connect(socket, &QTcpSocket::connected, socket, [socket, request] { socket->write(request); });
        socket->connectToHost(QHostAddress::LocalHost, m_site.uploadPort());
    }
    QTRY_VERIFY_WITH_TIMEOUT(std::all_of(uploads.begin(), uploads.end(),
                                         [](const Upload &upload) { return !upload.piece.isEmpty(); }),
                             60000);

    QSet<QByteArray> ids;
    for (const Upload &upload : uploads) {
        const QByteArray id = ClientWire::videoId(upload.piece);
        QVERIFY2(!id.isEmpty(), upload.piece.constData());
        ids.insert(id);
        const RawHttp::Answer stored = RawHttp::get(m_site.sitePort(), "/videos/" + id);
        QCOMPARE(stored.status, 200);
        QCOMPARE(stored.body.size(), upload.file.size());
        QCOMPARE(sha256(stored.body), sha256(upload.file));
    }
    QCOMPARE(ids.size(), 4);
}

void TestServerRobustness::bodyOverTheCapIsRefusedUnread_data()
{
    QTest::addColumn<qint64>("length");
    QTest::addColumn<bool>("refused");
    QTest::newRow("at the cap") << qint64(101) * 1024 * 1024 << false;
    QTest::newRow("one byte over") << qint64(101) * 1024 * 1024 + 1 << true;
    QTest::newRow("300 MiB") << qint64(300) * 1024 * 1024 << true;
}

void TestServerRobustness::bodyOverTheCapIsRefusedUnread()
{
    QFETCH(qint64, length);
    QFETCH(bool, refused);
    const QByteArray head = "POST /my_videos_post HTTP/1.1\r\nHost: localhost\r\n"
                            "Content-Type: multipart/form-data; boundary=Xu02=$\r\n"
                            "Content-Length: " + QByteArray::number(length) + "\r\nCookie: " + m_cookie + "\r\n\r\n";
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, m_site.uploadPort());
    QVERIFY(socket.waitForConnected(5000));
    socket.write(head + "--Xu02=$\r\nContent-Disposition: form-data; name=\"field_myvideo_descr\"\r\n\r\n"
                 + QByteArray(64 * 1024, 'x'));
    if (!refused) {
        // The server waits for the rest of the body.
        QVERIFY(!socket.waitForReadyRead(500));
        QCOMPARE(socket.state(), QAbstractSocket::ConnectedState);
        return;
    }
    QVERIFY(socket.waitForReadyRead(10000));
    const QByteArray piece = socket.readAll();
    QVERIFY2(piece.startsWith("HTTP/1.1 413 "), piece.constData());

    // Keep sending: the server drops the connection long before the body is in.
    const QByteArray chunk(1024 * 1024, 'y');
    qint64 sent = 0;
    while (socket.state() == QAbstractSocket::ConnectedState && sent < 64 * 1024 * 1024) {
        socket.write(chunk);
        sent += chunk.size();
        if (!socket.waitForBytesWritten(5000))
            break;
    }
    QTRY_COMPARE_WITH_TIMEOUT(socket.state(), QAbstractSocket::UnconnectedState, 10000);
    QVERIFY2(sent < 64 * 1024 * 1024, "the server kept reading the refused body");
    QCOMPARE(partialUploadSize(m_site), -1);
    QCOMPARE(RawHttp::get(m_site.sitePort(), "/").status, 200);
}

void TestServerRobustness::malformedRequests_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("status");
    QTest::newRow("not HTTP") << QByteArray("hello there\r\n\r\n") << QByteArray("400");
    QTest::newRow("HTTP/2.0") << QByteArray("GET / HTTP/2.0\r\n\r\n") << QByteArray("505");
    QTest::newRow("chunked body") << QByteArray("POST /conversions/str.asp HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n")
                                  << QByteArray("411");
    QTest::newRow("huge head") << "GET / HTTP/1.1\r\nX: " + QByteArray(40000, 'h') + "\r\n\r\n" << QByteArray("431");
    QTest::newRow("site body over 1 MiB")
        << QByteArray("POST /conversions/str.asp HTTP/1.1\r\nContent-Length: 2000000\r\n\r\n") << QByteArray("413");
    QTest::newRow("wrong method") << QByteArray("DELETE /watch HTTP/1.1\r\n\r\n") << QByteArray("405");
    QTest::newRow("file post without a length")
        << "POST /my_videos_post HTTP/1.1\r\nCookie: " + QByteArray("x=1") + "\r\n\r\n" << QByteArray("411");
}

void TestServerRobustness::malformedRequests()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, status);
    const quint16 port = request.contains("/my_videos_post") ? m_site.uploadPort() : m_site.sitePort();
    const QByteArray piece = RawHttp::firstRead(port, request);
    QVERIFY2(piece.startsWith("HTTP/1.1 " + status + ' '), piece.left(200).constData());
    QCOMPARE(RawHttp::get(m_site.sitePort(), "/t/terms").status, 200);
}

void TestServerRobustness::pipelinedRequestsAreAnsweredInOrder()
{
    const QByteArray body = "title=a&dscr=b&tags=c";
    const QByteArray requests = "GET /t/terms HTTP/1.1\r\nHost: x\r\n\r\n"
                                "POST /conversions/str.asp HTTP/1.1\r\nContent-Length: "
                                + QByteArray::number(body.size()) + "\r\n\r\n" + body
                                + "\r\n\r\nGET /nothing HTTP/1.1\r\nConnection: close\r\n\r\n";
    const RawHttp::Answer answers = RawHttp::fetch(m_site.sitePort(), requests);
    const QByteArray wire = answers.head + "\r\n\r\n" + answers.body;
    const qsizetype first = wire.indexOf("HTTP/1.1 200 ");
    const qsizetype second = wire.indexOf("<TITLE>a</TITLE>");
    const qsizetype third = wire.indexOf("HTTP/1.1 404 ");
    QVERIFY(first == 0);
    QVERIFY(second > first);
    QVERIFY(third > second);
    QCOMPARE(wire.count("HTTP/1.1 "), 3);
}

void TestServerRobustness::idleConnectionsAreClosed_data()
{
    QTest::addColumn<QByteArray>("sent");
    QTest::newRow("nothing sent") << QByteArray();
    QTest::newRow("after a kept-alive answer") << QByteArray("GET /t/terms HTTP/1.1\r\nHost: x\r\n\r\n");
    QTest::newRow("in the middle of a head") << QByteArray("GET /t/terms HTTP/1.1\r\nHo");
    QTest::newRow("in the middle of a body") << QByteArray("POST /conversions/str.asp HTTP/1.1\r\nContent-Length: 10\r\n\r\nabc");
}

void TestServerRobustness::idleConnectionsAreClosed()
{
    QFETCH(QByteArray, sent);
    SiteProcess site;
    QVERIFY2(site.start({u"--idle-timeout"_s, u"1"_s}), qPrintable(site.errorString()));
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, site.sitePort());
    QVERIFY(socket.waitForConnected(5000));
    QElapsedTimer timer;
    timer.start();
    socket.write(sent);
    socket.waitForBytesWritten(1000);
    // Whatever the server answers, it then closes the connection by itself.
    while (socket.state() == QAbstractSocket::ConnectedState && timer.elapsed() < 10000) {
        socket.waitForReadyRead(200);
        socket.readAll();
    }
    QCOMPARE(socket.state(), QAbstractSocket::UnconnectedState);
    QVERIFY(timer.elapsed() >= 900);
    QVERIFY(timer.elapsed() < 5000);
    QVERIFY(site.stop());
}

void TestServerRobustness::killDuringUploadLeavesNothing()
{
    SiteProcess site;
    QVERIFY2(site.start(), qPrintable(site.errorString()));
    QVERIFY(site.addAccount(u"kim"_s, u"pw"_s));
    const QByteArray cookie = UploadSteps::login(site, "kim", "pw");
    QVERIFY(!cookie.isEmpty());

    const auto socket = startUpload(site, cookie, 20 * 1024 * 1024, 8 * 1024 * 1024);
    QVERIFY(socket);
    // The server is writing the file when it is killed.
    QTRY_VERIFY_WITH_TIMEOUT(partialUploadSize(site) > 1024 * 1024, 20000);
    site.kill();
    QCOMPARE(videoRows(site.dataDir()), 0);

    QVERIFY2(site.start(), qPrintable(site.errorString()));
    QCOMPARE(filesIn(site), QStringList());
    QCOMPARE(videoRows(site.dataDir()), 0);
    const RawHttp::Answer home = RawHttp::get(site.sitePort(), "/");
    QVERIFY(home.body.contains("No videos yet."));
    QVERIFY(site.stop());
}

void TestServerRobustness::stopSignalsEndCleanly_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
}

void TestServerRobustness::stopSignalsEndCleanly()
{
    QFETCH(int, signalNumber);
    SiteProcess site;
    QVERIFY2(site.start(), qPrintable(site.errorString()));
    QVERIFY(site.addAccount(u"sam"_s, u"pw"_s));
    const QByteArray cookie = UploadSteps::login(site, "sam", "pw");
    QVERIFY(!cookie.isEmpty());
    // An idle connection and an upload half way through.
    QTcpSocket idle;
    idle.connectToHost(QHostAddress::LocalHost, site.sitePort());
    QVERIFY(idle.waitForConnected(5000));
    const auto upload = startUpload(site, cookie, 4 * 1024 * 1024, 2 * 1024 * 1024);
    QVERIFY(upload);
    QTRY_VERIFY_WITH_TIMEOUT(partialUploadSize(site) > 0, 20000);

    ::kill(pid_t(site.process().processId()), signalNumber);
    QVERIFY(site.process().waitForFinished(15000));
    QCOMPARE(site.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(site.process().exitCode(), 0);
    // The unfinished upload was dropped on the way out.
    QCOMPARE(filesIn(site), QStringList());
    QCOMPARE(videoRows(site.dataDir()), 0);
}

QTEST_GUILESS_MAIN(TestServerRobustness)
#include "tst_server_robustness.moc"
