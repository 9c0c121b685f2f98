// Whole uploads through the windows to the stand-in site running as a
// separate process, checked against what the site then holds.
#include "app/mainwindow.h"

#include "doubles.h"
#include "site/curlhttp.h"
#include "siteprocess.h"
#include "videoinfo/videoinfodialog.h"

#include "uplark_config.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <curl/curl.h>

#include <memory>

using namespace Qt::StringLiterals;
using namespace uplark;
using namespace uplark::test;

namespace {

// A video file whose bytes include CR, LF, NUL and the multipart boundary.
QByteArray VideoBytes(qsizetype size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator(seed).fillRange(reinterpret_cast<quint32 *>(bytes.data()), size / 4);
    const QByteArray awkward("\r\n--Xu02=$\r\n\0\r--Xu02=$--\r\n", 26);
    for (qsizetype at : {qsizetype(0), size / 2, size - awkward.size()})
        bytes.replace(at, awkward.size(), awkward);
    return bytes;
}

struct E2E
{
    // The site with an account, and the main window with it stored under `password`.
    bool setUp(const QString &password)
    {
        if (!site.start() || !site.addAccount(u"alice"_s, u"Secret-123"_s))
            return false;
        // The site with its conversion service, and the upload server its form names.
        t.platform.routes.add(QString::fromLatin1(SiteHost), SitePort, u"127.0.0.1"_s,
                              site.sitePort());
        t.platform.routes.add(u"localhost"_s, site.uploadPort(), u"127.0.0.1"_s, site.uploadPort());
        t.platform.http = &curl;
        t.setSetting(u"check1"_s, u"1"_s);
        t.setSetting(u"un"_s, u"alice"_s);
        t.setSetting(u"pw"_s, password);
        f = std::make_unique<MainWindow>(t.platform);
        f->show();
        return true;
    }

    // Browse, the file dialog answering a new file of `bytes`; then UPLOAD!
    // and OK on the video information dialog with these texts. True when
    // the dialog took them.
    bool upload(const QString &name, const QByteArray &bytes, const QString &title,
                const QString &description = u"Just one line"_s, const QString &tags = u"tag"_s)
    {
        QFile file(dir.filePath(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return false;
        file.close();
        t.files.paths = {file.fileName()};
        ClickButton(*f, "browseButton");
        bool confirmed = false;
        QTimer::singleShot(0, [&] {
            auto *d = qobject_cast<VideoInfoDialog *>(QApplication::activeModalWidget());
            if (!d)
                return;
            Child<QLineEdit>(*d, "titleEdit")->setText(title);
            Child<QPlainTextEdit>(*d, "descriptionEdit")->setPlainText(description);
            Child<QComboBox>(*d, "categoryCombo")->setCurrentText(u"Travel & Events"_s);
            Child<QLineEdit>(*d, "tagsEdit")->setText(tags);
            ClickButton(*d, "okButton");
            confirmed = d->isHidden();
            if (!confirmed)
                d->reject();
        });
        ClickButton(*f, "uploadButton");
        return confirmed;
    }

    // The stored videos in upload order: id, "title|description|tags|category" and file.
    QList<QByteArrayList> storedVideos()
    {
        QList<QByteArrayList> videos;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"e2e"_s);
            db.setDatabaseName(site.dataDir() + u"/videosite.sqlite"_s);
            db.open();
            QSqlQuery q(u"SELECT id, CAST(title || '|' || description || '|' || tags || '|' || "
                        "category AS BLOB) FROM videos ORDER BY created, rowid"_s,
                        db);
            while (q.next()) {
                QFile file(site.dataDir() + u"/videos/"_s + q.value(0).toString() + u".video"_s);
                file.open(QIODevice::ReadOnly);
                videos.append({q.value(0).toByteArray(), q.value(1).toByteArray(), file.readAll()});
            }
        }
        QSqlDatabase::removeDatabase(u"e2e"_s);
        return videos;
    }

    SiteProcess site;
    TestPlatform t;
    CurlHttpRequest curl{t.platform.routes};
    QTemporaryDir dir;
    std::unique_ptr<MainWindow> f;
};

} // namespace

class TestE2EUpload : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { curl_global_init(CURL_GLOBAL_DEFAULT); }
    void cleanupTestCase() { curl_global_cleanup(); }
    void twoUploadsThroughTheWindows();
    void wrongPassword();
    void unreachableSite();
};

void TestE2EUpload::twoUploadsThroughTheWindows()
{
    E2E e;
    QVERIFY2(e.setUp(u"Secret-123"_s), qPrintable(e.site.errorString()));
    MainWindow &f = *e.f;
    const QString watch = u"http://"_s + QString::fromLatin1(SiteHost) + u"/watch?v="_s;
    const QByteArray first = VideoBytes(2 * 1024 * 1024 + 5, 7);
    QVERIFY(e.upload(u"Summer trip.mpg"_s, first, u"caf\u00e9"_s,
                     u"To the sea.\nAnd back & home."_s, u"summer sea trip"_s));
    QTRY_COMPARE_WITH_TIMEOUT(f.display(), MainWindow::Display::Result, 60000);
    QList<QByteArrayList> stored = e.storedVideos();
    QCOMPARE(stored.size(), 1);
    QCOMPARE(f.watchAddress(), watch + QString::fromLatin1(stored[0][0]));
    QCOMPARE(stored[0][1],
             QByteArray("caf\xC3\xA9|To the sea.\r\nAnd back & home.|summer sea trip|19"));
    QVERIFY(stored[0][2] == first);
    ClickButton(f, "copyAddressButton");
    QCOMPARE(e.t.desktop.clipboard, f.watchAddress());

    // Upload New, then a second upload in the same run: a file of 30 MB,
    // which goes out slice by slice as it is read from disk.
    ClickButton(f, "uploadNewButton");
    const QByteArray second = VideoBytes(30 * 1024 * 1024 + 3, 2);
    QVERIFY(e.upload(u"second.avi"_s, second, u"Second"_s));
    QTRY_COMPARE_WITH_TIMEOUT(f.display(), MainWindow::Display::Result, 60000);
    stored = e.storedVideos();
    QCOMPARE(stored.size(), 2);
    QCOMPARE(f.watchAddress(), watch + QString::fromLatin1(stored[1][0]));
    QVERIFY(stored[1][2] == second);
    QCOMPARE(e.t.messages.shown.size(), 1); // the copy's confirmation
}

void TestE2EUpload::wrongPassword()
{
    E2E e;
    QVERIFY2(e.setUp(u"not-the-password"_s), qPrintable(e.site.errorString()));
    QVERIFY(e.upload(u"v.wmv"_s, VideoBytes(10000, 3), u"t"_s));
    QTRY_COMPARE_WITH_TIMEOUT(e.t.messages.shown.size(), 1, 30000);
    QCOMPARE(e.t.messages.shown[0].text, u"Either your username or password is wrong. Please "
                                         "check them and set your account again."_s);
    // No file and no account: Browse needs the account set again.
    QCOMPARE(e.f->display(), MainWindow::Display::NoFile);
    QVERIFY(e.f->findChild<QWidget *>(u"forgetAccountLink"_s)->isHidden());
    QCOMPARE(e.t.setting(u"pw"_s), QString());
}

void TestE2EUpload::unreachableSite()
{
    E2E e;
    QVERIFY2(e.setUp(u"Secret-123"_s), qPrintable(e.site.errorString()));
    QVERIFY(e.site.stop());
    // OK on the video information dialog finds no site to convert the texts.
    QVERIFY(!e.upload(u"v.wmv"_s, VideoBytes(10000, 4), u"t"_s));
    QCOMPARE(e.t.messages.texts(), QStringList{u"Connection error!"_s});
    QCOMPARE(e.f->display(), MainWindow::Display::FileChosen);
}

QTEST_MAIN(TestE2EUpload)
#include "tst_e2e_upload.moc"
