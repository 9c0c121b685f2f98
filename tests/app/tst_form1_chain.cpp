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

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString SiteHostText = QString::fromLatin1(SiteHost);
const QString ConnectionError = u"Connection error!"_s;

QByteArray fileOf(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char((i * 7 + i / 251) & 0xFF);
    return bytes;
}

// The main window with an account, a chosen file and the fake site.
struct Rig
{
    explicit Rig(qsizetype fileSize = 300 * 1024)
    {
        QVERIFY(site.start());
        site.route(t.platform.routes);
        t.setSetting(u"check1"_s, u"1"_s);
        t.setSetting(u"un"_s, u"user"_s);
        t.setSetting(u"pw"_s, u"secret"_s);
        path = dir.filePath(u"clip.wmv"_s);
        bytes = fileOf(fileSize);
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(bytes), qint64(bytes.size()));
        file.close();
        f = std::make_unique<Form1>(t.platform);
        f->show();
        chooseFile();
    }

    // File chosen, as the file selection leaves the window.
    void chooseFile()
    {
        f->fname = path;
        f->Label20 = u"clip.wmv"_s;
        f->Picture9->setVisible(false);
        f->Text1->setVisible(true);
        f->Picture10->setVisible(true);
        f->Picture8->setVisible(true);
    }

    // What the video information dialog does when the user confirms it.
    void startChain()
    {
        f->Picture11->setPicture(f->Picture15);
        f->Picture11->setVisible(true);
        f->Picture10->setVisible(false);
        f->Picture9->setVisible(false);
        f->Picture8->setVisible(false);
        f->Label12->setVisible(true);
        f->videotitle = "My clip";
        f->videodscr = "line one\r\nline two";
        f->videotags = "tag1 tag2";
        f->videocat = "22";
        f->Winsock1->Connect(SiteHostText, SitePort);
    }

    FilePostFields fields() const
    {
        return {f->videotags, f->videotitle, f->videodscr, f->videocat, f->addresser,
                f->logininfo};
    }

    bool allClosed() const
    {
        return !f->Winsock1->isConnected() && !f->Winsock2->isConnected()
               && !f->Winsock3->isConnected() && !f->Winsock4->isConnected();
    }

    TestPlatform t;
    FakeSite site;
    QTemporaryDir dir;
    QString path;
    QByteArray bytes;
    std::unique_ptr<Form1> f;
};

// File chosen after Cancel: the banner and the upload figures gone,
// "UPLOAD!" and the red X back.
bool fileChosen(const Form1 &f)
{
    return f.Picture11->isHidden() && !f.Picture10->isHidden() && !f.Picture8->isHidden()
           && f.Label12->isHidden() && f.Label6->isHidden() && f.Label9->isHidden()
           && f.Label11->isHidden() && f.Picture9->isHidden() && !f.Text1->isHidden();
}

} // namespace

class TestForm1Chain : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void wholeChainTwice();
    void rejectedAccount_data();
    void rejectedAccount();
    void cancelDuringEachStep_data();
    void cancelDuringEachStep();
    void connectionErrors_data();
    void connectionErrors();
    void invalidHost();
    void uploadPortDefaultsTo80();
    void fileUnreadableForThePost();
    void repeatedMarkersChangeNothing();
    void laterChunksAfterTheResult();
    void answerWithoutVideoIdEndsTheProgram();
    void fileGoneWhileSending();
    void openBrowser_data();
    void openBrowser();
};

void TestForm1Chain::initTestCase()
{
    // Figures with a thousands separator that differs from the C locale's.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
}

void TestForm1Chain::cleanupTestCase()
{
    QLocale::setDefault(QLocale::c());
}

void TestForm1Chain::wholeChainTwice()
{
    Rig r(3000000);
    Form1 &f = *r.f;
    QApplication::setActiveWindow(&f);
    QVERIFY(QTest::qWaitForWindowActive(&f));

    // Progress lines as the user sees them, event by event.
    QStringList progressLines;
    QList<int> bars;
    connect(f.Winsock2, &Winsock::sendProgress, this, [&] {
        progressLines.append(f.Label9->text());
        bars.append(f.ProgressBar1->value());
    });

    r.startChain();
    QTRY_VERIFY_WITH_TIMEOUT(f.Timer3->isActive(), 10000);
    // The upload form has been read: figures and banner of the upload.
    QCOMPARE(f.logininfo, QByteArray("LOGIN_INFO=fakecookie42"));
    QCOMPARE(f.sessiontoken, QByteArray("tok123"));
    QCOMPARE(f.addresser, QByteArray("addr77"));
    QCOMPARE(f.action, QByteArray("http://upload.invalid:8080/my_videos_post"));
    QCOMPARE(f.Label9->text(), u"0 Kb uploaded so far, remaining 2.930 Kb"_s);
    QCOMPARE(f.Label6->text(), u"Uploading 2,86 MB video 'clip.wmv'"_s);
    QCOMPARE(f.Label6->width(), f.Label6->sizeHint().width());
    QCOMPARE(f.Picture11->pictureText(), u"Uploading... Please wait"_s);
    for (QWidget *w : {(QWidget *)f.Label6, (QWidget *)f.Label9, (QWidget *)f.Label11,
                       (QWidget *)f.ProgressBar1, (QWidget *)f.Label12})
        QVERIFY2(!w->isHidden(), qPrintable(w->objectName()));

    QTRY_VERIFY_WITH_TIMEOUT(!f.Picture18->isHidden(), 15000);
    const QString address = u"http://"_s + SiteHostText + u"/watch?v=vid42"_s;
    QCOMPARE(f.Label18, address);
    QCOMPARE(f.Text4->text(), address);
    QCOMPARE(f.Text4->maxLength(), address.size());
    QCOMPARE(f.Text4->selectedText(), address);
    QTRY_VERIFY(f.Text4->hasFocus());
    QVERIFY(!f.Picture23->isHidden());
    QCOMPARE(f.Picture11->pictureText(), u"Video successfully uploaded."_s);
    QVERIFY(f.text6.contains("video_id=vid42&status=ok"));
    QVERIFY(f.Text3.contains("LOGIN_INFO=fakecookie42"));

    // The bytes of every request, as the site received them.
    QCOMPARE(r.site.received[FakeSite::Login], LoginRequest(SiteHost, u"user"_s, u"secret"_s));
    QCOMPARE(r.site.received[FakeSite::UploadPage],
             UploadPageRequest(SiteHost, "LOGIN_INFO=fakecookie42"));
    QCOMPARE(r.site.received[FakeSite::MetadataForm],
             MetadataRequest(SiteHost, "LOGIN_INFO=fakecookie42"));
    const QByteArray post =
        BuildFilePost(r.bytes, SplitURL(f.action), QuotedPath(r.path), r.fields());
    QVERIFY(r.site.received[FakeSite::FilePost] == post);
    QCOMPARE(qint64(f.bytessent), qint64(post.size()));

    // The finished look, with the last line in plain digits.
    QVERIFY(!progressLines.isEmpty());
    QCOMPARE(progressLines.last(), u"2930 Kb uploaded so far, remaining 0 Kb"_s);
    QCOMPARE(f.ProgressBar1->value(), 100);
    for (QWidget *w : {(QWidget *)f.Label6, (QWidget *)f.Label9, (QWidget *)f.Label11,
                       (QWidget *)f.ProgressBar1, (QWidget *)f.Label12})
        QVERIFY2(w->isHidden(), qPrintable(w->objectName()));
    const QRegularExpression grouped(
        uR"(^\d{1,3}(\.\d{3})* Kb uploaded so far, remaining \d{1,3}(\.\d{3})* Kb$)"_s);
    bool separatorSeen = false;
    for (qsizetype i = 0; i + 1 < progressLines.size(); ++i) {
        if (progressLines[i] == progressLines.last())
            continue; // finished events repeat the last line
        QVERIFY2(grouped.match(progressLines[i]).hasMatch(), qPrintable(progressLines[i]));
        separatorSeen = separatorSeen || progressLines[i].contains(u'.');
        QVERIFY(bars[i] <= 100);
        if (i > 0)
            QVERIFY(bars[i] >= bars[i - 1]);
    }
    QVERIFY(separatorSeen);
    QVERIFY(r.t.messages.shown.isEmpty());

    // The address box gives back any edit; copy puts exactly the address on
    // the clipboard; the browser icon opens it.
    f.Text4->setText(u"typed"_s);
    QCOMPARE(f.Text4->text(), address);
    f.Text4->deselect();
    QTest::mouseClick(f.Text4, Qt::LeftButton, {}, QPoint(5, 5));
    QTRY_COMPARE(f.Text4->selectedText(), address);
    QTest::mouseClick(f.Picture22->hotspot(), Qt::LeftButton);
    QCOMPARE(r.t.desktop.clipboard, address);
    QCOMPARE(r.t.desktop.clears, 1);
    QCOMPARE(r.t.messages.shown.size(), 1);
    QCOMPARE(r.t.messages.shown[0].text, u"Your video URL has been copied to your memory."_s);
    QCOMPARE(r.t.messages.shown[0].icon, MsgIcon::Information);
    QTest::mouseClick(f.Picture20->hotspot(), Qt::LeftButton);
    QCOMPARE(r.t.desktop.opened, QStringList{address});

    // Upload New: Idle, no file, every connection closed.
    QTest::mouseClick(f.Picture23->hotspot(), Qt::LeftButton);
    QVERIFY(f.Picture18->isHidden());
    QVERIFY(f.Picture23->isHidden());
    QVERIFY(!f.Picture9->isHidden());
    QVERIFY(f.Text1->isHidden());
    QVERIFY(f.Picture10->isHidden());
    QVERIFY(f.Picture11->isHidden());
    QVERIFY(r.allClosed());
    QVERIFY(!f.uploadconnected);

    // A second upload in the same run, with new answers from the site.
    r.site.scripts[FakeSite::Login].pieces = {
        "HTTP/1.1 200 OK\r\nSet-Cookie: LOGIN_INFO=second99; path=/; HttpOnly\r\n\r\n"};
    r.site.scripts[FakeSite::UploadPage].pieces = {"var gXSRF_token = 'tok456';"};
    r.site.scripts[FakeSite::FilePost].pieces = {"video_id=vid43&"};
    r.chooseFile();
    r.startChain();
    QTRY_VERIFY_WITH_TIMEOUT(!f.Picture18->isHidden(), 15000);
    QCOMPARE(f.Label18, u"http://"_s + SiteHostText + u"/watch?v=vid43"_s);
    QCOMPARE(f.Text4->text(), f.Label18);
    QCOMPARE(f.logininfo, QByteArray("LOGIN_INFO=second99"));
    QCOMPARE(f.sessiontoken, QByteArray("tok456"));
    QCOMPARE(r.site.requests[FakeSite::Login], 2);
    QCOMPARE(r.site.uploadConnections, 2);
    QVERIFY(r.site.received[FakeSite::FilePost]
            == BuildFilePost(r.bytes, SplitURL(f.action), QuotedPath(r.path), r.fields()));
    QCOMPARE(r.t.messages.shown.size(), 1);
    QCOMPARE(r.t.endRequests, 0);
}

void TestForm1Chain::rejectedAccount_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::newRow("incorrect") << QByteArray("<p>Sorry, your login was incorrect.</p>");
    QTest::newRow("check your") << QByteArray("Please check your username and password.");
    QTest::newRow("too many") << QByteArray("You had too many login failures.");
    QTest::newRow("rejection beside a cookie")
        << QByteArray("Set-Cookie: LOGIN_INFO=x; path=/;\r\n\r\nPlease check your password");
}

void TestForm1Chain::rejectedAccount()
{
    QFETCH(QByteArray, answer);
    Rig r;
    Form1 &f = *r.f;
    // The decision comes in the second chunk of the answer.
    r.site.scripts[FakeSite::Login].pieces = {"HTTP/1.1 200 OK\r\n\r\n<html>", answer};
    r.startChain();
    QTRY_COMPARE_WITH_TIMEOUT(r.t.messages.shown.size(), 1, 10000);
    const auto &shown = r.t.messages.shown[0];
    QCOMPARE(shown.text, u"Either your username or password is wrong. Please check them and set "
                         "your account again."_s);
    QCOMPARE(shown.icon, MsgIcon::Critical);
    QCOMPARE(shown.buttons, MsgButtons::Ok);
    QCOMPARE(shown.title, u"Uplark"_s);
    // Idle, no file, the account forgotten.
    QVERIFY(!f.Picture9->isHidden());
    QVERIFY(f.Picture10->isHidden());
    QVERIFY(f.Text1->isHidden());
    QVERIFY(f.Picture11->isHidden());
    QVERIFY(f.Label12->isHidden());
    QVERIFY(f.Label14->isHidden());
    QCOMPARE(f.Picture2->pictureText(), u"Set account"_s);
    QCOMPARE(r.t.setting(u"un"_s), QString());
    QCOMPARE(r.t.setting(u"pw"_s), QString());
    QVERIFY(r.allClosed());
    QVERIFY(f.logininfo.isEmpty());
    QTest::qWait(300);
    QCOMPARE(r.site.requests[FakeSite::UploadPage], 0);
    QCOMPARE(r.t.messages.shown.size(), 1);
}

void TestForm1Chain::cancelDuringEachStep_data()
{
    QTest::addColumn<QString>("stage");
    QTest::addColumn<bool>("uploadNew"); // Upload New's handler instead of Cancel
    QTest::newRow("login") << u"login"_s << false;
    QTest::newRow("upload page") << u"upload page"_s << false;
    QTest::newRow("metadata form") << u"metadata form"_s << false;
    QTest::newRow("within the second before the post") << u"timer"_s << false;
    QTest::newRow("while the upload server is being reached") << u"wait"_s << false;
    QTest::newRow("while the post goes out") << u"send"_s << false;
    QTest::newRow("Upload New while the post goes out") << u"send"_s << true;
}

void TestForm1Chain::cancelDuringEachStep()
{
    QFETCH(QString, stage);
    QFETCH(bool, uploadNew);
    Rig r(stage == u"send" ? 16 * 1024 * 1024 : 300 * 1024);
    Form1 &f = *r.f;
    HangingPort hanging;
    const auto cancel = [&] {
        if (uploadNew)
            f.Label21_Click();
        else
            QTest::mouseClick(f.Label12, Qt::LeftButton);
    };

    if (stage == u"login")
        r.site.scripts[FakeSite::Login].mode = FakeSite::Script::Silent;
    else if (stage == u"upload page")
        r.site.scripts[FakeSite::UploadPage].mode = FakeSite::Script::Silent;
    else if (stage == u"metadata form")
        r.site.scripts[FakeSite::MetadataForm].mode = FakeSite::Script::Silent;
    else if (stage == u"send")
        r.site.scripts[FakeSite::FilePost].mode = FakeSite::Script::Silent;

    QTimer poll;
    bool cancelled = false;
    if (stage == u"wait") {
        QVERIFY(hanging.isValid());
        r.t.platform.routes.add(QString::fromLatin1(FakeSite::UploadHost),
                                FakeSite::UploadFormPort, u"127.0.0.1"_s, hanging.port());
        // The wait runs inside the timer's tick: act from a timer of our own
        // once the post is due and the timer has fired.
        connect(&poll, &QTimer::timeout, this, [&] {
            if (!cancelled && !f.Label6->isHidden() && !f.Timer3->isActive()) {
                cancelled = true;
                cancel();
            }
        });
        poll.start(20);
    }
    if (stage == u"send") {
        connect(f.Winsock2, &Winsock::sendProgress, this, [&] {
            if (!cancelled) {
                cancelled = true;
                cancel();
            }
        });
    }

    r.startChain();
    if (stage == u"login") {
        QTRY_COMPARE_WITH_TIMEOUT(r.site.complete[FakeSite::Login], 1, 10000);
        QVERIFY(f.Winsock1->isConnected());
        cancel();
    } else if (stage == u"upload page") {
        QTRY_COMPARE_WITH_TIMEOUT(r.site.complete[FakeSite::UploadPage], 1, 10000);
        cancel();
    } else if (stage == u"metadata form") {
        QTRY_COMPARE_WITH_TIMEOUT(r.site.complete[FakeSite::MetadataForm], 1, 10000);
        cancel();
    } else if (stage == u"timer") {
        QTRY_VERIFY_WITH_TIMEOUT(f.Timer3->isActive(), 10000);
        cancel();
    } else {
        QTRY_VERIFY_WITH_TIMEOUT(cancelled, 15000);
    }
    poll.stop();

    QVERIFY(r.allClosed());
    QVERIFY(!f.Timer3->isActive());
    QVERIFY(!f.uploadconnected);
    QVERIFY(f.ProgressBar1->isHidden());
    if (uploadNew) {
        QVERIFY(!f.Picture9->isHidden());
        QVERIFY(f.Text1->isHidden());
        QVERIFY(f.Picture10->isHidden());
    } else {
        QVERIFY(fileChosen(f));
    }
    // Nothing is posted later (bytes already on their way may still land).
    QTest::qWait(300);
    const qsizetype received = r.site.received[FakeSite::FilePost].size();
    QVERIFY(received < r.bytes.size());
    QTest::qWait(1500);
    QCOMPARE(r.site.complete[FakeSite::FilePost], 0);
    QCOMPARE(r.site.received[FakeSite::FilePost].size(), received);
    if (stage != u"send")
        QCOMPARE(r.site.uploadConnections, 0);
    QVERIFY(r.t.messages.shown.isEmpty());
    QVERIFY(f.Picture18->isHidden());
}

void TestForm1Chain::connectionErrors_data()
{
    QTest::addColumn<QString>("failing");
    QTest::newRow("Winsock1: site refused") << u"Winsock1"_s;
    QTest::newRow("Winsock3: site refused after the login") << u"Winsock3"_s;
    QTest::newRow("Winsock4: site refused after the upload page") << u"Winsock4"_s;
    QTest::newRow("Winsock2: upload server refused") << u"Winsock2 refused"_s;
    QTest::newRow("Winsock2: upload server drops the connection mid-send")
        << u"Winsock2 dropped"_s;
}

void TestForm1Chain::connectionErrors()
{
    QFETCH(QString, failing);
    Rig r(failing == u"Winsock2 dropped" ? 16 * 1024 * 1024 : 300 * 1024);
    Form1 &f = *r.f;
    QStringList openAtError;
    r.t.messages.onShow = [&](const RecordingMessageBox::Shown &) {
        for (Winsock *w : {f.Winsock1, f.Winsock2, f.Winsock3, f.Winsock4}) {
            if (w->isConnected())
                openAtError.append(w->objectName());
        }
    };

    if (failing == u"Winsock1") {
        r.site.refuseSite();
    } else if (failing == u"Winsock3") {
        connect(&r.site, &FakeSite::requestComplete, this, [&](FakeSite::Step step) {
            if (step == FakeSite::Login)
                r.site.refuseSite();
        });
    } else if (failing == u"Winsock4") {
        connect(&r.site, &FakeSite::requestComplete, this, [&](FakeSite::Step step) {
            if (step == FakeSite::UploadPage)
                r.site.refuseSite();
        });
    } else if (failing == u"Winsock2 refused") {
        r.site.refuseUploads();
    } else {
        r.site.scripts[FakeSite::FilePost].resetAfter = 1024 * 1024;
    }
    bool progressSeen = false;
    connect(f.Winsock2, &Winsock::sendProgress, this, [&] { progressSeen = true; });

    r.startChain();
    QTRY_COMPARE_WITH_TIMEOUT(r.t.messages.shown.size(), 1, 15000);
    const auto &shown = r.t.messages.shown[0];
    QCOMPARE(shown.text, ConnectionError);
    QCOMPARE(shown.icon, MsgIcon::Critical);
    QCOMPARE(shown.buttons, MsgButtons::Ok);
    QCOMPARE(shown.title, u"Uplark"_s);
    // The handler's set of connections is closed before the message.
    QCOMPARE(openAtError, QStringList());
    QVERIFY(r.allClosed());
    QVERIFY(!f.Timer3->isActive());
    QVERIFY(f.Picture11->isHidden());
    QVERIFY(!f.Picture10->isHidden());
    QVERIFY(!f.Picture8->isHidden());
    QVERIFY(f.Label12->isHidden());
    QVERIFY(f.Label6->isHidden());
    QVERIFY(f.Label9->isHidden());
    QVERIFY(f.Label11->isHidden());
    if (failing.startsWith(u"Winsock2"_s)) {
        QVERIFY(f.ProgressBar1->isHidden());
        QVERIFY(!f.uploadconnected);
        QCOMPARE(r.site.complete[FakeSite::FilePost], 0);
    }
    if (failing == u"Winsock2 dropped")
        QVERIFY(progressSeen);
    QTest::qWait(300);
    QCOMPARE(r.t.messages.shown.size(), 1);
    QVERIFY(f.Picture18->isHidden());
    QCOMPARE(r.t.endRequests, 0);
}

void TestForm1Chain::invalidHost()
{
    Rig r;
    Form1 &f = *r.f;
    r.site.scripts[FakeSite::MetadataForm].pieces = {
        "<form enctype=\"multipart/form-data\" action=\"/my_videos_post\" name=\"f\">"
        "<input name=\"addresser\" value=\"a\">"};
    r.startChain();
    QTRY_COMPARE_WITH_TIMEOUT(r.t.messages.shown.size(), 1, 10000);
    QCOMPARE(r.t.messages.shown[0].text, u"Invalid Host"_s);
    QCOMPARE(r.t.messages.shown[0].title, u"ERROR"_s);
    QCOMPARE(r.t.messages.shown[0].icon, MsgIcon::Critical);
    // The display stays where it was; Cancel still leads back.
    QCOMPARE(f.Picture11->pictureText(), u"Uploading... Please wait"_s);
    QVERIFY(!f.Picture11->isHidden());
    QVERIFY(!f.Label12->isHidden());
    QVERIFY(!f.ProgressBar1->isHidden());
    QTest::qWait(300);
    QCOMPARE(r.site.uploadConnections, 0);
    QTest::mouseClick(f.Label12, Qt::LeftButton);
    QVERIFY(fileChosen(f));
    QCOMPARE(r.t.messages.shown.size(), 1);
}

void TestForm1Chain::uploadPortDefaultsTo80()
{
    Rig r;
    Form1 &f = *r.f;
    r.t.platform.routes.add(u"plain.invalid"_s, 80, u"127.0.0.1"_s, r.site.uploadPort());
    r.site.scripts[FakeSite::MetadataForm].pieces = {
        "<form enctype=\"multipart/form-data\" action=\"http://plain.invalid/my_videos_post?x=1\""
        " name=\"f\"><input name=\"addresser\" value=\"a\">"};
    r.startChain();
    QTRY_VERIFY_WITH_TIMEOUT(!f.Picture18->isHidden(), 15000);
    QCOMPARE(f.Winsock2->RemoteHost(), u"plain.invalid"_s);
    QCOMPARE(f.Winsock2->RemotePort(), 80);
    // The fixed path and the address's host, whatever the address's path.
    QVERIFY(r.site.received[FakeSite::FilePost].startsWith("POST /my_videos_post HTTP/1.1\r\n"));
    QVERIFY(r.site.received[FakeSite::FilePost].contains("\r\nHost: plain.invalid\r\n"));
}

void TestForm1Chain::fileUnreadableForThePost()
{
    Rig r;
    Form1 &f = *r.f;
    r.startChain();
    QTRY_VERIFY_WITH_TIMEOUT(f.Timer3->isActive(), 10000);
    QVERIFY(QFile::remove(r.path));
    QTRY_COMPARE_WITH_TIMEOUT(r.t.messages.shown.size(), 1, 5000);
    const auto &shown = r.t.messages.shown[0];
    QCOMPARE(shown.title, u"ERROR"_s);
    QCOMPARE(shown.icon, MsgIcon::Critical);
    QVERIFY2(shown.text.contains(u"No such file"_s), qPrintable(shown.text));
    QVERIFY(fileChosen(f));
    QVERIFY(r.allClosed());
    QTest::qWait(500);
    QCOMPARE(r.site.uploadConnections, 0);
    QCOMPARE(r.t.messages.shown.size(), 1);
}

void TestForm1Chain::repeatedMarkersChangeNothing()
{
    Rig r;
    Form1 &f = *r.f;
    r.site.scripts[FakeSite::Login].pieces = {
        "HTTP/1.1 200 OK\r\nSet-Cookie: LOGIN_INFO=first; path=/;\r\n\r\n",
        "Set-Cookie: LOGIN_INFO=second; path=/;\r\n",
        "Sorry, your login was incorrect."};
    r.site.scripts[FakeSite::UploadPage].pieces = {
        "<script>x.gXSRF_token = 'partial';</script>", "var gXSRF_token = 'first';",
        "var gXSRF_token = 'second';"};
    r.site.scripts[FakeSite::MetadataForm].pieces = {
        "<input name=\"addresser\" value=\"addrA\">",
        "<form enctype=\"multipart/form-data\" action=\"http://upload.invalid:8080/p1\" name=\"f\">",
        "<form enctype=\"multipart/form-data\" action=\"http://upload.invalid:8080/p2\" name=\"f\">"
        "<input name=\"addresser\" value=\"addrB\">"};
    r.startChain();
    QTRY_VERIFY_WITH_TIMEOUT(!f.Picture18->isHidden(), 15000);
    QTest::qWait(300);
    QCOMPARE(f.logininfo, QByteArray("LOGIN_INFO=first"));
    QCOMPARE(f.sessiontoken, QByteArray("first"));
    QCOMPARE(f.addresser, QByteArray("addrA"));
    QCOMPARE(f.action, QByteArray("http://upload.invalid:8080/p1"));
    QCOMPARE(r.site.requests[FakeSite::UploadPage], 1);
    QCOMPARE(r.site.requests[FakeSite::MetadataForm], 1);
    QCOMPARE(r.site.uploadConnections, 1);
    QVERIFY(r.site.received[FakeSite::FilePost].contains("name=\"addresser\"\r\n\r\naddrA\r\n"));
    QVERIFY(r.t.messages.shown.isEmpty());
    QCOMPARE(r.t.setting(u"un"_s), u"user"_s);
    QVERIFY(!f.Label14->isHidden());
}

void TestForm1Chain::laterChunksAfterTheResult()
{
    Rig r;
    Form1 &f = *r.f;
    r.startChain();
    QTRY_VERIFY_WITH_TIMEOUT(!f.Picture18->isHidden(), 15000);
    const QString address = f.Label18;
    r.site.send(FakeSite::FilePost, "<html>no id here</html>");
    QTRY_VERIFY(f.text6.contains("no id here"));
    r.site.send(FakeSite::FilePost, "video_id=other&");
    QTRY_VERIFY(f.text6.contains("video_id=other"));
    QVERIFY(r.t.messages.shown.isEmpty());
    QCOMPARE(r.t.endRequests, 0);
    QCOMPARE(f.Label18, address);
    QCOMPARE(f.Text4->text(), address);
    QVERIFY(!f.Picture18->isHidden());
    // A failure of the finished connection changes nothing either.
    r.site.reset(FakeSite::FilePost);
    QTest::qWait(200);
    QVERIFY(r.t.messages.shown.isEmpty());
    QVERIFY(!f.Picture18->isHidden());
}

void TestForm1Chain::answerWithoutVideoIdEndsTheProgram()
{
    Rig r;
    Form1 &f = *r.f;
    r.site.scripts[FakeSite::FilePost].pieces = {"HTTP/1.1 200 OK\r\n\r\nVIDEO_ID=abc&"};
    r.startChain();
    QTRY_COMPARE_WITH_TIMEOUT(r.t.endRequests, 1, 15000);
    QCOMPARE(r.t.messages.shown.size(), 1);
    QCOMPARE(r.t.messages.shown[0].text,
             u"An error occured. Please re-run the program. Please revise your video description "
             "and eliminate the unwanted special characters. Sorry for that!"_s);
    QCOMPARE(r.t.messages.shown[0].icon, MsgIcon::Critical);
    QVERIFY(!f.Winsock2->isConnected());
    QVERIFY(f.Picture18->isHidden());
    QVERIFY(f.text6.contains("VIDEO_ID=abc&"));
}

void TestForm1Chain::fileGoneWhileSending()
{
    Rig r(4 * 1024 * 1024);
    Form1 &f = *r.f;
    QString lineAfterFirst;
    bool removed = false;
    connect(f.Winsock2, &Winsock::sendProgress, this, [&] {
        if (!removed) {
            removed = true;
            lineAfterFirst = f.Label9->text();
            QVERIFY(QFile::remove(r.path));
        }
    });
    r.startChain();
    QTRY_VERIFY_WITH_TIMEOUT(!f.Picture18->isHidden(), 15000);
    // The later events were skipped: the line stayed, no finished look.
    QVERIFY(removed);
    QCOMPARE(f.Label9->text(), lineAfterFirst);
    QVERIFY(!f.ProgressBar1->isHidden());
    QVERIFY(r.t.messages.shown.isEmpty());
    QCOMPARE(qint64(f.bytessent), qint64(r.site.received[FakeSite::FilePost].size()));
}

void TestForm1Chain::openBrowser_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("opened");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("no scheme") << u"localhost/watch?v=1"_s << u"http://localhost/watch?v=1"_s
                               << true;
    QTest::newRow("upper case") << u"HTTP://h/x"_s << u"HTTP://h/x"_s << true;
    QTest::newRow("https") << u"https://h/x"_s << u"https://h/x"_s << true;
    QTest::newRow("mixed case") << u"Http://h"_s << u"Http://h"_s << false;
    QTest::newRow("other scheme") << u"ftp://h"_s << u"http://ftp://h"_s << true;
}

void TestForm1Chain::openBrowser()
{
    QFETCH(QString, address);
    QFETCH(QString, opened);
    QFETCH(bool, accepted);
    TestPlatform t;
    t.setSetting(u"check1"_s, u"1"_s);
    Form1 f(t.platform);
    t.desktop.openResult = accepted;
    QCOMPARE(f.OpenBrowser(address), accepted);
    QCOMPARE(t.desktop.opened, QStringList{opened});
    // The terms link.
    QTest::mouseClick(f.Label13, Qt::LeftButton);
    QCOMPARE(t.desktop.opened.last(), u"http://"_s + SiteHostText + u"/t/terms"_s);
}

QTEST_MAIN(TestForm1Chain)
#include "tst_form1_chain.moc"
