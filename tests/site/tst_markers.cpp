#include "site/markers.h"

#include <QTest>

using namespace uplark;

class TestMarkers : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void splitPiece_data();
    void splitPiece();
};

void TestMarkers::splitPiece_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("piece");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("no marker: piece 0 is all") << QByteArray("abc") << 0 << QByteArray("abc");
    QTest::newRow("no marker: piece 1 is empty") << QByteArray("abc") << 1 << QByteArray();
    QTest::newRow("between first and second") << QByteArray("a--b--c") << 1 << QByteArray("b");
    QTest::newRow("after the last runs to the end")
        << QByteArray("a--b--c") << 2 << QByteArray("c");
    QTest::newRow("past the last piece") << QByteArray("a--b") << 2 << QByteArray();
    QTest::newRow("marker at the end") << QByteArray("ab--") << 1 << QByteArray();
    QTest::newRow("overlapping occurrences") << QByteArray("a---b") << 1 << QByteArray("-b");
    QTest::newRow("NUL bytes kept") << QByteArray("a\0b--c", 6) << 0 << QByteArray("a\0b", 3);
}

void TestMarkers::splitPiece()
{
    QFETCH(QByteArray, text);
    QFETCH(int, piece);
    QFETCH(QByteArray, expected);
    QCOMPARE(SplitPiece(text, "--", piece), expected);
}

QTEST_APPLESS_MAIN(TestMarkers)
#include "tst_markers.moc"
