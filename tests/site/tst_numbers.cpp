#include "site/numbers.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestNumbers : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void halfEven_data();
    void halfEven();
    void megabytes_data();
    void megabytes();
    void kilobytes_data();
    void kilobytes();
};

void TestNumbers::halfEven_data()
{
    QTest::addColumn<qint64>("num");
    QTest::addColumn<qint64>("den");
    QTest::addColumn<qint64>("expected");
    QTest::newRow("0.5 -> 0") << qint64(1) << qint64(2) << qint64(0);
    QTest::newRow("1.5 -> 2") << qint64(3) << qint64(2) << qint64(2);
    QTest::newRow("2.5 -> 2") << qint64(5) << qint64(2) << qint64(2);
    QTest::newRow("2.49 -> 2") << qint64(249) << qint64(100) << qint64(2);
    QTest::newRow("2.51 -> 3") << qint64(251) << qint64(100) << qint64(3);
    QTest::newRow("-0.5 -> 0") << qint64(-1) << qint64(2) << qint64(0);
    QTest::newRow("-1.5 -> -2") << qint64(-3) << qint64(2) << qint64(-2);
    QTest::newRow("-2.5 -> -2") << qint64(-5) << qint64(2) << qint64(-2);
    QTest::newRow("-2.6 -> -3") << qint64(-26) << qint64(10) << qint64(-3);
}

void TestNumbers::halfEven()
{
    QFETCH(qint64, num);
    QFETCH(qint64, den);
    QFETCH(qint64, expected);
    QCOMPARE(DivRoundHalfEven(num, den), expected);
}

void TestNumbers::megabytes_data()
{
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<QString>("english");
    QTest::addColumn<QString>("german");

    QTest::newRow("exactly 100 MB") << qint64(104857600) << u"100"_s << u"100"_s;
    QTest::newRow("largest that rounds to 100") << qint64(104862842) << u"100"_s << u"100"_s;
    QTest::newRow("first over 100") << qint64(104862843) << u"100.01"_s << u"100,01"_s;
    QTest::newRow("empty") << qint64(0) << u"0"_s << u"0"_s;
    QTest::newRow("a million bytes") << qint64(1000000) << u"0.95"_s << u"0,95"_s;
    QTest::newRow("5 MB, no trailing zeros") << qint64(5242880) << u"5"_s << u"5"_s;
    QTest::newRow("1.5 MB, one decimal") << qint64(1572864) << u"1.5"_s << u"1,5"_s;
    QTest::newRow("one hundredth, leading zero kept") << qint64(10486) << u"0.01"_s << u"0,01"_s;
    // 0.125 MB and 0.375 MB: the half hundredth goes to the even neighbour.
    QTest::newRow("half hundredth down to even") << qint64(131072) << u"0.12"_s << u"0,12"_s;
    QTest::newRow("half hundredth up to even") << qint64(393216) << u"0.38"_s << u"0,38"_s;
    QTest::newRow("over 2 GiB, no grouping") << qint64(3221225472LL) << u"3072"_s << u"3072"_s;
}

void TestNumbers::megabytes()
{
    QFETCH(qint64, bytes);
    QFETCH(QString, english);
    QFETCH(QString, german);
    QCOMPARE(MegabytesText(bytes, QLocale(QLocale::English, QLocale::UnitedStates)), english);
    QCOMPARE(MegabytesText(bytes, QLocale(QLocale::German, QLocale::Germany)), german);
}

void TestNumbers::kilobytes_data()
{
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<QString>("english");
    QTest::addColumn<QString>("german");

    QTest::newRow("1.5 MB") << qint64(1572864) << u"1,536"_s << u"1.536"_s;
    QTest::newRow("half a kilobyte to even 0") << qint64(512) << u"0"_s << u"0"_s;
    QTest::newRow("one and a half to even 2") << qint64(1536) << u"2"_s << u"2"_s;
    QTest::newRow("100 MB") << qint64(104857600) << u"102,400"_s << u"102.400"_s;
    QTest::newRow("negative remainder") << qint64(-1536) << u"-2"_s << u"-2"_s;
}

void TestNumbers::kilobytes()
{
    QFETCH(qint64, bytes);
    QFETCH(QString, english);
    QFETCH(QString, german);
    QCOMPARE(GroupedNumber(Kilobytes(bytes), QLocale(QLocale::English, QLocale::UnitedStates)),
             english);
    QCOMPARE(GroupedNumber(Kilobytes(bytes), QLocale(QLocale::German, QLocale::Germany)), german);
}

QTEST_APPLESS_MAIN(TestNumbers)
#include "tst_numbers.moc"
