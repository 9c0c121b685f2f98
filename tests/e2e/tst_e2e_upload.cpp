// Whole uploads from the main window to the stand-in site running as a
// separate process: what the site holds afterwards, read back over HTTP and
// from its data folder.
#include "app/form1.h"

#include "account/form2.h"
#include "doubles.h"
#include "platform/curlhttp.h"
#include "platform/widgets.h"
#include "siteprocess.h"
#include "site/winsock.h"
#include "videoinfo/form3.h"

#include "uplark_config.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <curl/curl.h>

#include <functional>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString SiteHostText = QString::fromLatin1(SiteHost);

struct StoredVideo
{
    QByteArray id, title, description, tags, category;
    qint64 size = 0;
};

// A video file whose bytes include CR, LF, NUL and the multipart boundary.
QByteArray videoBytes(qsizetype size, int seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    quint32 x = 2463534242u + quint32(seed);
    for (qsizetype i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        bytes[i] = char(x & 0xFF);
    }
    const QByteArray awkward("\r\n--Xu02=$\r\n\0\r--Xu02=$--\r\n", 26);
    for (qsizetype at : {qsizetype(0), size / 2, size - awkward.size()})
        bytes.replace(at, awkward.size(), awkward);
    return bytes;
}

struct E2E
{
    // Starts the site with an account and makes the main window with that
    // account stored; false when the site did not come up.
    bool setUp(bool storeAccount = true)
    {
        if (!site.start()) {
            qWarning("videosite did not start: %s", qPrintable(site.errorString()));
            return false;
        }
        if (!site.addAccount(u"alice"_s, u"Secret-123"_s))
            return false;
        // The site's host and the upload server the form names ("localhost"
        // and the upload port) go to the site's loopback ports.
        t.platform.routes.add(SiteHostText, SitePort, u"127.0.0.1"_s, site.sitePort());
        t.platform.routes.add(u"localhost"_s, site.uploadPort(), u"127.0.0.1"_s,
                              site.uploadPort());
        t.setSetting(u"check1"_s, u"1"_s);
        if (storeAccount) {
            t.setSetting(u"un"_s, u"alice"_s);
            t.setSetting(u"pw"_s, u"Secret-123"_s);
        }
        f = std::make_unique<Form1>(t.platform);
        f->show();
        return true;
    }

    QString writeFile(const QString &name, const QByteArray &bytes)
    {
        const QString path = dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return {};
        return path;
    }

    // The file chosen and the video information confirmed, as the file
    // selection and the video information dialog leave the window.
    void upload(const QString &path, const QByteArray &title, const QByteArray &description,
                const QByteArray &tags, const QByteArray &category)
    {
        f->fname = path;
        f->Text1->setVisible(true);
        f->Picture9->setVisible(false);
        f->Picture11->setPicture(f->Picture15);
        f->Picture11->setVisible(true);
        f->Picture10->setVisible(false);
        f->Picture8->setVisible(false);
        f->Label12->setVisible(true);
        f->videotitle = title;
        f->videodscr = description;
        f->videotags = tags;
        f->videocat = category;
        f->Winsock1->Connect(SiteHostText, SitePort);
    }

    QList<StoredVideo> storedVideos()
    {
        QList<StoredVideo> videos;
        const QString name = u"e2e-"_s + QString::number(quintptr(this));
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, name);
            db.setDatabaseName(site.dataDir() + u"/videosite.sqlite"_s);
            db.setConnectOptions(u"QSQLITE_OPEN_READONLY"_s);
            if (db.open()) {
                QSqlQuery q(db);
                q.exec(u"SELECT id, title, description, tags, category, size FROM videos "
                       "ORDER BY created, rowid"_s);
                while (q.next()) {
                    videos.append({q.value(0).toByteArray(), q.value(1).toByteArray(),
                                   q.value(2).toByteArray(), q.value(3).toByteArray(),
                                   q.value(4).toByteArray(), q.value(5).toLongLong()});
                }
            }
        }
        QSqlDatabase::removeDatabase(name);
        return videos;
    }

    // GET on the site's port; the body, or a null array on failure.
    QByteArray get(const QString &pathAndQuery)
    {
        QNetworkAccessManager manager;
        QNetworkReply *reply = manager.get(QNetworkRequest(
            QUrl(u"http://127.0.0.1:"_s + QString::number(site.sitePort()) + pathAndQuery)));
        QSignalSpy finished(reply, &QNetworkReply::finished);
        if (!finished.wait(30000) || reply->error() != QNetworkReply::NoError) {
            reply->deleteLater();
            return {};
        }
        QByteArray body = reply->readAll();
        reply->deleteLater();
        return body.isNull() ? QByteArray("") : body;
    }

    SiteProcess site;
    TestPlatform t;
    QTemporaryDir dir;
    std::unique_ptr<Form1> f;
};

// Runs `work` on the modal dialog of type D once it is open; gives up after
// about ten seconds (`work` then gets nullptr).
template <typename D>
void WhenDialogOpens(std::function<void(D *)> work)
{
    auto *timer = new QTimer;
    auto tries = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, tries, work] {
        auto *dialog = qobject_cast<D *>(QApplication::activeModalWidget());
        if (!dialog && ++*tries < 1000)
            return;
        timer->stop();
        timer->deleteLater();
        work(dialog);
    });
    timer->start(10);
}

bool fileChosen(const Form1 &f)
{
    return f.Picture11->isHidden() && !f.Picture10->isHidden() && !f.Picture8->isHidden()
           && f.Label12->isHidden() && f.Label6->isHidden() && f.Label9->isHidden()
           && f.Label11->isHidden();
}

} // namespace

class TestE2EUpload : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { curl_global_init(CURL_GLOBAL_DEFAULT); }
    void cleanupTestCase() { curl_global_cleanup(); }
    void throughTheWindows();
    void uploadTwiceInOneRun();
    void wrongPassword();
    void unreachableSite();
    void cancel_data();
    void cancel();
    void uploadServerGoneMidSend();
};

void TestE2EUpload::throughTheWindows()
{
    E2E e;
    QVERIFY(e.setUp(false));
    Form1 &f = *e.f;
    // The conversion service is served by the stand-in site too.
    CurlHttpRequest curl(e.t.platform.routes);
    e.t.platform.http = &curl;
    QApplication::setActiveWindow(&f);
    QVERIFY(QTest::qWaitForWindowActive(&f));
    QCOMPARE(f.Picture2->pictureText(), u"Set account"_s);

    // The account, checked by the site and stored.
    bool saved = false;
    WhenDialogOpens<Form2>([&](Form2 *d) {
        if (!d)
            return;
        d->Text1->setText(u"alice"_s);
        d->Text2->setText(u"Secret-123"_s);
        QTest::mouseClick(d->Label7, Qt::LeftButton);
        saved = true;
    });
    QTest::mouseClick(f.Picture2->hotspot(), Qt::LeftButton);
    QVERIFY(saved);
    QTRY_VERIFY_WITH_TIMEOUT(!QApplication::activeModalWidget(), 30000);
    QCOMPARE(e.t.messages.shown.size(), 1);
    QCOMPARE(e.t.messages.shown[0].icon, MsgIcon::Information);
    e.t.messages.shown.clear();
    QCOMPARE(f.Picture2->pictureText(), u"My account"_s);
    QCOMPARE(e.t.setting(u"un"_s), u"alice"_s);

    const QByteArray bytes = videoBytes(2 * 1024 * 1024 + 5, 7);
    const QString path = e.writeFile(u"Summer trip.mpg"_s, bytes);
    e.t.files.paths = {path};
    QTest::mouseClick(f.Picture9->hotspot(), Qt::LeftButton);
    QVERIFY(!f.Picture10->isHidden());

    bool confirmed = false;
    WhenDialogOpens<Form3>([&](Form3 *d) {
        if (!d)
            return;
        QCOMPARE(d->RichTextBox1->text(), u"Summer trip.mpg"_s);
        d->RichTextBox1->setText(u"caf\u00e9"_s);
        d->RichTextBox2->setPlainText(u"We went to the sea.\nThen we came back & slept."_s);
        d->Combo1->setCurrentText(u"Travel & Events"_s);
        d->RichTextBox3->setText(u"summer sea trip"_s);
        QTest::mouseClick(d->Picture1->hotspot(), Qt::LeftButton);
        confirmed = true;
    });
    QTest::mouseClick(f.Picture10->hotspot(), Qt::LeftButton);
    QVERIFY(confirmed);
    QVERIFY(!QApplication::activeModalWidget());

    QTRY_VERIFY_WITH_TIMEOUT(!f.Picture18->isHidden(), 60000);
    QVERIFY2(e.t.messages.shown.isEmpty(), qPrintable(e.t.messages.texts().join(u'|')));
    const QList<StoredVideo> stored = e.storedVideos();
    QCOMPARE(stored.size(), 1);
    const StoredVideo &video = stored[0];
    const QString address = u"http://"_s + SiteHostText + u"/watch?v="_s
                            + QString::fromLatin1(video.id);
    QCOMPARE(f.Label18, address);
    QCOMPARE(f.Text4->text(), address);
    QCOMPARE(video.title, QByteArray("caf\xC3\xA9"));
    QCOMPARE(video.description, QByteArray("We went to the sea.\r\nThen we came back & slept."));
    QCOMPARE(video.tags, QByteArray("summer sea trip"));
    QCOMPARE(video.category, QByteArray("19"));
    QVERIFY(e.get(u"/videos/"_s + QString::fromLatin1(video.id)) == bytes);

    QTest::mouseClick(f.Picture22->hotspot(), Qt::LeftButton);
    QCOMPARE(e.t.desktop.clipboard, address);
    QTest::mouseClick(f.Picture20->hotspot(), Qt::LeftButton);
    QCOMPARE(e.t.desktop.opened, QStringList{address});
    e.t.platform.http = nullptr;
}

void TestE2EUpload::uploadTwiceInOneRun()
{
    E2E e;
    QVERIFY(e.setUp());
    Form1 &f = *e.f;
    const QByteArray first = videoBytes(3 * 1024 * 1024 + 123, 1);
    const QString firstPath = e.writeFile(u"holiday clip.wmv"_s, first);
    QVERIFY(!firstPath.isEmpty());
    const QByteArray title = u"café"_s.toUtf8();
    const QByteArray description = "First line of the story.\r\nSecond line, with 100% more.";
    const QByteArray tags = "holiday beach";
    e.upload(firstPath, title, description, tags, "19");

    QTRY_VERIFY_WITH_TIMEOUT(!f.Picture18->isHidden(), 60000);
    QVERIFY2(e.t.messages.shown.isEmpty(), qPrintable(e.t.messages.texts().join(u'|')));
    const QList<StoredVideo> stored = e.storedVideos();
    QCOMPARE(stored.size(), 1);
    const StoredVideo &video = stored[0];
    const QString address = u"http://"_s + SiteHostText + u"/watch?v="_s
                            + QString::fromLatin1(video.id);
    QCOMPARE(f.Label18, address);
    QCOMPARE(f.Text4->text(), address);
    QCOMPARE(f.Picture11->pictureText(), u"Video successfully uploaded."_s);
    QCOMPARE(video.title, title);
    QCOMPARE(video.description, description);
    QCOMPARE(video.tags, tags);
    QCOMPARE(video.category, QByteArray("19"));
    QCOMPARE(video.size, qint64(first.size()));
    QVERIFY(e.get(u"/videos/"_s + QString::fromLatin1(video.id)) == first);
    const QByteArray page = e.get(u"/watch?v="_s + QString::fromLatin1(video.id));
    QVERIFY2(page.contains(title), page.left(400).constData());

    // Copy puts exactly the address on the clipboard.
    QTest::mouseClick(f.Picture22->hotspot(), Qt::LeftButton);
    QCOMPARE(e.t.desktop.clipboard, address);

    // Upload New, then a second upload in the same run.
    QTest::mouseClick(f.Picture23->hotspot(), Qt::LeftButton);
    QVERIFY(!f.Picture9->isHidden());
    QVERIFY(f.Picture18->isHidden());
    const QByteArray firstCookie = f.logininfo;
    const QByteArray second = videoBytes(700 * 1024, 2);
    const QString secondPath = e.writeFile(u"second.avi"_s, second);
    e.upload(secondPath, "Second", "Just one line", "more tags", "22");
    QTRY_VERIFY_WITH_TIMEOUT(!f.Picture18->isHidden(), 60000);
    const QList<StoredVideo> both = e.storedVideos();
    QCOMPARE(both.size(), 2);
    QVERIFY(both[1].id != video.id);
    QCOMPARE(both[1].title, QByteArray("Second"));
    QCOMPARE(both[1].category, QByteArray("22"));
    QCOMPARE(f.Label18,
             u"http://"_s + SiteHostText + u"/watch?v="_s + QString::fromLatin1(both[1].id));
    QVERIFY(f.logininfo != firstCookie);
    QVERIFY(e.get(u"/videos/"_s + QString::fromLatin1(both[1].id)) == second);
    QCOMPARE(e.t.messages.shown.size(), 1); // the copy confirmation
    QCOMPARE(e.t.endRequests, 0);
}

void TestE2EUpload::wrongPassword()
{
    E2E e;
    QVERIFY(e.setUp());
    Form1 &f = *e.f;
    e.t.setSetting(u"pw"_s, u"not-the-password"_s);
    f.pw = u"not-the-password"_s;
    const QString path = e.writeFile(u"v.wmv"_s, videoBytes(10000, 3));
    e.upload(path, "t", "d", "g", "22");
    QTRY_COMPARE_WITH_TIMEOUT(e.t.messages.shown.size(), 1, 30000);
    QCOMPARE(e.t.messages.shown[0].text, u"Either your username or password is wrong. Please "
                                         "check them and set your account again."_s);
    QVERIFY(!f.Picture9->isHidden());
    QVERIFY(f.Text1->isHidden());
    QVERIFY(f.Label14->isHidden());
    QCOMPARE(f.Picture2->pictureText(), u"Set account"_s);
    QCOMPARE(e.t.setting(u"un"_s), QString());
    QCOMPARE(e.t.setting(u"pw"_s), QString());
    QVERIFY(e.storedVideos().isEmpty());
    // Browsing needs an account again.
    e.t.files.paths = {path};
    QTest::mouseClick(f.Picture9->hotspot(), Qt::LeftButton);
    QCOMPARE(e.t.messages.shown.size(), 2);
    QCOMPARE(e.t.messages.shown[1].text, u"You must set your YouTube account first."_s);
    QVERIFY(f.Picture10->isHidden());
}

void TestE2EUpload::unreachableSite()
{
    E2E e;
    QVERIFY(e.setUp());
    Form1 &f = *e.f;
    quint16 closedPort = 0;
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        closedPort = probe.serverPort();
    }
    e.t.platform.routes.add(SiteHostText, SitePort, u"127.0.0.1"_s, closedPort);
    const QString path = e.writeFile(u"v.wmv"_s, videoBytes(10000, 4));
    e.upload(path, "t", "d", "g", "22");
    QTRY_COMPARE_WITH_TIMEOUT(e.t.messages.shown.size(), 1, 30000);
    QCOMPARE(e.t.messages.shown[0].text, u"Connection error!"_s);
    QVERIFY(fileChosen(f));
    QCOMPARE(e.t.setting(u"un"_s), u"alice"_s);
}

void TestE2EUpload::cancel_data()
{
    QTest::addColumn<QString>("stage");
    QTest::newRow("while logging in") << u"login"_s;
    QTest::newRow("after the upload form") << u"form"_s;
    QTest::newRow("while the file goes out") << u"send"_s;
}

void TestE2EUpload::cancel()
{
    QFETCH(QString, stage);
    E2E e;
    QVERIFY(e.setUp());
    Form1 &f = *e.f;
    const QString path = e.writeFile(u"v.wmv"_s, videoBytes(24 * 1024 * 1024, 5));
    bool cancelled = false;
    const auto clickCancel = [&] {
        if (!cancelled) {
            cancelled = true;
            QTest::mouseClick(f.Label12, Qt::LeftButton);
        }
    };
    if (stage == u"login")
        connect(f.Winsock1, &Winsock::connected, this, clickCancel, Qt::QueuedConnection);
    else if (stage == u"send")
        connect(f.Winsock2, &Winsock::sendProgress, this, clickCancel);
    e.upload(path, "t", "d", "g", "22");
    if (stage == u"form") {
        QTRY_VERIFY_WITH_TIMEOUT(f.Timer3->isActive(), 30000);
        clickCancel();
    }
    QTRY_VERIFY_WITH_TIMEOUT(cancelled, 30000);
    QVERIFY(fileChosen(f));
    QVERIFY(f.ProgressBar1->isHidden());
    QVERIFY(!f.Timer3->isActive());
    QTest::qWait(1500);
    QVERIFY(e.t.messages.shown.isEmpty());
    QVERIFY(f.Picture18->isHidden());
    QVERIFY(e.storedVideos().isEmpty());
    // The site is still there for a new attempt with the same file.
    QVERIFY(!e.get(u"/t/terms"_s).isNull());
}

void TestE2EUpload::uploadServerGoneMidSend()
{
    E2E e;
    QVERIFY(e.setUp());
    Form1 &f = *e.f;
    const QString path = e.writeFile(u"v.wmv"_s, videoBytes(32 * 1024 * 1024, 6));
    bool killed = false;
    connect(f.Winsock2, &Winsock::sendProgress, this, [&] {
        if (!killed) {
            killed = true;
            e.site.kill();
        }
    });
    e.upload(path, "t", "d", "g", "22");
    QTRY_COMPARE_WITH_TIMEOUT(e.t.messages.shown.size(), 1, 60000);
    QVERIFY(killed);
    QCOMPARE(e.t.messages.shown[0].text, u"Connection error!"_s);
    QVERIFY(fileChosen(f));
    QVERIFY(f.ProgressBar1->isHidden());
    QVERIFY(!f.Winsock2->isConnected());
    QCOMPARE(e.t.endRequests, 0);
}

QTEST_MAIN(TestE2EUpload)
#include "tst_e2e_upload.moc"
