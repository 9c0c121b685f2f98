#include "engine/protocol/textconversion.h"

#include <QTest>

using namespace Qt::StringLiterals;
using namespace uplark;

class TestConversion : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void answer_data();
    void answer();
};

// The way of the texts to the service (brackets out, CR LF breaks, tokens)
// is checked whole by the video information dialog's OK against the
// stand-in site; here the reading of answers the site's service may give.
void TestConversion::answer_data()
{
    QTest::addColumn<QByteArray>("section"); // an answer section
    QTest::addColumn<QByteArray>("result");  // the bytes that section yields
    QTest::newRow("tokens") << QByteArray("50[_ULK-PERCENT_][_ULK-SPACE_][_ULK-AMP_][_ULK-CRLF_]x")
                            << QByteArray("50% &\r\nx");
    QTest::newRow("escapes, hex digits in either case")
        << QByteArray("%41%62c%e9%E9") << QByteArray("Abc\xE9\xE9");
    QTest::newRow("%zz and %4 at the end stay") << QByteArray("%zzx%4") << QByteArray("%zzx%4");
    QTest::newRow("plain spaces and breaks")
        << QByteArray("a b\r\nc\nd") << QByteArray("a b\r\nc\nd");
}

void TestConversion::answer()
{
    QFETCH(QByteArray, section);
    QFETCH(QByteArray, result);
    // The sections in another order than asked, among other text.
    const QByteArray answer = "<html><TAGS>" + section + "</TAGS>\r\n<TITLE>" + section
                              + "</TITLE><DSCR>" + section + "</DSCR></html>";
    QVERIFY(hasConversionSections(answer));
    const ConvertedTexts t = readConversionAnswer(answer);
    QCOMPARE(t.title, result);
    QCOMPARE(t.description, result);
    QCOMPARE(t.tags, result);
    // Without "</TAGS>" the tags run to the end of the answer.
    QCOMPARE(readConversionAnswer("<TITLE></TITLE><DSCR></DSCR><TAGS>" + section).tags, result);
    // A page without the sections, such as a server's "not found", is no answer.
    QVERIFY(!hasConversionSections("<html>" + section + "</html>"));
}

QTEST_GUILESS_MAIN(TestConversion)
#include "tst_textconversion.moc"
