#include "videoinfo/conversion.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestConversion : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void angleBrackets_data();
    void angleBrackets();
    void lineBreaks_data();
    void lineBreaks();
    void placeholders_data();
    void placeholders();
    void body();
    void sections_data();
    void sections();
    void decoding_data();
    void decoding();
    void wholeAnswer_data();
    void wholeAnswer();
};

void TestConversion::angleBrackets_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("cleaned");
    QTest::newRow("2 < 3") << u"2 < 3"_s << u"2  3"_s;
    QTest::newRow("tag") << u"<b>bold</b>"_s << u"bbold/b"_s;
    QTest::newRow("only brackets") << u"<<>><"_s << QString();
    QTest::newRow("nothing to remove") << u"a & b % c"_s << u"a & b % c"_s;
}

void TestConversion::angleBrackets()
{
    QFETCH(QString, text);
    QFETCH(QString, cleaned);
    QCOMPARE(RemoveAngleBrackets(text), cleaned);
}

void TestConversion::lineBreaks_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("crlf");
    QTest::newRow("LF") << u"a\nb"_s << u"a\r\nb"_s;
    QTest::newRow("CR LF stays one break") << u"a\r\nb"_s << u"a\r\nb"_s;
    QTest::newRow("lone CR") << u"a\rb"_s << u"a\r\nb"_s;
    QTest::newRow("LF CR is two breaks") << u"a\n\rb"_s << u"a\r\n\r\nb"_s;
    QTest::newRow("empty lines") << u"\n\n"_s << u"\r\n\r\n"_s;
    QTest::newRow("paragraph separator") << u"a\u2029b"_s << u"a\r\nb"_s;
    QTest::newRow("line separator") << u"a\u2028b"_s << u"a\r\nb"_s;
    QTest::newRow("no break") << u"caf\u00e9 au lait"_s << u"caf\u00e9 au lait"_s;
}

void TestConversion::lineBreaks()
{
    QFETCH(QString, text);
    QFETCH(QString, crlf);
    QCOMPARE(LineBreaksToCrLf(text), crlf);
}

void TestConversion::placeholders_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("encoded");
    QTest::newRow("50% off & more")
        << u"50% off & more"_s
        << u"50[_ULK-PERCENT_][_ULK-SPACE_]off[_ULK-SPACE_][_ULK-AMP_][_ULK-SPACE_]more"_s;
    QTest::newRow("two lines") << u"a\r\nb"_s << u"a[_ULK-CRLF_]b"_s;
    QTest::newRow("lone LF and CR have no token") << u"a\nb\rc"_s << u"a\nb\rc"_s;
    QTest::newRow("CR CR LF") << u"a\r\r\nb"_s << u"a\r[_ULK-CRLF_]b"_s;
    QTest::newRow("2 < 3 after cleaning") << u"2  3"_s << u"2[_ULK-SPACE_][_ULK-SPACE_]3"_s;
    QTest::newRow("plus, equals and friends stay") << u"a+b=c?d#e\tf"_s << u"a+b=c?d#e\tf"_s;
    QTest::newRow("non-ASCII stays") << u"caf\u00e9"_s << u"caf\u00e9"_s;
    QTest::newRow("literal token stays") << u"[_ULK-AMP_]"_s << u"[_ULK-AMP_]"_s;
    QTest::newRow("escape-like text") << u"%41"_s << u"[_ULK-PERCENT_]41"_s;
    QTest::newRow("empty") << QString() << QString();
}

void TestConversion::placeholders()
{
    QFETCH(QString, text);
    QFETCH(QString, encoded);
    QCOMPARE(EncodePlaceholders(text), encoded);
}

void TestConversion::body()
{
    QCOMPARE(ConversionBody(u"caf\u00e9"_s, u"a[_ULK-CRLF_]b"_s, u"x+y"_s),
             QByteArray("title=caf\xC3\xA9&dscr=a[_ULK-CRLF_]b&tags=x+y"));
    QCOMPARE(ConversionBody({}, {}, {}), QByteArray("title=&dscr=&tags="));
    QCOMPARE(ConversionUrl("localhost"), QByteArray("http://localhost/conversions/str.asp"));
}

void TestConversion::sections_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<bool>("complete");
    QTest::addColumn<QByteArray>("title");
    QTest::addColumn<QByteArray>("dscr");
    QTest::addColumn<QByteArray>("tags");
    QTest::newRow("plain") << QByteArray("<TITLE>t</TITLE><DSCR>d</DSCR><TAGS>g</TAGS>") << true
                           << QByteArray("t") << QByteArray("d") << QByteArray("g");
    QTest::newRow("any order, other text around")
        << QByteArray("<html>\r\n<TAGS>g</TAGS> x <DSCR>d</DSCR>\n<TITLE>t</TITLE></html>") << true
        << QByteArray("t") << QByteArray("d") << QByteArray("g");
    QTest::newRow("missing </TAGS> runs to the end")
        << QByteArray("<TITLE>t</TITLE><DSCR>d</DSCR><TAGS>g h\r\n</body>") << true
        << QByteArray("t") << QByteArray("d") << QByteArray("g h\r\n</body>");
    QTest::newRow("missing </TITLE> runs to the next <TITLE>")
        << QByteArray("<TITLE>t<DSCR>d</DSCR><TAGS>g</TAGS><TITLE>again") << true
        << QByteArray("t<DSCR>d</DSCR><TAGS>g</TAGS>") << QByteArray("d") << QByteArray("g");
    QTest::newRow("empty sections") << QByteArray("<TITLE></TITLE><DSCR></DSCR><TAGS></TAGS>")
                                    << true << QByteArray() << QByteArray() << QByteArray();
    QTest::newRow("markers are case-sensitive")
        << QByteArray("<title>t</title><DSCR>d</DSCR><TAGS>g</TAGS>") << false << QByteArray()
        << QByteArray("d") << QByteArray("g");
    QTest::newRow("no <DSCR>") << QByteArray("<TITLE>t</TITLE><TAGS>g</TAGS>") << false
                               << QByteArray("t") << QByteArray() << QByteArray("g");
    QTest::newRow("error page") << QByteArray("<h1>404 Not Found</h1>") << false << QByteArray()
                                << QByteArray() << QByteArray();
}

void TestConversion::sections()
{
    QFETCH(QByteArray, answer);
    QFETCH(bool, complete);
    QFETCH(QByteArray, title);
    QFETCH(QByteArray, dscr);
    QFETCH(QByteArray, tags);
    QCOMPARE(HasConversionSections(answer), complete);
    QCOMPARE(TitleSection(answer), title);
    QCOMPARE(DescriptionSection(answer), dscr);
    QCOMPARE(TagsSection(answer), tags);
}

void TestConversion::decoding_data()
{
    QTest::addColumn<QByteArray>("section");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("%41%62c") << QByteArray("%41%62c") << QByteArray("Abc");
    QTest::newRow("%e9") << QByteArray("%e9") << QByteArray("\xE9");
    QTest::newRow("%E9") << QByteArray("%E9") << QByteArray("\xE9");
    QTest::newRow("café") << QByteArray("caf%C3%A9") << QByteArray("caf\xC3\xA9");
    QTest::newRow("%00") << QByteArray("a%00b") << QByteArray("a\0b", 3);
    QTest::newRow("%zz is kept") << QByteArray("%zz") << QByteArray("%zz");
    QTest::newRow("one hex digit") << QByteArray("%4g") << QByteArray("%4g");
    QTest::newRow("%4 at the end") << QByteArray("x%4") << QByteArray("x%4");
    QTest::newRow("% at the end") << QByteArray("x%") << QByteArray("x%");
    QTest::newRow("%% then an escape") << QByteArray("%%41") << QByteArray("%A");
    QTest::newRow("sign is not a digit") << QByteArray("%+1%-1% 1") << QByteArray("%+1%-1% 1");
    QTest::newRow("+ is not a space") << QByteArray("a+b%2B") << QByteArray("a+b+");
    QTest::newRow("tokens, spaces and breaks pass")
        << QByteArray("a b\r\n[_ULK-SPACE_]") << QByteArray("a b\r\n[_ULK-SPACE_]");
}

void TestConversion::decoding()
{
    QFETCH(QByteArray, section);
    QFETCH(QByteArray, bytes);
    QCOMPARE(DecodePercentEscapes(section), bytes);
}

void TestConversion::wholeAnswer_data()
{
    QTest::addColumn<QByteArray>("section");
    QTest::addColumn<QByteArray>("result");
    QTest::newRow("50% off & more")
        << QByteArray("50[_ULK-PERCENT_][_ULK-SPACE_]off[_ULK-SPACE_][_ULK-AMP_][_ULK-SPACE_]more")
        << QByteArray("50% off & more");
    QTest::newRow("café") << QByteArray("caf%C3%A9") << QByteArray("caf\xC3\xA9");
    QTest::newRow("two lines") << QByteArray("a[_ULK-CRLF_]b") << QByteArray("a\r\nb");
    QTest::newRow("a typed percent is never an escape")
        << QByteArray("[_ULK-PERCENT_]41") << QByteArray("%41");
    QTest::newRow("literal token comes back as its character")
        << QByteArray("[_ULK-AMP_]") << QByteArray("&");
    QTest::newRow("token written with escapes")
        << QByteArray("%5B_ULK-SPACE_%5D") << QByteArray(" ");
    QTest::newRow("plain spaces and breaks stay") << QByteArray("a b\r\nc\nd")
                                                  << QByteArray("a b\r\nc\nd");
}

void TestConversion::wholeAnswer()
{
    QFETCH(QByteArray, section);
    QFETCH(QByteArray, result);
    // The same text in each section, each section in another place.
    const QByteArray answer = "<TAGS>" + section + "</TAGS>junk<TITLE>" + section
                              + "</TITLE>\r\n<DSCR>" + section + "</DSCR>";
    const ConvertedTexts t = ReadConversionAnswer(answer);
    QCOMPARE(t.title, result);
    QCOMPARE(t.dscr, result);
    QCOMPARE(t.tags, result);
    QCOMPARE(t.decodedTitle, DecodePercentEscapes(section));
}

QTEST_GUILESS_MAIN(TestConversion)
#include "tst_conversion.moc"
