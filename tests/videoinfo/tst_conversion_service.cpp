// The whole OK of the video information dialog against the stand-in
// conversion service, run as a separate process, through the real libcurl
// request.
#include "formfixture.h"
#include "platform/curlhttp.h"
#include "siteprocess.h"

#include <QComboBox>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>

#include <curl/curl.h>

using namespace Qt::StringLiterals;

class TestConversionService : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void convert_data();
    void convert();

private:
    SiteProcess m_site;
};

void TestConversionService::initTestCase()
{
    curl_global_init(CURL_GLOBAL_DEFAULT);
    QVERIFY2(m_site.start(), qPrintable(m_site.errorString()));
}

void TestConversionService::cleanupTestCase()
{
    QVERIFY(m_site.stop());
    curl_global_cleanup();
}

void TestConversionService::convert_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("dscr");
    QTest::addColumn<QString>("tags");
    QTest::addColumn<QByteArray>("videotitle");
    QTest::addColumn<QByteArray>("videodscr");
    QTest::addColumn<QByteArray>("videotags");

    QTest::newRow("50% off & more")
        << u"50% off & more"_s << u"Sale: 50% off & more"_s << u"sale & deals"_s
        << QByteArray("50% off & more") << QByteArray("Sale: 50% off & more")
        << QByteArray("sale & deals");
    QTest::newRow("café and other letters")
        << u"caf\u00e9"_s << u"\u00dcber \u65e5\u672c \U0001F3AC"_s << u"na\u00efve"_s
        << QByteArray("caf\xC3\xA9")
        << QByteArray("\xC3\x9C"
                      "ber \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x8E\xAC")
        << QByteArray("na\xC3\xAF"
                      "ve");
    QTest::newRow("two lines, lone LF set by code")
        << u"T"_s << u"a\nb\r\nc\n\nd"_s << u"g"_s << QByteArray("T")
        << QByteArray("a\r\nb\r\nc\r\n\r\nd") << QByteArray("g");
    QTest::newRow("2 < 3") << u"2 < 3"_s << u"<p>x > y</p>"_s << u"<a> b"_s << QByteArray("2  3")
                           << QByteArray("px  y/p") << QByteArray("a b");
    QTest::newRow("plus and other URL characters")
        << u"a+b=c?d#e"_s << u"1+1=2; x/y\\z \"q\" 'r'"_s << u"c++ tab\there"_s
        << QByteArray("a+b=c?d#e") << QByteArray("1+1=2; x/y\\z \"q\" 'r'")
        << QByteArray("c++ tab\there");
    QTest::newRow("literal tokens and escapes")
        << u"[_ULK-AMP_] [_ULK-SPACE_]"_s << u"%41%62c [_ULK-PERCENT_]41"_s
        << u"%zz %4 100%"_s << QByteArray("&  ") << QByteArray("%41%62c %41")
        << QByteArray("%zz %4 100%");
    QTest::newRow("spaces at the ends") << u"  T  "_s << u" D "_s << u" a  b "_s
                                        << QByteArray("  T  ") << QByteArray(" D ")
                                        << QByteArray(" a  b ");
}

void TestConversionService::convert()
{
    QFETCH(QString, title);
    QFETCH(QString, dscr);
    QFETCH(QString, tags);
    QFETCH(QByteArray, videotitle);
    QFETCH(QByteArray, videodscr);
    QFETCH(QByteArray, videotags);

    MainWindowFixture f;
    RouteTable conversionRoutes;
    conversionRoutes.add(QString::fromLatin1(ConversionHost), SitePort, u"127.0.0.1"_s,
                         m_site.sitePort());
    CurlHttpRequest curl(conversionRoutes);
    f.t.platform.http = &curl;

    Form3 d(*f.main);
    d.show();
    d.RichTextBox1->setText(title);
    d.RichTextBox2->setPlainText(dscr);
    d.Combo1->setCurrentText(u"Science & Technology"_s);
    d.RichTextBox3->setText(tags);
    QSignalSpy arrived(&f.site, &QTcpServer::newConnection);
    d.Label3_Click();

    QVERIFY2(f.t.messages.shown.isEmpty(), qPrintable(f.t.messages.texts().join(u'\n')));
    QCOMPARE(f.main->videotitle, videotitle);
    QCOMPARE(f.main->videodscr, videodscr);
    QCOMPARE(f.main->videotags, videotags);
    QCOMPARE(f.main->videocat, QByteArray("28"));
    QVERIFY(d.Text1.contains(u"<TITLE>"_s));
    QVERIFY(d.isHidden());
    QVERIFY(f.uploading());
    // The login connection goes to the site host, port 80.
    QCOMPARE(f.main->Winsock1->RemoteHost(), QString::fromLatin1(SiteHost));
    QTRY_COMPARE_WITH_TIMEOUT(arrived.size(), 1, 5000);
}

QTEST_MAIN(TestConversionService)
#include "tst_conversion_service.moc"
