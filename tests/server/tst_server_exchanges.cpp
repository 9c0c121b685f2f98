// The uploader's four exchanges against a running videosite, over plain
// sockets, with the requests exactly as the uploader writes them. Every marker
// is looked for in the first piece of the answer, as the uploader does.
#include "clientwire.h"
#include "rawhttp.h"
#include "siteprocess.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTcpSocket>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QList<QByteArray> RejectionMarkers = {"You had too many", "Please check your",
                                            "Sorry, your login was incorrect."};

// A connection that has sent one request and read the first piece of the answer.
struct Exchange
{
    std::unique_ptr<QTcpSocket> socket = std::make_unique<QTcpSocket>();
    QByteArray piece;

    Exchange(quint16 port, const QByteArray &request)
    {
        socket->connectToHost(QHostAddress::LocalHost, port);
        if (socket->waitForConnected(5000)) {
            socket->write(request);
            if (socket->waitForReadyRead(30000))
                piece = socket->readAll();
        }
    }
    // Nothing more arrives: the CR LF pairs after the request get no answer of
    // their own (such as a 400), and the server keeps the connection open.
    bool quietAfterwards()
    {
        return !socket->waitForReadyRead(400) && socket->state() == QAbstractSocket::ConnectedState;
    }
};

QByteArray trickyFile()
{
    QByteArray file("\x00\x00\r\n--Xu02=$\r\n\r\n\x00--Xu02=$--\r\n", 28);
    for (int i = 0; i < 70000; ++i)
        file += char((i * 131 + 7) % 256);
    return file + "\r\n--Xu02=$--";
}

int storedFiles(const SiteProcess &site)
{
    return int(QDir(site.dataDir() + u"/videos"_s).entryList(QDir::Files).size());
}

} // namespace

class TestServerExchanges : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void loginAnswerCarriesTheCookie();
    void loginRejections_data();
    void loginRejections();
    void lockoutLastsItsWindow();
    void uploadPage_data();
    void uploadPage();
    void metadataAnswerCarriesTheUploadForm();
    void metadataWithoutSession_data();
    void metadataWithoutSession();
    void filePostStoresTheVideo();
    void refusedFilePosts_data();
    void refusedFilePosts();

private:
    SiteProcess m_site;
    QByteArray m_cookie;
};

void TestServerExchanges::initTestCase()
{
    // Short lock-out and ticket lifetimes so that both can run out here.
    QVERIFY2(m_site.start({u"--lockout-seconds"_s, u"3"_s, u"--ticket-lifetime"_s, u"2"_s}),
             qPrintable(m_site.errorString()));
    QVERIFY(m_site.addAccount(u"u"_s, u"p"_s));
    QVERIFY(m_site.addAccount(u"other"_s, u"pw2"_s));
    QVERIFY(m_site.addAccount(u"locked"_s, u"right"_s));
    m_cookie = UploadSteps::login(m_site, "u", "p");
    QVERIFY(!m_cookie.isEmpty());
}

void TestServerExchanges::cleanupTestCase()
{
    QVERIFY(m_site.stop());
}

void TestServerExchanges::loginAnswerCarriesTheCookie()
{
    const QByteArray request = ClientWire::loginRequest("u", "p");
    QVERIFY(request.contains("Content-Length: 83\r\n"));
    Exchange login(m_site.sitePort(), request);

    QVERIFY2(login.piece.contains("LOGIN_INFO="), login.piece.constData());
    for (const QByteArray &marker : RejectionMarkers)
        QVERIFY(!login.piece.contains(marker));
    // The first "LOGIN_INFO" is the one in the cookie line, and the value is
    // followed by "; path=/;".
    const qsizetype cookieLine = login.piece.indexOf("\r\nSet-Cookie: LOGIN_INFO=");
    QVERIFY(cookieLine > 0);
    QCOMPARE(login.piece.indexOf("LOGIN_INFO"), cookieLine + 14);
    const QByteArray cookie = ClientWire::loginCookie(login.piece);
    QVERIFY(login.piece.contains(cookie + "; path=/;"));
    QVERIFY(cookie.size() > 30);
    QVERIFY(!cookie.contains(' ') && !cookie.contains('\r') && !cookie.contains(';'));
    QVERIFY(login.piece.size() < 1024);
    QVERIFY(login.quietAfterwards());

    // The cookie is a live session.
    const QByteArray page = RawHttp::firstRead(m_site.sitePort(), ClientWire::uploadPageRequest(cookie));
    QVERIFY(!ClientWire::xsrfToken(page).isEmpty());
}

void TestServerExchanges::loginRejections_data()
{
    QTest::addColumn<QByteArray>("user");
    QTest::addColumn<QByteArray>("password");
    QTest::addColumn<QByteArray>("marker");
    QTest::newRow("wrong password") << QByteArray("other") << QByteArray("p") << RejectionMarkers.at(2);
    QTest::newRow("unknown user") << QByteArray("nobody") << QByteArray("p") << RejectionMarkers.at(2);
    QTest::newRow("user name in other case") << QByteArray("U") << QByteArray("p") << RejectionMarkers.at(2);
    QTest::newRow("empty user name") << QByteArray() << QByteArray("p") << RejectionMarkers.at(1);
    QTest::newRow("empty password") << QByteArray("u") << QByteArray() << RejectionMarkers.at(1);
    QTest::newRow("both empty") << QByteArray() << QByteArray() << RejectionMarkers.at(1);
}

void TestServerExchanges::loginRejections()
{
    QFETCH(QByteArray, user);
    QFETCH(QByteArray, password);
    QFETCH(QByteArray, marker);
    // A "next" path naming the cookie must not bring the name into the page.
    QByteArray request = ClientWire::loginRequest(user, password);
    request.replace("?next=/my_account", "?next=/LOGIN_INFO=x");
    Exchange login(m_site.sitePort(), request);
    QVERIFY2(login.piece.contains(marker), login.piece.constData());
    QVERIFY(!login.piece.contains("LOGIN_INFO"));
    for (const QByteArray &other : RejectionMarkers) {
        if (other != marker)
            QVERIFY(!login.piece.contains(other));
    }
    QVERIFY(login.quietAfterwards());
}

void TestServerExchanges::lockoutLastsItsWindow()
{
    const QByteArray tooMany = "You had too many login failures. Please wait before trying to login again.";
    for (int i = 0; i < 5; ++i) {
        const QByteArray piece = RawHttp::firstRead(m_site.sitePort(), ClientWire::loginRequest("locked", "wrong"));
        QVERIFY2(piece.contains("Sorry, your login was incorrect."), piece.constData());
    }
    QElapsedTimer sinceFifth;
    sinceFifth.start();
    // Locked for every attempt, the right password included.
    for (const QByteArray &password : {QByteArray("right"), QByteArray("wrong"), QByteArray("right")}) {
        const QByteArray piece = RawHttp::firstRead(m_site.sitePort(), ClientWire::loginRequest("locked", password));
        QVERIFY2(piece.contains(tooMany), piece.constData());
        QVERIFY(!piece.contains("LOGIN_INFO"));
    }
    // Other names are not affected.
    QVERIFY(!UploadSteps::login(m_site, "u", "p").isEmpty());

    QTest::qWait(int(qMax<qint64>(0, 3200 - sinceFifth.elapsed())));
    const QByteArray piece = RawHttp::firstRead(m_site.sitePort(), ClientWire::loginRequest("locked", "right"));
    QVERIFY2(piece.contains("LOGIN_INFO="), piece.constData());
}

void TestServerExchanges::uploadPage_data()
{
    QTest::addColumn<QByteArray>("cookie");
    QTest::addColumn<bool>("token");
    QTest::newRow("signed in") << QByteArray() << true;
    QTest::newRow("unknown session") << QByteArray("LOGIN_INFO=AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA") << false;
    QTest::newRow("empty cookie") << QByteArray("LOGIN_INFO=") << false;
    QTest::newRow("cookie without value") << QByteArray("LOGIN_INFO") << false;
}

void TestServerExchanges::uploadPage()
{
    QFETCH(QByteArray, cookie);
    QFETCH(bool, token);
    const QByteArray request = ClientWire::uploadPageRequest(cookie.isEmpty() ? m_cookie : cookie);
    QVERIFY(request.endsWith("Connection: Keep-Alive\r\n\r\n\r\n"));
    Exchange page(m_site.sitePort(), request);
    QVERIFY(!page.piece.isEmpty());
    if (token) {
        const QByteArray value = ClientWire::xsrfToken(page.piece);
        QVERIFY(value.size() >= 16);
        QVERIFY(page.piece.contains("var gXSRF_token = '" + value + "';"));
        QVERIFY(page.piece.indexOf("gXSRF_token") < 1024);
    } else {
        QVERIFY(!page.piece.contains("gXSRF_token"));
    }
    QVERIFY(page.quietAfterwards());
}

void TestServerExchanges::metadataAnswerCarriesTheUploadForm()
{
    const QByteArray request = ClientWire::metadataRequest(m_cookie);
    QVERIFY(request.contains("Content-Length: 1347\r\n"));
    Exchange form(m_site.sitePort(), request);

    const QByteArray ticket = ClientWire::addresser(form.piece);
    QVERIFY2(ticket.size() >= 16, form.piece.constData());
    QVERIFY(form.piece.contains("<input type=\"hidden\" name=\"addresser\" value=\"" + ticket + "\">"));
    // "addresser" occurs first in that input.
    QCOMPARE(form.piece.indexOf("addresser"), form.piece.indexOf("name=\"addresser\"") + 6);
    QCOMPARE(ClientWire::action(form.piece),
             "http://localhost:" + QByteArray::number(m_site.uploadPort()) + "/my_videos_post");
    QVERIFY(form.piece.size() < 4096);
    QVERIFY(form.quietAfterwards());

    // Each form gets its own ticket.
    const QByteArray again = UploadSteps::uploadForm(m_site, m_cookie).ticket;
    QVERIFY(!again.isEmpty());
    QVERIFY(again != ticket);
}

void TestServerExchanges::metadataWithoutSession_data()
{
    QTest::addColumn<QByteArray>("cookie");
    QTest::newRow("unknown session") << QByteArray("LOGIN_INFO=nope");
    QTest::newRow("another cookie") << QByteArray("PREF=1");
}

void TestServerExchanges::metadataWithoutSession()
{
    QFETCH(QByteArray, cookie);
    const QByteArray piece = RawHttp::firstRead(m_site.sitePort(), ClientWire::metadataRequest(cookie));
    QVERIFY(!piece.isEmpty());
    QVERIFY(!piece.contains("addresser"));
    QVERIFY(!piece.contains("multipart/form-data\" action=\""));
}

void TestServerExchanges::filePostStoresTheVideo()
{
    ClientWire::FilePost post;
    post.title = "Caf\xC3\xA9 <b>bold</b> & \"more\"";
    post.description = "first line\r\nsecond line";
    post.tags = "a,b,\xE2\x82\xAC";
    post.category = "27";
    post.file = trickyFile();
    post.addresser = UploadSteps::uploadForm(m_site, m_cookie).ticket;
    QVERIFY(!post.addresser.isEmpty());
    const QByteArray request = ClientWire::filePostRequest(post, m_cookie);
    QVERIFY(request.endsWith("\r\n--Xu02=$--"));

    const QByteArray piece = RawHttp::firstRead(m_site.uploadPort(), request);
    const QByteArray id = ClientWire::videoId(piece);
    QVERIFY2(!id.isEmpty(), piece.constData());
    QVERIFY(piece.contains("video_id=" + id + "&"));
    QVERIFY(piece.size() < 1024);

    const RawHttp::Answer file = RawHttp::get(m_site.sitePort(), "/videos/" + id);
    QCOMPARE(file.status, 200);
    QCOMPARE(file.body.size(), post.file.size());
    QVERIFY(file.body == post.file);

    const RawHttp::Answer watch = RawHttp::get(m_site.sitePort(), "/watch?v=" + id);
    QCOMPARE(watch.status, 200);
    QVERIFY(watch.body.contains("Caf\xC3\xA9 &lt;b&gt;bold&lt;/b&gt; &amp; &quot;more&quot;"));
    QVERIFY(watch.body.contains("first line\r\nsecond line"));
    QVERIFY(watch.body.contains("a,b,\xE2\x82\xAC"));
    QVERIFY(watch.body.contains("Education"));
    QVERIFY(watch.body.contains(">u<"));
}

void TestServerExchanges::refusedFilePosts_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("reused ticket") << u"reused"_s;
    QTest::newRow("another account's ticket") << u"foreign"_s;
    QTest::newRow("stale ticket") << u"stale"_s;
    QTest::newRow("made-up ticket") << u"made up"_s;
    QTest::newRow("no ticket") << u"none"_s;
    QTest::newRow("no session") << u"no session"_s;
}

void TestServerExchanges::refusedFilePosts()
{
    QFETCH(QString, kind);
    ClientWire::FilePost post;
    post.title = "refused";
    post.category = "22";
    post.file = trickyFile();
    QByteArray cookie = m_cookie;
    post.addresser = UploadSteps::uploadForm(m_site, m_cookie).ticket;
    QVERIFY(!post.addresser.isEmpty());

    if (kind == u"reused"_s) {
        QVERIFY(!ClientWire::videoId(UploadSteps::post(m_site, post, cookie)).isEmpty());
    } else if (kind == u"foreign"_s) {
        const QByteArray otherCookie = UploadSteps::login(m_site, "other", "pw2");
        post.addresser = UploadSteps::uploadForm(m_site, otherCookie).ticket;
    } else if (kind == u"stale"_s) {
        QTest::qWait(3100); // tickets live 2 s here
    } else if (kind == u"made up"_s) {
        post.addresser = QByteArray(32, 'A');
    } else if (kind == u"none"_s) {
        post.addresser.clear();
    } else if (kind == u"no session"_s) {
        cookie = "LOGIN_INFO=AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA";
    }
    const int filesBefore = storedFiles(m_site);

    const QByteArray piece = UploadSteps::post(m_site, post, cookie);
    QVERIFY2(piece.startsWith("HTTP/1.1 403 "), piece.constData());
    QVERIFY(!piece.contains("video_id="));
    QCOMPARE(storedFiles(m_site), filesBefore);
}

QTEST_GUILESS_MAIN(TestServerExchanges)
#include "tst_server_exchanges.moc"
