#include "site/progress.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestProgress : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void figures_data();
    void figures();
};

void TestProgress::figures_data()
{
    QTest::addColumn<qint64>("sent");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<int>("previousBar");
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<int>("bar");
    QTest::addColumn<QString>("percent");
    QTest::addColumn<QString>("kilobytes");
    QTest::addColumn<bool>("finished");
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    const QLocale de(QLocale::German, QLocale::Germany);
    QTest::newRow("half of 1 MiB") << qint64(524288) << qint64(1048576) << 49 << us << 50
                                   << u"50%"_s << u"512 Kb uploaded so far, remaining 512 Kb"_s
                                   << false;
    QTest::newRow("512 bytes past the size: still counting")
        << qint64(1048576 + 512) << qint64(1048576) << 99 << us << 100 << u"100%"_s
        << u"1,024 Kb uploaded so far, remaining 0 Kb"_s << false;
    QTest::newRow("513 bytes past the size: finished, plain digits")
        << qint64(1048576 + 513) << qint64(1048576) << 100 << us << 100 << u"100%"_s
        << u"1024 Kb uploaded so far, remaining 0 Kb"_s << true;
    QTest::newRow("separators while uploading")
        << qint64(2000000) << qint64(5000000) << 0 << us << 40 << u"40%"_s
        << u"1,953 Kb uploaded so far, remaining 2,930 Kb"_s << false;
    QTest::newRow("the locale's separator")
        << qint64(2000000) << qint64(5000000) << 0 << de << 40 << u"40%"_s
        << u"1.953 Kb uploaded so far, remaining 2.930 Kb"_s << false;
    QTest::newRow("finished line without the locale's separator")
        << qint64(5002000) << qint64(5000000) << 100 << de << 100 << u"100%"_s
        << u"4883 Kb uploaded so far, remaining 0 Kb"_s << true;
    QTest::newRow("halves go to even") << qint64(2560) << qint64(1048576) << 0 << us << 0
                                       << u"0%"_s << u"2 Kb uploaded so far, remaining 1,022 Kb"_s
                                       << false;
    QTest::newRow("above 100: the bar keeps its value")
        << qint64(100501) << qint64(100000) << 98 << us << 98 << u"98%"_s
        << u"98 Kb uploaded so far, remaining 0 Kb"_s << false;
    QTest::newRow("one percent rounds to 0 bytes: the bar keeps its value")
        << qint64(20) << qint64(50) << 7 << us << 7 << u"7%"_s
        << u"0 Kb uploaded so far, remaining 0 Kb"_s << false;
    QTest::newRow("tiny file sent whole: finished")
        << qint64(50 + 1700) << qint64(50) << 7 << us << 100 << u"7%"_s
        << u"0 Kb uploaded so far, remaining 0 Kb"_s << true;
}

void TestProgress::figures()
{
    QFETCH(qint64, sent);
    QFETCH(qint64, size);
    QFETCH(int, previousBar);
    QFETCH(QLocale, locale);
    QFETCH(int, bar);
    QFETCH(QString, percent);
    QFETCH(QString, kilobytes);
    QFETCH(bool, finished);
    const UploadProgressView view = UploadProgress(sent, size, previousBar, locale);
    QCOMPARE(view.bar, bar);
    QCOMPARE(view.percent, percent);
    QCOMPARE(view.kilobytes, kilobytes);
    QCOMPARE(view.finished, finished);
}

QTEST_APPLESS_MAIN(TestProgress)
#include "tst_progress.moc"
