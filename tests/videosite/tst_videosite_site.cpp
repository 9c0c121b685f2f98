// The uploader's exchanges with a running videosite over plain sockets, with
// its own requests; every marker is looked for in the first piece of the
// answer, as the uploader does. Then the pages and the conversion service,
// and how the site holds up: a body over the cap, a kill in the middle of an
// upload.
#include "sitekit.h"
#include "siteprocess.h"

#include "engine/protocol/login.h"
#include "engine/protocol/metadataform.h"
#include "engine/protocol/uploadpage.h"
#include "uplark_config.h"
#include "engine/protocol/textconversion.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTest>

#include <optional>

using namespace Qt::StringLiterals;
using namespace uplark;

constexpr int TicketSeconds = 3;
constexpr qint64 Cap = 101 * 1024 * 1024;

static QFileInfoList storedFiles(const SiteProcess &site)
{
    return QDir(site.dataDir() + u"/videos"_s).entryInfoList(QDir::Files);
}

class TestVideositeSite : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase() { QVERIFY(m_site.stop()); } // SIGTERM: exit code 0
    void uploaderExchanges_data();
    void uploaderExchanges();
    void loginRefusals();
    void bodyOverTheCap();
    void killedMidUpload();
    void refusedFilePosts_data();
    void refusedFilePosts();
    void videoPages();
    void conversion();

private:
    SiteProcess m_site;
    QByteArray m_cookie;
    QByteArray m_staleTicket;
    QElapsedTimer m_sinceStaleTicket;
    QByteArray m_id;
    QByteArray m_file = SiteKit::trickyFile(200000);
};

void TestVideositeSite::initTestCase()
{
    QVERIFY2(m_site.start({u"--ticket-lifetime"_s, QString::number(TicketSeconds)}),
             qPrintable(m_site.errorString()));
    // A name and a password that need every kind of form escaping.
    QVERIFY(m_site.addAccount(u"Jos\u00e9 Q"_s, u"50% & a+b=c"_s));
    QVERIFY(m_site.addAccount(u"other"_s, u"pw2"_s));
    QVERIFY(m_site.addAccount(u"locked"_s, u"right"_s));
    m_cookie = SiteKit::login(m_site, u"Jos\u00e9 Q"_s, u"50% & a+b=c"_s);
    QVERIFY(!m_cookie.isEmpty());
    // Goes stale while the tests before refusedFilePosts run.
    m_staleTicket = SiteKit::ticket(m_site, m_cookie);
    m_sinceStaleTicket.start();

    const QByteArray post = SiteKit::filePost(m_cookie, SiteKit::ticket(m_site, m_cookie), m_file,
                                              "<script>alert(\"x\")</script> & caf\xC3\xA9");
    m_id = SiteKit::videoId(SiteKit::firstRead(m_site.uploadPort(), post));
    QVERIFY(!m_id.isEmpty());
}

void TestVideositeSite::uploaderExchanges_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArrayList>("markers");
    QTest::newRow("login") << loginRequest(SiteHost, u"other"_s, u"pw2"_s)
                           << QByteArrayList{"\r\nSet-Cookie: LOGIN_INFO="};
    QTest::newRow("upload page") << uploadPageRequest(SiteHost, m_cookie)
                                 << QByteArrayList{"var gXSRF_token = '"};
    const QByteArray action =
        "http://localhost:" + QByteArray::number(m_site.uploadPort()) + "/my_videos_post";
    QTest::newRow("metadata form")
        << metadataRequest(SiteHost, m_cookie)
        << QByteArrayList{"name=\"addresser\" value=\"",
                          "multipart/form-data\" action=\"" + action + "\" name="};
}

void TestVideositeSite::uploaderExchanges()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArrayList, markers);
    QVERIFY(request.endsWith("\r\n\r\n")); // CR LF pairs that the head and Content-Length leave out
    const auto socket = SiteKit::connectTo(m_site.sitePort());
    QVERIFY(socket && socket->write(request) && socket->waitForReadyRead(30000));
    const QByteArray piece = socket->readAll();
    for (const QByteArray &marker : markers)
        QVERIFY2(piece.contains(marker), piece.constData());
    // The CR LF pairs after the request get no answer of their own, and the
    // connection stays open.
    QVERIFY(!socket->waitForReadyRead(300));
    QCOMPARE(socket->state(), QAbstractSocket::ConnectedState);
}

void TestVideositeSite::loginRefusals()
{
    // The page must not echo the cookie's name, not even from the next path.
    const auto attempt = [this](const QString &user, const QString &password) {
        const QByteArray piece = SiteKit::firstRead(
            m_site.sitePort(), loginRequest(SiteHost, user, password)
                                   .replace("?next=/my_account", "?next=/LOGIN_INFO"));
        return piece.contains("LOGIN_INFO") ? std::nullopt : std::optional(scanLoginAnswer(piece));
    };
    QVERIFY(attempt(u"other"_s, QString()) == LoginOutcome::CheckYour);
    // The lock's page; when and for whom it holds is the login rules' own test.
    for (int i = 0; i < 5; ++i)
        QVERIFY(attempt(u"locked"_s, u"wrong"_s) == LoginOutcome::Incorrect);
    QVERIFY(attempt(u"locked"_s, u"right"_s) == LoginOutcome::TooManyFailures);
}

void TestVideositeSite::bodyOverTheCap()
{
    // A head announcing one byte over the cap is refused.
    const auto socket = SiteKit::connectTo(m_site.uploadPort());
    QVERIFY(socket);
    socket->write(SiteKit::post(
        "/my_videos_post", Cap + 1,
        "--Xu02=$\r\nContent-Disposition: form-data; name=\"field_myvideo_descr\"\r\n\r\n"
            + QByteArray(64 * 1024, 'x'),
        "Content-Type: multipart/form-data; boundary=Xu02=$\r\nCookie: " + m_cookie + "\r\n"));
    // The answer comes before the body, and the server stops reading long
    // before the body is in.
    QVERIFY(socket->waitForReadyRead(10000));
    const QByteArray piece = socket->readAll();
    QVERIFY2(piece.startsWith("HTTP/1.1 413 "), piece.constData());
    const QByteArray chunk(1024 * 1024, 'y');
    qint64 sent = 0;
    while (socket->state() == QAbstractSocket::ConnectedState && sent < 64 * 1024 * 1024
           && socket->write(chunk) && socket->waitForBytesWritten(5000))
        sent += chunk.size();
    QTRY_COMPARE_WITH_TIMEOUT(socket->state(), QAbstractSocket::UnconnectedState, 10000);
    QVERIFY2(sent < 64 * 1024 * 1024, "the server kept reading the refused body");
    for (const QFileInfo &file : storedFiles(m_site))
        QVERIFY(file.suffix() != u"part"_s);
}

void TestVideositeSite::killedMidUpload()
{
    SiteProcess site;
    QVERIFY2(site.start(), qPrintable(site.errorString()));
    QVERIFY(site.addAccount(u"kim"_s, u"pw"_s));
    const QByteArray cookie = SiteKit::login(site, u"kim"_s, u"pw"_s);
    const QByteArray post = SiteKit::filePost(cookie, SiteKit::ticket(site, cookie),
                                              SiteKit::trickyFile(20 * 1024 * 1024), "interrupted");

    // Half the file is sent; the server is writing it when it is killed.
    const auto socket = SiteKit::connectTo(site.uploadPort());
    QVERIFY(socket && socket->write(post.left(10 * 1024 * 1024)));
    QTRY_VERIFY_WITH_TIMEOUT(storedFiles(site).value(0).size() > 1024 * 1024, 20000);
    site.kill();
    QVERIFY2(site.start(), qPrintable(site.errorString()));
    const SiteKit::Answer home = SiteKit::get(site.sitePort(), "/");
    QCOMPARE(home.status, 200);
    QVERIFY(!home.body.contains("interrupted"));
    QVERIFY(storedFiles(site).isEmpty());
}

void TestVideositeSite::refusedFilePosts_data()
{
    QTest::addColumn<QString>("kind");
    for (const QString &kind : {u"stale"_s, u"another account's"_s, u"no session"_s})
        QTest::newRow(qPrintable(kind)) << kind;
}

void TestVideositeSite::refusedFilePosts()
{
    QFETCH(QString, kind);
    QByteArray cookie = m_cookie;
    QByteArray addresser = SiteKit::ticket(m_site, m_cookie);
    const QByteArray file = SiteKit::trickyFile(5000);
    if (kind == u"stale"_s) {
        QTest::qWait(
            int(qMax<qint64>(0, (TicketSeconds + 1) * 1000 + 100 - m_sinceStaleTicket.elapsed())));
        addresser = m_staleTicket;
    } else if (kind == u"another account's"_s) {
        addresser = SiteKit::ticket(m_site, SiteKit::login(m_site, u"other"_s, u"pw2"_s));
    } else {
        cookie = "LOGIN_INFO=AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA";
    }
    QVERIFY(!addresser.isEmpty());
    const qsizetype filesBefore = storedFiles(m_site).size();
    const QByteArray piece =
        SiteKit::firstRead(m_site.uploadPort(), SiteKit::filePost(cookie, addresser, file));
    QVERIFY2(piece.startsWith("HTTP/1.1 403 "), piece.constData());
    QVERIFY(!piece.contains("video_id="));
    QCOMPARE(storedFiles(m_site).size(), filesBefore);
}

void TestVideositeSite::videoPages()
{
    // The watch page escapes the title; the video comes whole or in a range.
    const SiteKit::Answer page = SiteKit::get(m_site.sitePort(), "/watch?v=" + m_id);
    QCOMPARE(page.status, 200);
    QVERIFY(
        page.body.contains("&lt;script&gt;alert(&quot;x&quot;)&lt;/script&gt; &amp; caf\xC3\xA9"));
    QVERIFY(!page.body.contains("<script>alert"));
    const QByteArray path = "/videos/" + m_id;
    QVERIFY(SiteKit::get(m_site.sitePort(), path).body == m_file);
    const SiteKit::Answer part =
        SiteKit::get(m_site.sitePort(), path, "Range: bytes=1000-70999\r\n");
    QCOMPARE(part.status, 206);
    QVERIFY(part.head.contains("\r\nContent-Range: bytes 1000-70999/"
                               + QByteArray::number(m_file.size())));
    QVERIFY(part.body == m_file.mid(1000, 70000));
}

void TestVideositeSite::conversion()
{
    // The body exactly as the uploader prepares it; the texts with line
    // breaks and UTF-8 go through the site in the end-to-end tests.
    const QString title = u"50% off & more"_s;
    const QByteArray body = conversionBody(encodePlaceholders(title), QString(), u"x"_s);
    const SiteKit::Answer reply = SiteKit::fetch(
        m_site.sitePort(), SiteKit::post(ConversionPath, body.size(), body,
                                         "Content-Type: " + QByteArray(ConversionContentType)
                                             + "\r\nConnection: close\r\n"));
    QCOMPARE(reply.status, 200);
    QCOMPARE(reply.body,
             QByteArray("<TITLE>50[_ULK-PERCENT_][_ULK-SPACE_]off[_ULK-SPACE_][_ULK-AMP_]"
                        "[_ULK-SPACE_]more</TITLE><DSCR></DSCR><TAGS>x</TAGS>"));
    QCOMPARE(readConversionAnswer(reply.body).title, title.toUtf8());
}

QTEST_GUILESS_MAIN(TestVideositeSite)
#include "tst_videosite_site.moc"
