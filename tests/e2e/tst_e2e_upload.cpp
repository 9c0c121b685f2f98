// Whole uploads through the windows to the stand-in site running as a
// separate process, checked against what the site then holds; the site named
// by its build-time host or, as "uplark --site 127.0.0.1:PORT" names it, by a
// run-time address with a port.
#include "desktop/windows/accountdialog.h"
#include "desktop/windows/mainwindow.h"

#include "doubles.h"
#include "e2ekit.h"
#include "desktop/windows/videoinfodialog.h"
#include "engine/net/curlhttpclient.h"

#include "uplark_config.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>


#include <memory>

using namespace Qt::StringLiterals;
using namespace uplark;
using namespace uplark::test;

namespace {

struct E2E
{
    // The site with an account and the main window. With `byAddress` the
    // site is named 127.0.0.1:PORT and nothing is routed; otherwise the
    // build's site host is routed to it and the account stored.
    bool setUp(bool byAddress = false)
    {
        const QStringList args =
            byAddress ? QStringList{u"--public-host"_s, u"127.0.0.1"_s} : QStringList();
        if (!site.start(args) || !site.addAccount(u"alice"_s, u"Secret-123"_s))
            return false;
        authority = u"127.0.0.1:"_s + QString::number(site.sitePort());
        if (byAddress) {
            SiteAddress address;
            if (!parseSiteAddress(authority, &address, nullptr))
                return false;
            t.platform.addresses = {address, address};
        } else {
            // The site with its conversion service, and the upload server its form names.
            t.platform.routes.add(QString::fromLatin1(SiteHost), SitePort, u"127.0.0.1"_s,
                                  site.sitePort());
            t.platform.routes.add(u"localhost"_s, site.uploadPort(), u"127.0.0.1"_s,
                                  site.uploadPort());
            t.setSetting(u"un"_s, u"alice"_s);
            t.setSetting(u"pw"_s, u"Secret-123"_s);
        }
        t.platform.http = &curl;
        t.setSetting(u"check1"_s, u"1"_s);
        return true;
    }

    void showWindow()
    {
        f = std::make_unique<MainWindow>(t.platform);
        f->show();
    }

    // Browse, the file dialog answering a file of `bytes`; then UPLOAD!
    // and OK on the video information dialog with these texts. True when
    // the dialog took them.
    bool upload(const QByteArray &bytes, const QString &title,
                const QString &description = u"Just one line"_s, const QString &tags = u"tag"_s)
    {
        t.files.paths = {writeFile(dir.filePath(u"video.avi"_s), bytes)};
        clickButton(*f, "browseButton");
        bool confirmed = false;
        QTimer::singleShot(0, [&] {
            auto *d = qobject_cast<VideoInfoDialog *>(QApplication::activeModalWidget());
            if (!d)
                return;
            child<QLineEdit>(*d, "titleEdit")->setText(title);
            child<QPlainTextEdit>(*d, "descriptionEdit")->setPlainText(description);
            child<QComboBox>(*d, "categoryCombo")->setCurrentText(u"Travel & Events"_s);
            child<QLineEdit>(*d, "tagsEdit")->setText(tags);
            clickButton(*d, "okButton");
            confirmed = d->isHidden();
            if (!confirmed)
                d->reject();
        });
        clickButton(*f, "uploadButton");
        return confirmed;
    }

    SiteProcess site;
    QString authority;
    TestPlatform t;
    CurlHttpClient curl{t.platform.routes};
    QTemporaryDir dir;
    std::unique_ptr<MainWindow> f;
};

} // namespace

class TestE2EUpload : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void uploadThroughTheWindows();
    void accountAndUploadAtAnAddressWithPort();
};

void TestE2EUpload::uploadThroughTheWindows()
{
    E2E e;
    QVERIFY2(e.setUp(), qPrintable(e.site.errorString()));
    e.showWindow();
    // A file of 30 MB, which goes out slice by slice as it is read from disk.
    const QByteArray video = videoBytes(30 * 1024 * 1024 + 5, 7);
    QVERIFY(
        e.upload(video, u"caf\u00e9"_s, u"To the sea.\nAnd back & home."_s, u"summer sea trip"_s));
    QTRY_COMPARE_WITH_TIMEOUT(e.f->display(), MainWindow::Display::Result, 60000);
    const QList<QByteArrayList> stored = storedVideos(e.site);
    QCOMPARE(stored.size(), 1);
    QCOMPARE(e.f->watchAddress(), u"http://"_s + QString::fromLatin1(SiteHost) + u"/watch?v="_s
                                      + QString::fromLatin1(stored[0][0]));
    QCOMPARE(stored[0][1],
             QByteArray("caf\xC3\xA9|To the sea.\r\nAnd back & home.|summer sea trip|19"));
    QVERIFY(stored[0][2] == video);
    QVERIFY(e.t.messages.shown.isEmpty());
}

void TestE2EUpload::accountAndUploadAtAnAddressWithPort()
{
    E2E e;
    QVERIFY2(e.setUp(true), qPrintable(e.site.errorString()));
    // The account dialog's check goes to the address.
    {
        AccountDialog dialog(e.t.platform);
        dialog.show();
        child<QLineEdit>(dialog, "userNameEdit")->setText(u"alice"_s);
        child<QLineEdit>(dialog, "passwordEdit")->setText(u"Secret-123"_s);
        clickButton(dialog, "saveButton");
        QTRY_VERIFY_WITH_TIMEOUT(dialog.isHidden(), 30000);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }
    // An upload, its texts converted at the address, and the addresses shown
    // with the port.
    e.showWindow();
    const QByteArray video = videoBytes(300 * 1024 + 3, 5);
    QVERIFY(e.upload(video, u"caf\u00e9"_s));
    QTRY_COMPARE_WITH_TIMEOUT(e.f->display(), MainWindow::Display::Result, 60000);
    const QList<QByteArrayList> stored = storedVideos(e.site);
    QCOMPARE(stored.size(), 1);
    QVERIFY(stored[0][2] == video);
    QCOMPARE(e.f->watchAddress(),
             u"http://"_s + e.authority + u"/watch?v="_s + QString::fromLatin1(stored[0][0]));
    QTest::mouseClick(child<QWidget>(*e.f, "termsLink"), Qt::LeftButton);
    QCOMPARE(e.t.desktop.opened.value(0), u"http://"_s + e.authority + u"/t/terms"_s);
}

QTEST_MAIN(TestE2EUpload)
#include "tst_e2e_upload.moc"
