// A whole upload through the windows to the stand-in site running as a
// separate process, named by an address with a port as "uplark --site
// 127.0.0.1:PORT" names it, checked against what the site then holds.
#include "desktop/windows/accountdialog.h"
#include "desktop/windows/mainwindow.h"
#include "desktop/windows/videoinfodialog.h"
#include "engine/net/curlhttpclient.h"

#include "doubles.h"
#include "e2ekit.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTimer>

using namespace uplark;
using namespace uplark::test;

class TestE2EUpload : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void accountAndUploadThroughTheWindows();
};

void TestE2EUpload::accountAndUploadThroughTheWindows()
{
    Site site;
    QVERIFY2(site.start(), qPrintable(site.site.errorString()));
    TestPlatform t;
    SiteAddress address;
    QVERIFY(parseSiteAddress(site.address(), &address, nullptr));
    t.platform.addresses = {address, address};
    CurlHttpClient curl{t.platform.routes};
    t.platform.http = &curl;
    t.setSetting(u"check1"_s, u"1"_s);

    // The account dialog's check goes to the address.
    {
        AccountDialog dialog(t.platform);
        dialog.show();
        child<QLineEdit>(dialog, "userNameEdit")->setText(u"alice"_s);
        child<QLineEdit>(dialog, "passwordEdit")->setText(Password);
        clickButton(dialog, "saveButton");
        QTRY_VERIFY_WITH_TIMEOUT(dialog.isHidden(), 30000);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }

    // Browse, then UPLOAD! and OK on the video information dialog. A file of
    // 30 MB goes out slice by slice as it is read from disk.
    MainWindow window(t.platform);
    window.show();
    QTemporaryDir dir;
    const QByteArray video = videoBytes(30 * 1024 * 1024 + 5, 7);
    t.files.paths = {writeFile(dir.filePath(u"video.avi"_s), video)};
    clickButton(window, "browseButton");
    bool confirmed = false;
    QTimer::singleShot(0, [&] {
        auto *d = qobject_cast<VideoInfoDialog *>(QApplication::activeModalWidget());
        if (!d)
            return;
        child<QLineEdit>(*d, "titleEdit")->setText(u"caf\u00e9"_s);
        child<QPlainTextEdit>(*d, "descriptionEdit")
            ->setPlainText(u"To the sea.\nAnd back & home."_s);
        child<QComboBox>(*d, "categoryCombo")->setCurrentText(u"Travel & Events"_s);
        child<QLineEdit>(*d, "tagsEdit")->setText(u"summer sea trip"_s);
        clickButton(*d, "okButton");
        confirmed = d->isHidden();
        if (!confirmed)
            d->reject();
    });
    clickButton(window, "uploadButton");
    QVERIFY(confirmed);
    QTRY_COMPARE_WITH_TIMEOUT(window.display(), MainWindow::Display::Result, 60000);

    // The texts converted at the address, the file byte for byte, and the
    // addresses shown with the port.
    const QList<QByteArrayList> stored = storedVideos(site.site);
    QCOMPARE(stored.size(), 1);
    QCOMPARE(stored[0][1],
             QByteArray("caf\xC3\xA9|To the sea.\r\nAnd back & home.|summer sea trip|19"));
    QVERIFY(stored[0][2] == video);
    QCOMPARE(window.watchAddress(),
             u"http://"_s + site.address() + u"/watch?v="_s + QString::fromLatin1(stored[0][0]));
    QVERIFY(t.messages.shown.isEmpty());
    QTest::mouseClick(child<QWidget>(window, "termsLink"), Qt::LeftButton);
    QCOMPARE(t.desktop.opened.value(0), u"http://"_s + site.address() + u"/t/terms"_s);
}

QTEST_MAIN(TestE2EUpload)
#include "tst_e2e_upload.moc"
