// Percent decoding as form bodies, queries and the conversion answer use it.
#include "common/percentcoding.h"

#include <QTest>

class TestPercentCoding : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void decode_data();
    void decode();
};

void TestPercentCoding::decode_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("plusAsSpace");
    QTest::addColumn<QByteArray>("decoded");
    QTest::newRow("upper-case hex") << QByteArray("%41%42c") << false << QByteArray("ABc");
    QTest::newRow("lower-case hex, UTF-8 bytes")
        << QByteArray("caf%c3%a9") << false << QByteArray("caf\xC3\xA9");
    QTest::newRow("NUL") << QByteArray("a%00b") << false << QByteArray("a\0b", 3);
    QTest::newRow("escape at the very end") << QByteArray("50%25") << false << QByteArray("50%");
    QTest::newRow("lone % at the end") << QByteArray("100%") << false << QByteArray("100%");
    QTest::newRow("one hex digit at the end") << QByteArray("x%4") << false << QByteArray("x%4");
    QTest::newRow("not hex") << QByteArray("%G1%1G") << false << QByteArray("%G1%1G");
    QTest::newRow("% before an escape") << QByteArray("%%41") << false << QByteArray("%A");
    QTest::newRow("short escape before an escape")
        << QByteArray("%4%41") << false << QByteArray("%4A");
    QTest::newRow("decoded % starts nothing") << QByteArray("%2541") << false << QByteArray("%41");
    QTest::newRow("plus kept") << QByteArray("a+b") << false << QByteArray("a+b");
    QTest::newRow("plus as space") << QByteArray("a+b") << true << QByteArray("a b");
    QTest::newRow("escaped plus stays a plus")
        << QByteArray("a%2Bb+c") << true << QByteArray("a+b c");
    QTest::newRow("empty") << QByteArray("") << true << QByteArray("");
}

void TestPercentCoding::decode()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, plusAsSpace);
    QTEST(common::percentDecode(text, plusAsSpace), "decoded");
}

QTEST_GUILESS_MAIN(TestPercentCoding)
#include "tst_percentcoding.moc"
