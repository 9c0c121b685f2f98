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

#include <functional>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

// A main window showing a chosen file. The site host leads to the stand-in
// site; the conversion host, which may share its name with the site host,
// has routes of its own and leads to the site too unless told otherwise.
struct Fixture
{
    explicit Fixture(const SiteProcess &site, quint16 conversionPort = 0)
    {
        t.platform.routes.add(QString::fromLatin1(SiteHost), SitePort, u"127.0.0.1"_s,
                              site.sitePort());
        conversionRoutes.add(QString::fromLatin1(ConversionHost), SitePort, u"127.0.0.1"_s,
                             conversionPort ? conversionPort : site.sitePort());
        t.platform.http = &curl;
        main = std::make_unique<Form1>(t.platform);
        main->Picture9->setVisible(false);
        main->Picture8->setVisible(true);
        main->Picture10->setVisible(true);
        main->videotitle = main->videodscr = main->videotags = "old";
        main->videocat = "99";
    }

    // The file-chosen display, and nothing of a successful OK.
    bool untouched() const
    {
        const Form1 &m = *main;
        return m.Picture11->isHidden() && !m.Picture10->isHidden() && !m.Picture8->isHidden()
               && m.Label12->isHidden() && m.videotitle == "old" && m.videodscr == "old"
               && m.videotags == "old" && m.videocat == "99" && m.Winsock1->RemoteHost().isEmpty();
    }

    TestPlatform t;
    RouteTable conversionRoutes;
    CurlHttpRequest curl{conversionRoutes};
    std::unique_ptr<Form1> main;
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

// Runs `work` on the modal dialog once its event loop runs, then closes
// whatever modal window is still open.
void whenOpen(std::function<void(Form3 &)> work)
{
    QTimer::singleShot(0, [work] {
        if (auto *d = qobject_cast<Form3 *>(QApplication::activeModalWidget()))
            work(*d);
        if (QWidget *open = QApplication::activeModalWidget())
            open->close();
    });
}

} // namespace

class TestForm3 : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void checks_data();
    void checks();
    void limits_data();
    void limits();
    void leaving_data();
    void leaving();
    void ok_data();
    void ok();
    void conversionFails_data();
    void conversionFails();

private:
    SiteProcess m_site;
};

void TestForm3::initTestCase()
{
    curl_global_init(CURL_GLOBAL_DEFAULT);
    QVERIFY2(m_site.start(), qPrintable(m_site.errorString()));
}

void TestForm3::cleanupTestCase()
{
    QVERIFY(m_site.stop());
    curl_global_cleanup();
}

void TestForm3::checks_data()
{
    QTest::addColumn<QString>("boxes");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focus");
    const QString title = u"Please enter a TITLE for your video."_s;
    QTest::newRow("all empty") << u"|||"_s << title << u"RichTextBox1"_s;
    QTest::newRow("title of spaces") << u"   |D|G|Comedy"_s << title << u"RichTextBox1"_s;
    QTest::newRow("description of spaces")
        << u"T|  ||"_s << u"Please enter a meaningful description for your video."_s
        << u"RichTextBox2"_s;
    QTest::newRow("no category") << u"T|D||"_s << u"Please select a category for your video."_s
                                 << u"Combo1"_s;
    QTest::newRow("tags of spaces")
        << u"T|D|  |Comedy"_s
        << u"Please enter some TAGS in order for your video to be found easily.\r\n\r\n"
           "Seperate your tags by spaces."_s
        << u"RichTextBox3"_s;
}

void TestForm3::checks()
{
    QFETCH(QString, boxes);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    Fixture f(m_site);
    Form3 d(*f.main);
    d.show();
    fill(d, boxes);
    d.Picture1->setFocus();
    QTest::keyClick(d.Picture1, Qt::Key_Space); // OK

    QCOMPARE(f.t.messages.texts(), QStringList{message});
    QCOMPARE(f.t.messages.shown.first().icon, MsgIcon::Critical);
    QCOMPARE(d.focusWidget()->objectName(), focus);
    QVERIFY(d.isVisible() && d.isEnabled());
    QVERIFY(f.untouched());
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
    QTest::newRow("description full") << u"RichTextBox2"_s << 4999 << 0 << u"b"_s << 0;
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
    Form3 d(*f.main);
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

void TestForm3::leaving_data()
{
    QTest::addColumn<QString>("way");
    QTest::newRow("Cancel") << u"cancel"_s;
    QTest::newRow("Esc") << u"esc"_s;
    QTest::newRow("close box") << u"close"_s;
}

void TestForm3::leaving()
{
    QFETCH(QString, way);
    Fixture f(m_site);
    f.main->fname = QCoreApplication::applicationFilePath(); // any existing file
    // Whatever the main window showed, it returns to its file-chosen display.
    f.main->Picture11->setVisible(true);
    f.main->Label12->setVisible(true);
    f.main->Picture8->setVisible(false);
    QStringList seen;
    bool closed = false;
    whenOpen([&](Form3 &d) {
        seen << shown(d);
        fill(d, u"T|D|G|Comedy"_s);
        if (way == u"cancel")
            QTest::mouseClick(d.Picture2->hotspot(), Qt::LeftButton);
        else if (way == u"esc")
            QTest::keyClick(d.RichTextBox1, Qt::Key_Escape);
        else
            d.close();
        closed = d.isHidden();
    });
    f.main->Label5_Click();
    QVERIFY(closed);
    QVERIFY(f.t.messages.shown.isEmpty());
    QVERIFY(f.untouched());

    // Opened again, it starts afresh with the file's name as its title.
    whenOpen([&](Form3 &d) { seen << shown(d); });
    f.main->Label5_Click();
    const QString fresh = u"tst_form3|||Please select..."_s;
    QCOMPARE(seen, QStringList({fresh, fresh}));
}

void TestForm3::ok_data()
{
    QTest::addColumn<QString>("category");
    QTest::addColumn<QByteArray>("videocat");
    QTest::newRow("first category") << u"Autos & Vehicles"_s << QByteArray("2");
    QTest::newRow("last category") << u"Travel & Events"_s << QByteArray("19");
}

void TestForm3::ok()
{
    QFETCH(QString, category);
    QFETCH(QByteArray, videocat);
    Fixture f(m_site);
    Form3 d(*f.main);
    d.show();
    fill(d, u"50% off & more|caf\u00e9 \u65e5\u672c \U0001F3AC\n"
            "2 < 3 + 1 [_ULK-AMP_] %41%62c %zz %4|<a> caf\u00e9|"_s + category);
    QSignalSpy connected(f.main->Winsock1, &Winsock::connected);
    d.Label3_Click();

    QVERIFY2(f.t.messages.shown.isEmpty(), qPrintable(f.t.messages.texts().join(u'\n')));
    QCOMPARE(f.main->videotitle, QByteArray("50% off & more"));
    QCOMPARE(f.main->videodscr, QByteArray("caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x8E\xAC"
                                           "\r\n2  3 + 1 & %41%62c %zz %4"));
    QCOMPARE(f.main->videotags, QByteArray("a caf\xC3\xA9"));
    QCOMPARE(f.main->videocat, videocat);
    QVERIFY(d.isHidden());
    QTRY_COMPARE_WITH_TIMEOUT(connected.size(), 1, 5000);
}

void TestForm3::conversionFails_data()
{
    QTest::addColumn<bool>("unreachable");
    QTest::newRow("unreachable service") << true;
    QTest::newRow("answer without markers") << false; // the upload server's "not found" page
}

void TestForm3::conversionFails()
{
    QFETCH(bool, unreachable);
    QTcpServer probe; // its port is closed again before the request
    QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
    Fixture f(m_site, unreachable ? probe.serverPort() : m_site.uploadPort());
    probe.close();
    Form3 d(*f.main);
    d.show();
    fill(d, u"<b>T</b>|D|G|Film & Animation"_s);
    d.Label3_Click();

    QCOMPARE(f.t.messages.texts(), QStringList{u"Connection error!"_s});
    // The dialog stays, editable, with the texts as they now stand.
    QVERIFY(d.isVisible() && d.isEnabled());
    QCOMPARE(shown(d), u"bT/b|D|G|Film & Animation"_s);
    QVERIFY(f.untouched());
}

QTEST_MAIN(TestForm3)
#include "tst_form3.moc"
