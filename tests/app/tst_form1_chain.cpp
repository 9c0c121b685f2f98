// The main window's upload chain against a scripted site in this process.
#include "app/form1.h"

#include "account/login.h"
#include "doubles.h"
#include "fakesite.h"
#include "platform/widgets.h"
#include "site/filepost.h"
#include "site/metadataform.h"
#include "site/uploadpage.h"
#include "site/winsock.h"

#include "uplark_config.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString SiteHostText = QString::fromLatin1(SiteHost);

// The main window with an account, a file to upload and the fake site.
struct Rig
{
    explicit Rig(qsizetype fileSize = 300 * 1024, bool realPause = false)
    {
        QVERIFY(site.start());
        site.route(t.platform.routes);
        t.setSetting(u"check1"_s, u"1"_s);
        t.setSetting(u"un"_s, u"user"_s);
        t.setSetting(u"pw"_s, u"secret"_s);
        bytes = QByteArray(fileSize, 'v');
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == fileSize);
        f = std::make_unique<Form1>(t.platform);
        // The pause before the post is timed in the whole chain; elsewhere it is cut short.
        if (!realPause)
            f->Timer3->setInterval(20);
        f->show();
    }

    // What choosing the file and confirming the video information leave behind.
    void startChain()
    {
        f->fname = path;
        f->Text1->setVisible(true);
        f->Picture9->setVisible(false);
        f->Picture11->setVisible(true);
        f->Picture10->setVisible(false);
        f->Picture8->setVisible(false);
        f->Label12->setVisible(true);
        f->videotitle = "My clip";
        f->videodscr = "line one\r\nline two";
        f->videotags = "tag1 tag2";
        f->videocat = "22";
        f->Winsock1->Connect(SiteHostText, SitePort);
    }

    bool allClosed() const
    {
        return !f->Winsock1->isConnected() && !f->Winsock2->isConnected()
               && !f->Winsock3->isConnected() && !f->Winsock4->isConnected();
    }

    // File chosen: "UPLOAD!" and the red X back; the banner, Cancel and the figures gone,
    // no post pending.
    bool fileChosen() const
    {
        return allClosed() && !f->Timer3->isActive() && !f->Picture10->isHidden()
               && !f->Picture8->isHidden() && !f->Text1->isHidden() && f->Picture9->isHidden()
               && f->Picture11->isHidden() && f->Label12->isHidden() && f->Label6->isHidden()
               && f->Label9->isHidden() && f->Label11->isHidden() && f->ProgressBar1->isHidden();
    }

    TestPlatform t;
    FakeSite site;
    QTemporaryDir dir;
    QString path = dir.filePath(u"clip.wmv"_s);
    QByteArray bytes;
    std::unique_ptr<Form1> f;
};

} // namespace

class TestForm1Chain : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void wholeChain();
    void chainEnds_data();
    void chainEnds();
    void chainStops_data();
    void chainStops();
};

void TestForm1Chain::wholeChain()
{
    // Figures with separators that differ from the C locale's.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    Rig r(3000000, true);
    Form1 &f = *r.f;
    // An upload address without a port means port 80.
    r.t.platform.routes.add(u"upload.invalid"_s, 80, u"127.0.0.1"_s, r.site.uploadPort());
    // Answers in several chunks: markers repeated in later chunks change nothing.
    r.site.scripts[FakeSite::Login].pieces = {
        "HTTP/1.1 200 OK\r\nSet-Cookie: LOGIN_INFO=first; path=/;\r\n\r\n",
        "Set-Cookie: LOGIN_INFO=again; path=/;\r\n", "Sorry, your login was incorrect."};
    r.site.scripts[FakeSite::UploadPage].pieces = {
        "x.gXSRF_token = 'partial';", "var gXSRF_token = 'first';", "var gXSRF_token = 'again';"};
    const QByteArray form =
        "<form enctype=\"multipart/form-data\" action=\"http://upload.invalid/p%1\" name=\"f\">";
    r.site.scripts[FakeSite::MetadataForm].pieces = {
        "<input name=\"addresser\" value=\"addrA\">", QByteArray(form).replace("%1", "1"),
        QByteArray(form).replace("%1", "2") + "<input name=\"addresser\" value=\"addrB\">"};
    r.site.scripts[FakeSite::FilePost].pieces = {"video_id=vid42&", "<p>no id</p>", "video_id=x&"};

    QElapsedTimer clock;
    clock.start();
    r.startChain();
    QTRY_VERIFY_WITH_TIMEOUT(f.Timer3->isActive(), 10000);
    QCOMPARE(f.Label9->text(), u"0 Kb uploaded so far, remaining 2.930 Kb"_s);
    QCOMPARE(f.Label6->text(), u"Uploading 2,86 MB video 'clip.wmv'"_s);
    // The post waits a second after the upload form.
    QTRY_VERIFY_WITH_TIMEOUT(!f.Timer3->isActive(), 5000);
    QVERIFY2(clock.elapsed() >= 950, qPrintable(QString::number(clock.elapsed())));
    QTRY_VERIFY_WITH_TIMEOUT(f.text6.endsWith("video_id=x&"), 15000);
    const QString address = u"http://"_s + SiteHostText + u"/watch?v=vid42"_s;
    QCOMPARE(f.Text4->selectedText(), address);
    QCOMPARE(f.Picture11->pictureText(), u"Video successfully uploaded."_s);
    QVERIFY(!f.Picture18->isHidden() && !f.Picture23->isHidden());
    QCOMPARE(f.sessiontoken, QByteArray("first"));
    QCOMPARE(f.action, QByteArray("http://upload.invalid/p1"));
    QCOMPARE(r.site.uploadConnections, 1);
    // Every request byte for byte, as the site received it.
    const QByteArray cookie = "LOGIN_INFO=first";
    QCOMPARE(r.site.received[FakeSite::Login], LoginRequest(SiteHost, u"user"_s, u"secret"_s));
    QCOMPARE(r.site.received[FakeSite::UploadPage], UploadPageRequest(SiteHost, cookie));
    QCOMPARE(r.site.received[FakeSite::MetadataForm], MetadataRequest(SiteHost, cookie));
    const QByteArray quoted = '"' + QFile::encodeName(r.path) + '"';
    QVERIFY(r.site.received[FakeSite::FilePost]
            == BuildFilePost(r.bytes, SplitURL(f.action), quoted,
                             {"tag1 tag2", "My clip", "line one\r\nline two", "22", "addrA",
                              cookie}));
    // All out: the figures gone.
    QVERIFY(f.ProgressBar1->isHidden() && f.Label9->isHidden() && f.Label12->isHidden());

    // Copy, the browser icon and the terms link.
    QTest::mouseClick(f.Picture22->hotspot(), Qt::LeftButton);
    QCOMPARE(r.t.desktop.clipboard, address);
    QCOMPARE(r.t.messages.texts(),
             QStringList{u"Your video URL has been copied to your memory."_s});
    QTest::mouseClick(f.Picture20->hotspot(), Qt::LeftButton);
    QTest::mouseClick(f.Label13, Qt::LeftButton);
    QCOMPARE(r.t.desktop.opened,
             (QStringList{address, u"http://"_s + SiteHostText + u"/t/terms"_s}));

    // Upload New: no file, every connection closed.
    QTest::mouseClick(f.Picture23->hotspot(), Qt::LeftButton);
    QVERIFY(f.Picture18->isHidden() && f.Picture23->isHidden() && f.Picture11->isHidden());
    QVERIFY(!f.Picture9->isHidden() && f.Text1->isHidden() && f.Picture10->isHidden());
    QVERIFY(r.allClosed());

    QVERIFY(r.t.messages.shown.size() == 1 && r.t.endRequests == 0);
}

void TestForm1Chain::chainEnds_data()
{
    QTest::addColumn<QString>("stage");
    QTest::addColumn<int>("reached"); // requests the site saw, upload connections included
    QTest::newRow("Cancel during the login") << u"cancel login"_s << 1;
    QTest::newRow("Cancel in the pause before the post") << u"cancel pause"_s << 3;
    QTest::newRow("Cancel while the upload server is reached") << u"cancel wait"_s << 3;
    QTest::newRow("Cancel during the send") << u"cancel send"_s << 4;
    QTest::newRow("Winsock1 error: site refused") << u"refuse site"_s << 0;
    QTest::newRow("Winsock3 error: refused after the login") << u"refuse site"_s << 1;
    QTest::newRow("Winsock4 error: refused after the page") << u"refuse site"_s << 2;
    QTest::newRow("Winsock2 error: upload port refused") << u"refuse upload"_s << 3;
    QTest::newRow("Winsock2 error: dropped mid-send") << u"drop send"_s << 4;
}

void TestForm1Chain::chainEnds()
{
    QFETCH(QString, stage);
    QFETCH(int, reached);
    const bool error = !stage.startsWith(u"cancel"_s);
    Rig r(stage.endsWith(u"send"_s) ? 16 * 1024 * 1024 : 300 * 1024);
    Form1 &f = *r.f;
    bool cancelled = false;
    const auto cancel = [&] {
        QTest::mouseClick(f.Label12, Qt::LeftButton);
        cancelled = true;
    };
    bool closedAtError = false;
    r.t.messages.onShow = [&](auto &) { closedAtError = r.allClosed(); };
    if (stage == u"cancel login") {
        // The cookie would come in a later chunk.
        r.site.scripts[FakeSite::Login].pieces.prepend("HTTP/1.1 200 OK\r\n");
        connect(&r.site, &FakeSite::requestComplete, &f, cancel, Qt::QueuedConnection);
    } else if (stage == u"cancel pause") {
        connect(f.Winsock4, &Winsock::dataArrival, this, cancel);
    } else if (stage == u"cancel wait") {
        // The click comes while the timer's tick waits for the upload server.
        QVERIFY(r.site.hangUploads(r.t.platform.routes));
        connect(f.Winsock4, &Winsock::dataArrival, [&] { QTimer::singleShot(200, &f, cancel); });
    } else if (stage == u"cancel send") {
        r.site.scripts[FakeSite::FilePost].silent = true;
        connect(f.Winsock2, &Winsock::sendProgress, this, cancel);
    } else if (stage == u"refuse site") {
        // Refused once the site has seen `reached` requests.
        const auto refuse = [&] {
            if (r.site.complete[FakeSite::Login] + r.site.complete[FakeSite::UploadPage] == reached)
                r.site.refuseSite();
        };
        refuse();
        connect(&r.site, &FakeSite::requestComplete, this, refuse);
    } else if (stage == u"refuse upload") {
        r.site.refuseUploads();
    } else {
        connect(f.Winsock2, &Winsock::sendProgress, &r.site, &FakeSite::resetUpload);
    }

    r.startChain();
    QTRY_VERIFY_WITH_TIMEOUT(cancelled || !r.t.messages.shown.isEmpty(), 15000);
    // The connections are closed before the message.
    QCOMPARE(closedAtError, error);
    QVERIFY(r.fileChosen());
    // Nothing is sent later (bytes already on their way may still land).
    QTest::qWait(200);
    const qsizetype received = r.site.received[FakeSite::FilePost].size();
    QTest::qWait(300);
    QCOMPARE(r.site.received[FakeSite::FilePost].size(), received);
    QCOMPARE(r.site.complete[FakeSite::Login] + r.site.complete[FakeSite::UploadPage]
                 + r.site.complete[FakeSite::MetadataForm] + r.site.uploadConnections,
             reached);
    QCOMPARE(r.t.messages.texts(), error ? QStringList{u"Connection error!"_s} : QStringList());
}

void TestForm1Chain::chainStops_data()
{
    QTest::addColumn<int>("step"); // whose answer is replaced; -1: the file is gone instead
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("title");
    QTest::newRow("upload address without a host")
        << int(FakeSite::MetadataForm)
        << QByteArray("<form enctype=\"multipart/form-data\" action=\"/post\" name=\"f\">")
        << u"Invalid Host"_s << u"ERROR"_s;
    QTest::newRow("file unreadable for the post")
        << -1 << QByteArray() << u"No such file"_s << u"ERROR"_s;
    QTest::newRow("first answer chunk without video_id")
        << int(FakeSite::FilePost) << QByteArray("HTTP/1.1 200 OK\r\n\r\nVIDEO_ID=abc&")
        << u"An error occured. Please re-run the program."_s << u"Uplark"_s;
}

void TestForm1Chain::chainStops()
{
    QFETCH(int, step);
    QFETCH(QByteArray, answer);
    QFETCH(QString, message);
    Rig r;
    if (step >= 0)
        r.site.scripts[step].pieces = {answer};
    else
        QVERIFY(QFile::remove(r.path));
    r.startChain();
    QTRY_COMPARE_WITH_TIMEOUT(r.t.messages.shown.size(), 1, 10000);
    QVERIFY2(r.t.messages.shown[0].text.contains(message), qPrintable(r.t.messages.shown[0].text));
    QTEST(r.t.messages.shown[0].title, "title");
    // One message; only an answer without video_id follows a post, and it ends the program.
    QTest::qWait(200);
    QCOMPARE(r.t.messages.shown.size(), 1);
    QCOMPARE(r.site.uploadConnections, step == FakeSite::FilePost ? 1 : 0);
    QCOMPARE(r.t.endRequests, step == FakeSite::FilePost ? 1 : 0);
    QVERIFY(r.f->Picture18->isHidden());
    if (step < 0)
        QVERIFY(r.fileChosen());
}

QTEST_MAIN(TestForm1Chain)
#include "tst_form1_chain.moc"
