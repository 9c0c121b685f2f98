#include "site/markers.h"

#include <QTest>

class TestMarkers : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void splitPiece_data();
    void splitPiece();
    void cutBetween_data();
    void cutBetween();
};

void TestMarkers::splitPiece_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("marker");
    QTest::addColumn<int>("piece");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("no marker, piece 0 is all") << QByteArray("abc") << QByteArray("X") << 0
                                               << QByteArray("abc");
    QTest::newRow("no marker, piece 1 is empty") << QByteArray("abc") << QByteArray("X") << 1
                                                 << QByteArray();
    QTest::newRow("before first") << QByteArray("aXbXc") << QByteArray("X") << 0 << QByteArray("a");
    QTest::newRow("between first and second") << QByteArray("aXbXc") << QByteArray("X") << 1
                                              << QByteArray("b");
    QTest::newRow("after last runs to end") << QByteArray("aXbXc") << QByteArray("X") << 2
                                            << QByteArray("c");
    QTest::newRow("past the last piece") << QByteArray("aXb") << QByteArray("X") << 2
                                         << QByteArray();
    QTest::newRow("marker at start") << QByteArray("Xab") << QByteArray("X") << 0 << QByteArray();
    QTest::newRow("marker at end") << QByteArray("abX") << QByteArray("X") << 1 << QByteArray();
    QTest::newRow("case matters") << QByteArray("a video_id=1") << QByteArray("VIDEO_ID=") << 1
                                  << QByteArray();
    QTest::newRow("long marker, adjacent") << QByteArray("--Xu02=$--Xu02=$tail")
                                           << QByteArray("--Xu02=$") << 1 << QByteArray();
    QTest::newRow("bytes with NUL") << QByteArray("a\0b&c", 5) << QByteArray("&") << 0
                                    << QByteArray("a\0b", 3);
}

void TestMarkers::splitPiece()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, marker);
    QFETCH(int, piece);
    QFETCH(QByteArray, expected);
    QCOMPARE(SplitPiece(text, marker, piece), expected);
}

void TestMarkers::cutBetween_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("both markers") << QByteArray("x var t = 'abc'; y") << QByteArray("abc");
    QTest::newRow("no closing runs to end") << QByteArray("x var t = 'abc") << QByteArray("abc");
    QTest::newRow("stops at next opening") << QByteArray("var t = 'a var t = 'b';")
                                           << QByteArray("a ");
    QTest::newRow("no opening") << QByteArray("nothing here';") << QByteArray();
}

void TestMarkers::cutBetween()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, expected);
    QCOMPARE(CutBetween(text, "var t = '", "';"), expected);
}

QTEST_APPLESS_MAIN(TestMarkers)
#include "tst_markers.moc"
