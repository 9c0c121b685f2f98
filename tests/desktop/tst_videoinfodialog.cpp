// The video information dialog: its checks, its limits, its ways out, and
// the conversion of its texts by the stand-in site's service.
#include "desktop/windows/videoinfodialog.h"

#include "doubles.h"
#include "engine/net/curlhttpclient.h"
#include "siteprocess.h"
#include "uplark_config.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>

#include <curl/curl.h>

using namespace Qt::StringLiterals;
using namespace uplark;
using namespace uplark::test;

namespace {

// A platform whose conversion host leads to the stand-in site, unless told
// otherwise.
struct Fixture
{
    explicit Fixture(const SiteProcess &site, quint16 conversionPort = 0)
    {
        t.platform.routes.add(QString::fromLatin1(ConversionHost), SitePort, u"127.0.0.1"_s,
                              conversionPort ? conversionPort : site.sitePort());
        t.platform.http = &curl;
    }

    TestPlatform t;
    CurlHttpClient curl{t.platform.routes};
};

// The boxes as "title|description|tags|category"; fill() takes the same form.
QString shown(const VideoInfoDialog &d)
{
    return child<QLineEdit>(d, "titleEdit")->text() + u'|'
           + child<QPlainTextEdit>(d, "descriptionEdit")->toPlainText() + u'|'
           + child<QLineEdit>(d, "tagsEdit")->text() + u'|'
           + child<QComboBox>(d, "categoryCombo")->currentText();
}

void fill(VideoInfoDialog &d, const QString &boxes)
{
    const QStringList b = boxes.split(u'|');
    child<QLineEdit>(d, "titleEdit")->setText(b.at(0));
    child<QPlainTextEdit>(d, "descriptionEdit")->setPlainText(b.at(1));
    child<QLineEdit>(d, "tagsEdit")->setText(b.at(2));
    child<QComboBox>(d, "categoryCombo")->setCurrentText(b.at(3));
}

} // namespace

class TestVideoInfoDialog : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        curl_global_init(CURL_GLOBAL_DEFAULT);
        QVERIFY2(m_site.start(), qPrintable(m_site.errorString()));
    }
    void cleanupTestCase() { curl_global_cleanup(); }
    void refused_data();
    void refused();
    void limits_data();
    void limits();
    void leaving_data();
    void leaving();
    void ok();

private:
    SiteProcess m_site;
};

void TestVideoInfoDialog::refused_data()
{
    QTest::addColumn<QString>("boxes");
    QTest::addColumn<int>("service"); // conversion host: 0 the site, 1 nowhere
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focus"); // where a check puts it
    QTest::newRow("title of spaces")
        << u"   |D|G|Comedy"_s << 0 << u"Please enter a TITLE for your video."_s << u"titleEdit"_s;
    QTest::newRow("description of spaces")
        << u"T|  ||"_s << 0 << u"Please enter a meaningful description for your video."_s
        << u"descriptionEdit"_s;
    QTest::newRow("no category") << u"T|D||"_s << 0 << u"Please select a category for your video."_s
                                 << u"categoryCombo"_s;
    QTest::newRow("tags of spaces")
        << u"T|D|  |Comedy"_s << 0
        << u"Please enter some TAGS in order for your video to be found easily.\r\n\r\n"
           "Seperate your tags by spaces."_s
        << u"tagsEdit"_s;
    QTest::newRow("conversion service unreachable")
        << u"<b>T</b>|D|G|Film & Animation"_s << 1 << u"Connection error!"_s << QString();
}

void TestVideoInfoDialog::refused()
{
    QFETCH(QString, boxes);
    QFETCH(int, service);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    QTcpServer probe; // its port is closed again before the request
    QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
    Fixture f(m_site, service == 1 ? probe.serverPort() : 0);
    probe.close();
    VideoInfoDialog d(f.t.platform, u"clip"_s);
    QSignalSpy started(&d, &VideoInfoDialog::conversionStarted);
    QSignalSpy failed(&d, &VideoInfoDialog::conversionFailed);
    d.show();
    fill(d, boxes);
    child<QWidget>(d, "okButton")->setFocus();
    QTest::keyClick(child<QWidget>(d, "okButton"), Qt::Key_Space); // OK
    QCOMPARE(f.t.messages.texts(), QStringList{message});
    QCOMPARE(f.t.messages.shown.first().icon, MsgIcon::Critical);
    // The dialog stays, editable, with nothing to hand over.
    QVERIFY(d.isVisible() && d.isEnabled() && d.videoInfo().category.isEmpty());
    // Only a conversion tells the caller that the upload starts, and that it failed.
    QCOMPARE(started.size(), focus.isEmpty() ? 1 : 0);
    QCOMPARE(failed.size(), started.size());
    if (!focus.isEmpty())
        QCOMPARE(d.focusWidget()->objectName(), focus);
    else // after a failed conversion, with the texts as they now stand
        QCOMPARE(shown(d), u"bT/b|D|G|Film & Animation"_s);
}

void TestVideoInfoDialog::limits_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("before"); // characters already in the box
    QTest::addColumn<int>("back");   // the paste goes this many characters before their end
    QTest::addColumn<QString>("pasted");
    QTest::addColumn<int>("kept"); // how much of it stays
    const QString b100(100, u'b');
    QTest::newRow("title") << u"titleEdit"_s << 0 << 0 << b100 << 60;
    QTest::newRow("description, in the middle") << u"descriptionEdit"_s << 4990 << 10 << b100 << 9;
}

void TestVideoInfoDialog::limits()
{
    QFETCH(QString, box);
    QFETCH(int, before);
    QFETCH(int, back);
    QFETCH(QString, pasted);
    QFETCH(int, kept);
    Fixture f(m_site);
    VideoInfoDialog d(f.t.platform, QString());
    QWidget *w = d.findChild<QWidget *>(box);
    const QString start(before, u'a');
    for (const QString &text : {start, pasted}) {
        QGuiApplication::clipboard()->setText(text);
        QTest::keyClick(w, Qt::Key_V, Qt::ControlModifier);
        for (int i = 0; text == start && i < back; ++i)
            QTest::keyClick(w, Qt::Key_Left);
    }
    // What fits of the pasted text is kept, where it was put.
    QCOMPARE(w->property(w->inherits("QLineEdit") ? "text" : "plainText").toString(),
             start.left(before - back) + pasted.left(kept) + start.right(back));
}

void TestVideoInfoDialog::leaving_data()
{
    QTest::addColumn<bool>("escape");
    QTest::newRow("Cancel") << false;
    QTest::newRow("Esc") << true;
}

void TestVideoInfoDialog::leaving()
{
    QFETCH(bool, escape);
    Fixture f(m_site);
    VideoInfoDialog d(f.t.platform, u"Holiday clip.mpg"_s);
    QSignalSpy started(&d, &VideoInfoDialog::conversionStarted);
    d.show();
    // It opens with the suggested title, selected, and nothing chosen.
    QCOMPARE(shown(d), u"Holiday clip.mpg|||Please select..."_s);
    QCOMPARE(child<QLineEdit>(d, "titleEdit")->selectedText(), u"Holiday clip.mpg"_s);
    fill(d, u"T|D|G|Comedy"_s);
    if (escape)
        QTest::keyClick(child<QLineEdit>(d, "titleEdit"), Qt::Key_Escape);
    else
        clickButton(d, "cancelButton");
    QVERIFY(d.isHidden());
    QCOMPARE(d.result(), int(QDialog::Rejected));
    QVERIFY(started.isEmpty() && f.t.messages.shown.isEmpty());
}

void TestVideoInfoDialog::ok()
{
    Fixture f(m_site);
    VideoInfoDialog d(f.t.platform, QString());
    QSignalSpy started(&d, &VideoInfoDialog::conversionStarted);
    d.show();
    fill(d, u"50% off & more|caf\u00e9 \u65e5\u672c \U0001F3AC\n"
            "2 < 3 + 1 [_ULK-AMP_] %41%62c %zz %4|<a> caf\u00e9|Autos & Vehicles"_s);
    clickButton(d, "okButton");

    const VideoInfo info = d.videoInfo();
    QCOMPARE(info.title, QByteArray("50% off & more"));
    QCOMPARE(info.description, QByteArray("caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x8E\xAC"
                                          "\r\n2  3 + 1 & %41%62c %zz %4"));
    QCOMPARE(info.tags, QByteArray("a caf\xC3\xA9"));
    QCOMPARE(info.category, QByteArray("2")); // the first category
    QVERIFY(d.isHidden());
    QCOMPARE(d.result(), int(QDialog::Accepted));
    QCOMPARE(started.size(), 1);
}

QTEST_MAIN(TestVideoInfoDialog)
#include "tst_videoinfodialog.moc"
