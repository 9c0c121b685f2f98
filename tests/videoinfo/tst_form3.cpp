#include "videoinfo/form3.h"

#include "app/form1.h"
#include "doubles.h"
#include "platform/curlhttp.h"
#include "platform/widgets.h"
#include "site/winsock.h"
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
#include <QTimer>

#include <curl/curl.h>

using namespace Qt::StringLiterals;

namespace {

// A main window showing a chosen file, the site host led to the stand-in site.
// The conversion host, which may share its name with the site host, is
// routed last, to the site too unless told otherwise.
struct Fixture
{
    explicit Fixture(const SiteProcess &site, quint16 conversionPort = 0)
    {
        t.platform.routes.add(QString::fromLatin1(SiteHost), SitePort, u"127.0.0.1"_s,
                              site.sitePort());
        t.platform.routes.add(QString::fromLatin1(ConversionHost), SitePort, u"127.0.0.1"_s,
                              conversionPort ? conversionPort : site.sitePort());
        t.platform.http = &curl;
        main.Picture9->setVisible(false);
        main.Picture8->setVisible(true);
        main.Picture10->setVisible(true);
        main.videotitle = "old";
    }

    // The file-chosen display, and nothing of a successful OK.
    bool untouched() const
    {
        return main.Picture11->isHidden() && !main.Picture10->isHidden()
               && !main.Picture8->isHidden() && main.Label12->isHidden()
               && main.videotitle == "old" && main.Winsock1->RemoteHost().isEmpty();
    }

    TestPlatform t;
    CurlHttpRequest curl{t.platform.routes};
    Form1 main{t.platform}; // keeps references to the platform and its routes
};

// The boxes as "title|description|tags|category"; fill() takes the same form.
QString shown(const Form3 &d)
{
    return d.RichTextBox1->text() + u'|' + d.RichTextBox2->toPlainText() + u'|'
           + d.RichTextBox3->text() + u'|' + d.Combo1->currentText();
}

void fill(Form3 &d, const QString &boxes)
{
    const QStringList b = boxes.split(u'|');
    d.RichTextBox1->setText(b.at(0));
    d.RichTextBox2->setPlainText(b.at(1));
    d.RichTextBox3->setText(b.at(2));
    d.Combo1->setCurrentText(b.at(3));
}

} // namespace

class TestForm3 : public QObject
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
    void leaving();
    void ok();

private:
    SiteProcess m_site;
};

void TestForm3::refused_data()
{
    QTest::addColumn<QString>("boxes");
    QTest::addColumn<int>("service"); // conversion host: 0 the site, 1 nowhere, 2 the upload server
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focus"); // where a check puts it
    QTest::newRow("title of spaces") << u"   |D|G|Comedy"_s << 0
                                     << u"Please enter a TITLE for your video."_s
                                     << u"RichTextBox1"_s;
    QTest::newRow("description of spaces")
        << u"T|  ||"_s << 0 << u"Please enter a meaningful description for your video."_s
        << u"RichTextBox2"_s;
    QTest::newRow("no category")
        << u"T|D||"_s << 0 << u"Please select a category for your video."_s << u"Combo1"_s;
    QTest::newRow("tags of spaces")
        << u"T|D|  |Comedy"_s << 0
        << u"Please enter some TAGS in order for your video to be found easily.\r\n\r\n"
           "Seperate your tags by spaces."_s
        << u"RichTextBox3"_s;
    const QString boxes = u"<b>T</b>|D|G|Film & Animation"_s;
    QTest::newRow("conversion service unreachable")
        << boxes << 1 << u"Connection error!"_s << QString();
    QTest::newRow("conversion answer without markers") // the upload server's "not found" page
        << boxes << 2 << u"Connection error!"_s << QString();
}

void TestForm3::refused()
{
    QFETCH(QString, boxes);
    QFETCH(int, service);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    QTcpServer probe; // its port is closed again before the request
    QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
    Fixture f(m_site, service == 1 ? probe.serverPort() : service == 2 ? m_site.uploadPort() : 0);
    probe.close();
    Form3 d(f.main);
    d.show();
    fill(d, boxes);
    d.Picture1->setFocus();
    QTest::keyClick(d.Picture1, Qt::Key_Space); // OK
    QCOMPARE(f.t.messages.texts(), QStringList{message});
    QCOMPARE(f.t.messages.shown.first().icon, MsgIcon::Critical);
    // The dialog stays, editable; nothing of an OK reaches the main window.
    QVERIFY(d.isVisible() && d.isEnabled() && f.untouched());
    if (!focus.isEmpty())
        QCOMPARE(d.focusWidget()->objectName(), focus);
    else // after a failed conversion, with the texts as they now stand
        QCOMPARE(shown(d), u"bT/b|D|G|Film & Animation"_s);
}

void TestForm3::limits_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("before"); // characters already in the box
    QTest::addColumn<int>("back");   // the paste goes this many characters before their end
    QTest::addColumn<QString>("pasted");
    QTest::addColumn<int>("kept"); // how much of it stays
    const QString b100(100, u'b');
    QTest::newRow("title") << u"RichTextBox1"_s << 0 << 0 << b100 << 60;
    QTest::newRow("description, in the middle") << u"RichTextBox2"_s << 4990 << 10 << b100 << 9;
    QTest::newRow("description, no half emoji")
        << u"RichTextBox2"_s << 4998 << 0 << u"\U0001F3AC\U0001F3AC"_s << 0;
    QTest::newRow("tags") << u"RichTextBox3"_s << 100 << 0 << b100 << 20;
}

void TestForm3::limits()
{
    QFETCH(QString, box);
    QFETCH(int, before);
    QFETCH(int, back);
    QFETCH(QString, pasted);
    QFETCH(int, kept);
    Fixture f(m_site);
    Form3 d(f.main);
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

void TestForm3::leaving()
{
    Fixture f(m_site);
    f.main.fname = QCoreApplication::applicationFilePath(); // any existing file
    f.main.Picture11->setVisible(true); // whatever it shows, the main window returns to File chosen
    // Opened from the main window and left by Cancel, then by Esc: each time
    // afresh with the file's name as its title, and nothing of an OK behind.
    QStringList seen;
    for (bool esc : {false, true}) {
        QTimer::singleShot(0, [&] {
            Form3 &d = *qobject_cast<Form3 *>(QApplication::activeModalWidget());
            seen << shown(d);
            fill(d, u"T|D|G|Comedy"_s);
            if (esc)
                QTest::keyClick(d.RichTextBox1, Qt::Key_Escape);
            else
                QTest::mouseClick(d.Picture2->hotspot(), Qt::LeftButton);
            seen << (d.isHidden() ? u"closed"_s : u"open"_s);
            d.reject();
        });
        f.main.Label5_Click();
        QVERIFY(f.t.messages.shown.isEmpty() && f.untouched());
    }
    const QString fresh = u"tst_form3|||Please select..."_s;
    QCOMPARE(seen, QStringList({fresh, u"closed"_s, fresh, u"closed"_s}));
}

void TestForm3::ok()
{
    Fixture f(m_site);
    Form3 d(f.main);
    d.show();
    fill(d, u"50% off & more|caf\u00e9 \u65e5\u672c \U0001F3AC\n"
            "2 < 3 + 1 [_ULK-AMP_] %41%62c %zz %4|<a> caf\u00e9|Autos & Vehicles"_s);
    QSignalSpy connected(f.main.Winsock1, &Winsock::connected);
    d.Label3_Click();

    QCOMPARE(f.main.videotitle, QByteArray("50% off & more"));
    QCOMPARE(f.main.videodscr, QByteArray("caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x8E\xAC"
                                           "\r\n2  3 + 1 & %41%62c %zz %4"));
    QCOMPARE(f.main.videotags, QByteArray("a caf\xC3\xA9"));
    QCOMPARE(f.main.videocat, QByteArray("2")); // the first category
    QVERIFY(d.isHidden());
    QTRY_COMPARE_WITH_TIMEOUT(connected.size(), 1, 5000);
}

QTEST_MAIN(TestForm3)
#include "tst_form3.moc"
