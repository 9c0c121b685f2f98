// A peer that goes away while a send is still going out: the send has failed.
#include "site/winsock.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

using namespace Qt::StringLiterals;

class TestWinsockDrop : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void peerGoneDuringSend_data();
    void peerGoneDuringSend();
};

void TestWinsockDrop::peerGoneDuringSend_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("error");
    QTest::newRow("reset with most of the send queued") << 16 * 1024 * 1024 << true;
    QTest::newRow("closed after the whole send") << 1000 << false;
}

void TestWinsockDrop::peerGoneDuringSend()
{
    QFETCH(int, size);
    QFETCH(bool, error);
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    qint64 received = 0;
    connect(&server, &QTcpServer::newConnection, this, [&] {
        QTcpSocket *s = server.nextPendingConnection();
        connect(s, &QTcpSocket::readyRead, this, [&, s] {
            received += s->readAll().size();
            // Away after the first megabyte, or once everything has come.
            if (received >= qMin<qint64>(1024 * 1024, size))
                s->abort();
        });
    });
    RouteTable routes;
    Winsock w(routes);
    QSignalSpy errors(&w, &Winsock::error);
    connect(&w, &Winsock::connected, this, [&] { w.SendData(QByteArray(size, 'v')); });
    w.Connect(u"127.0.0.1"_s, server.serverPort());
    if (error) {
        QTRY_COMPARE_WITH_TIMEOUT(errors.size(), 1, 10000);
        QVERIFY(received < size);
    } else {
        QTRY_COMPARE(received, qint64(size));
        QTest::qWait(300);
        QCOMPARE(errors.size(), 0);
    }
}

QTEST_GUILESS_MAIN(TestWinsockDrop)
#include "tst_winsock_drop.moc"
