// The windows against the stand-in site named by a run-time address with a
// port, as "uplark --site 127.0.0.1:PORT" starts them: no route table, the
// port in the Host lines and in every address shown.
#include "account/accountdialog.h"
#include "app/mainwindow.h"

#include "doubles.h"
#include "site/curlhttp.h"
#include "siteprocess.h"
#include "videoinfo/videoinfodialog.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <curl/curl.h>

using namespace Qt::StringLiterals;
using namespace uplark;
using namespace uplark::test;

class TestE2EAddress : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { curl_global_init(CURL_GLOBAL_DEFAULT); }
    void cleanupTestCase() { curl_global_cleanup(); }
    void accountAndUploadAtAnAddressWithPort();
};

void TestE2EAddress::accountAndUploadAtAnAddressWithPort()
{
    SiteProcess site;
    QVERIFY2(site.start({u"--public-host"_s, u"127.0.0.1"_s}), qPrintable(site.errorString()));
    QVERIFY(site.addAccount(u"alice"_s, u"Secret-123"_s));
    const QString authority = u"127.0.0.1:"_s + QString::number(site.sitePort());

    TestPlatform t;
    QVERIFY(t.platform.routes.isEmpty());
    SiteAddress address;
    QVERIFY(ParseSiteAddress(authority, &address, nullptr));
    t.platform.addresses = {address, address};
    CurlHttpRequest curl(t.platform.routes);
    t.platform.http = &curl;
    t.setSetting(u"check1"_s, u"1"_s);

    // The account dialog's check goes to the address.
    {
        AccountDialog dialog(t.platform);
        dialog.show();
        Child<QLineEdit>(dialog, "userNameEdit")->setText(u"alice"_s);
        Child<QLineEdit>(dialog, "passwordEdit")->setText(u"Secret-123"_s);
        ClickButton(dialog, "saveButton");
        QTRY_VERIFY_WITH_TIMEOUT(dialog.isHidden(), 30000);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(t.setting(u"un"_s), u"alice"_s);
    }

    // An upload through the main window, its texts converted at the address.
    MainWindow f(t.platform);
    f.show();
    QTemporaryDir dir;
    QFile file(dir.filePath(u"v.avi"_s));
    const QByteArray video(300 * 1024 + 3, '\n');
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(video) == video.size());
    file.close();
    t.files.paths = {file.fileName()};
    ClickButton(f, "browseButton");
    QTimer::singleShot(0, [] {
        auto *d = qobject_cast<VideoInfoDialog *>(QApplication::activeModalWidget());
        if (!d)
            return;
        Child<QLineEdit>(*d, "titleEdit")->setText(u"caf\u00e9"_s);
        Child<QPlainTextEdit>(*d, "descriptionEdit")->setPlainText(u"d"_s);
        Child<QComboBox>(*d, "categoryCombo")->setCurrentText(u"Music"_s);
        Child<QLineEdit>(*d, "tagsEdit")->setText(u"x"_s);
        ClickButton(*d, "okButton");
        if (!d->isHidden())
            d->reject();
    });
    ClickButton(f, "uploadButton");
    QTRY_COMPARE_WITH_TIMEOUT(f.display(), MainWindow::Display::Result, 60000);
    const QStringList stored = QDir(site.dataDir() + u"/videos"_s).entryList(QDir::Files);
    QCOMPARE(stored.size(), 1);
    const QString id = stored[0].section(u'.', 0, 0);
    QCOMPARE(f.watchAddress(), u"http://"_s + authority + u"/watch?v="_s + id);
    QFile kept(site.dataDir() + u"/videos/"_s + stored[0]);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QVERIFY(kept.readAll() == video);

    QTest::mouseClick(Child<QWidget>(f, "termsLink"), Qt::LeftButton);
    QCOMPARE(t.desktop.opened.value(0), u"http://"_s + authority + u"/t/terms"_s);
}

QTEST_MAIN(TestE2EAddress)
#include "tst_e2e_address.moc"
