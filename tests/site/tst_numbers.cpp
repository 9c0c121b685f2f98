#include "site/numbers.h"

#include <QTest>

using namespace Qt::StringLiterals;
using namespace uplark;

class TestNumbers : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void megabytes_data();
    void megabytes();
    void kilobytes_data();
    void kilobytes();
};

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
    QTest::newRow("negative half to even") << qint64(-2560) << u"-2"_s << u"-2"_s;
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
