#include "videoinfo/conversion.h"

#include <QTest>

using namespace Qt::StringLiterals;
using namespace uplark;

class TestConversion : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void roundTrip_data();
    void roundTrip();
};

void TestConversion::roundTrip_data()
{
    QTest::addColumn<QString>("text");       // typed; null when only the answer side is tested
    QTest::addColumn<QByteArray>("sent");    // what the text travels as
    QTest::addColumn<QByteArray>("section"); // an answer section
    QTest::addColumn<QByteArray>("result");  // the bytes that section yields

    const auto row = [](const char *name, const QString &text, const QByteArray &sent,
                        const QByteArray &section, const QByteArray &result) {
        QTest::newRow(name) << text << sent << section << result;
    };
    const QByteArray sale = "50[_ULK-PERCENT_][_ULK-SPACE_]off[_ULK-SPACE_][_ULK-AMP_]"
                            "[_ULK-SPACE_]more";
    row("50% off & more", u"50% off & more"_s, sale, sale, "50% off & more");
    row("café", u"caf\u00e9"_s, "caf\xC3\xA9", "caf%C3%A9", "caf\xC3\xA9");
    row("two lines", u"a\nb"_s, "a[_ULK-CRLF_]b", "a[_ULK-CRLF_]b", "a\r\nb");
    row("2 < 3+1: bracket out, + stays", u"2 < 3+1"_s, "2[_ULK-SPACE_][_ULK-SPACE_]3+1",
        "2[_ULK-SPACE_][_ULK-SPACE_]3+1", "2  3+1");
    row("literal token", u"[_ULK-AMP_]"_s, "[_ULK-AMP_]", "[_ULK-AMP_]", "&");
    row("typed %41 is no escape", u"%41"_s, "[_ULK-PERCENT_]41", "[_ULK-PERCENT_]41", "%41");
    row("escapes, hex digits in either case", {}, {}, "%41%62c%e9%E9", "Abc\xE9\xE9");
    row("%zz and %4 at the end stay", {}, {}, "%zzx%4", "%zzx%4");
    row("plain spaces and breaks", {}, {}, "a b\r\nc\nd", "a b\r\nc\nd");
}

void TestConversion::roundTrip()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, sent);
    QFETCH(QByteArray, section);
    QFETCH(QByteArray, result);

    if (!text.isNull()) {
        // The way of the description: brackets out, CR LF breaks, tokens.
        const QString p = EncodePlaceholders(LineBreaksToCrLf(RemoveAngleBrackets(text)));
        QCOMPARE(ConversionBody(p, p, p), "title=" + sent + "&dscr=" + sent + "&tags=" + sent);
    }

    // The sections in another order than asked, among other text.
    const QByteArray answer = "<html><TAGS>" + section + "</TAGS>\r\n<TITLE>" + section
                              + "</TITLE><DSCR>" + section + "</DSCR></html>";
    QVERIFY(HasConversionSections(answer));
    const ConvertedTexts t = ReadConversionAnswer(answer);
    QCOMPARE(t.title, result);
    QCOMPARE(t.dscr, result);
    QCOMPARE(t.tags, result);
    // Without "</TAGS>" the tags run to the end of the answer.
    QCOMPARE(ReadConversionAnswer("<TITLE></TITLE><DSCR></DSCR><TAGS>" + section).tags, result);
}

QTEST_GUILESS_MAIN(TestConversion)
#include "tst_conversion.moc"
