// How videosite holds up: several uploads at once, a body over the cap, and a
// kill in the middle of an upload.
#include "sitekit.h"
#include "siteprocess.h"

#include <QDir>
#include <QSet>
#include <QTcpSocket>
#include <QTest>

#include <algorithm>
#include <array>

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 Cap = 101 * 1024 * 1024;

QFileInfoList videoFiles(const SiteProcess &site)
{
    return QDir(site.dataDir() + u"/videos"_s).entryInfoList(QDir::Files);
}

} // namespace

class TestServerRobustness : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void fourUploadsAtOnce();
    void bodyOverTheCap_data();
    void bodyOverTheCap();
    void killedMidUpload();

private:
    SiteProcess m_site;
    QByteArray m_cookie;
};

void TestServerRobustness::initTestCase()
{
    QVERIFY2(m_site.start(), qPrintable(m_site.errorString()));
    QVERIFY(m_site.addAccount(u"ann"_s, u"pw"_s));
    m_cookie = SiteKit::login(m_site, u"ann"_s, u"pw"_s);
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
        QTcpSocket socket;
        QByteArray piece;
    };
    std::array<Upload, 4> uploads;
    for (int i = 0; i < 4; ++i) {
        Upload &upload = uploads[i];
        upload.file = SiteKit::trickyFile(3 * 1024 * 1024 + i * 1001, i);
        const QByteArray ticket = SiteKit::ticket(m_site, m_cookie);
        QVERIFY(!ticket.isEmpty());
        connect(&upload.socket, &QTcpSocket::readyRead, this,
                [&upload] { upload.piece += upload.socket.readAll(); });
        upload.socket.connectToHost(QHostAddress::LocalHost, m_site.uploadPort());
        upload.socket.write(SiteKit::filePost(m_cookie, ticket, upload.file));
    }
    const auto answered = [&uploads] {
        return std::all_of(uploads.begin(), uploads.end(),
                           [](const Upload &u) { return !u.piece.isEmpty(); });
    };
    QTRY_VERIFY_WITH_TIMEOUT(answered(), 60000);

    QSet<QByteArray> ids;
    for (const Upload &upload : uploads) {
        const QByteArray id = SiteKit::videoId(upload.piece);
        QVERIFY2(!id.isEmpty(), upload.piece.constData());
        ids.insert(id);
        const SiteKit::Answer stored = SiteKit::get(m_site.sitePort(), "/videos/" + id);
        QVERIFY(stored.body == upload.file);
    }
    QCOMPARE(ids.size(), 4);
}

void TestServerRobustness::bodyOverTheCap_data()
{
    QTest::addColumn<qint64>("length");
    QTest::newRow("at the cap: waits for the body") << Cap;
    QTest::newRow("one byte over: refused") << Cap + 1;
}

void TestServerRobustness::bodyOverTheCap()
{
    QFETCH(qint64, length);
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, m_site.uploadPort());
    QVERIFY(socket.waitForConnected(5000));
    socket.write(
        "POST /my_videos_post HTTP/1.1\r\nHost: localhost\r\nContent-Type: multipart/form-data; "
        "boundary=Xu02=$\r\nContent-Length: "
        + QByteArray::number(length) + "\r\nCookie: " + m_cookie
        + "\r\n\r\n--Xu02=$\r\nContent-Disposition: form-data; name=\"field_myvideo_descr\"\r\n\r\n"
        + QByteArray(64 * 1024, 'x'));
    if (length <= Cap) {
        QVERIFY(!socket.waitForReadyRead(500));
        QCOMPARE(socket.state(), QAbstractSocket::ConnectedState);
        return;
    }
    // The answer comes before the body, and the server stops reading long
    // before the body is in.
    QVERIFY(socket.waitForReadyRead(10000));
    const QByteArray piece = socket.readAll();
    QVERIFY2(piece.startsWith("HTTP/1.1 413 "), piece.constData());
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
    for (const QFileInfo &file : videoFiles(m_site))
        QVERIFY(file.suffix() != u"part"_s);
}

void TestServerRobustness::killedMidUpload()
{
    SiteProcess site;
    QVERIFY2(site.start(), qPrintable(site.errorString()));
    QVERIFY(site.addAccount(u"kim"_s, u"pw"_s));
    const QByteArray cookie = SiteKit::login(site, u"kim"_s, u"pw"_s);
    const QByteArray post = SiteKit::filePost(cookie, SiteKit::ticket(site, cookie),
                                              SiteKit::trickyFile(20 * 1024 * 1024), "interrupted");

    // Half the file is sent; the server is writing it when it is killed.
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, site.uploadPort());
    QVERIFY(socket.waitForConnected(5000));
    socket.write(post.left(10 * 1024 * 1024));
    QTRY_VERIFY_WITH_TIMEOUT(
        !videoFiles(site).isEmpty() && videoFiles(site).first().size() > 1024 * 1024, 20000);
    site.kill();
    QVERIFY2(site.start(), qPrintable(site.errorString()));
    const SiteKit::Answer home = SiteKit::get(site.sitePort(), "/");
    QCOMPARE(home.status, 200);
    QVERIFY(!home.body.contains("interrupted"));
    QCOMPARE(videoFiles(site).size(), 0);
}

QTEST_GUILESS_MAIN(TestServerRobustness)
#include "tst_server_robustness.moc"
