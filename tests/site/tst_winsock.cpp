#include "site/winsock.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

using namespace Qt::StringLiterals;

// A local server that keeps every accepted connection and what it received.
class Peer : public QObject
{
    Q_OBJECT
public:
    Peer()
    {
        QVERIFY(server.listen(QHostAddress::LocalHost, 0));
        connect(&server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = server.nextPendingConnection()) {
                sockets.append(s);
                connect(s, &QTcpSocket::readyRead, this, [this, s] { received += s->readAll(); });
            }
        });
    }
    QTcpServer server;
    QList<QTcpSocket *> sockets;
    QByteArray received;
};

class TestWinsock : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void requestGoesOutWholeThroughRoute_data();
    void requestGoesOutWholeThroughRoute();
    void dataArrivesAndIsTaken();
    void peerCloseIsNoError();
    void refusedPortRaisesError();
    void closeIsHarmlessAndSilencesTheConnection();
    void reconnectAfterClose();
};

void TestWinsock::requestGoesOutWholeThroughRoute_data()
{
    QTest::addColumn<int>("size");
    QTest::newRow("small request") << 83;
    QTest::newRow("exactly one slice") << int(Winsock::SliceSize);
    QTest::newRow("many slices, odd tail") << int(7 * Winsock::SliceSize + 12345);
}

void TestWinsock::requestGoesOutWholeThroughRoute()
{
    QFETCH(int, size);
    Peer peer;
    RouteTable routes;
    routes.add(u"site.invalid"_s, 80, u"127.0.0.1"_s, peer.server.serverPort());
    Winsock w(routes);

    QByteArray payload(size, Qt::Uninitialized);
    QRandomGenerator rng(size);
    for (char &c : payload)
        c = char(rng.bounded(256));
    payload[0] = '\0';

    qint64 progressTotal = 0;
    qint64 lastRemaining = -1;
    int events = 0;
    connect(&w, &Winsock::sendProgress, this, [&](qint64 sent, qint64 remaining) {
        progressTotal += sent;
        lastRemaining = remaining;
        ++events;
    });
    connect(&w, &Winsock::connected, this, [&] { w.SendData(payload); });
    QSignalSpy errors(&w, &Winsock::error);

    w.Connect(u"site.invalid"_s, 80);
    QCOMPARE(w.RemoteHost(), u"site.invalid"_s);
    QTRY_COMPARE_WITH_TIMEOUT(peer.received.size(), payload.size(), 20000);
    QVERIFY(peer.received == payload);
    QTRY_COMPARE(progressTotal, qint64(payload.size()));
    QCOMPARE(lastRemaining, qint64(0));
    QVERIFY(events >= int(size / Winsock::SliceSize));
    QCOMPARE(errors.size(), 0);
}

void TestWinsock::dataArrivesAndIsTaken()
{
    Peer peer;
    RouteTable routes;
    Winsock w(routes);
    QByteArray got;
    connect(&w, &Winsock::dataArrival, this, [&](qint64 total) {
        QVERIFY(total > 0);
        got += w.GetData();
    });
    w.Connect(u"127.0.0.1"_s, peer.server.serverPort());
    QTRY_COMPARE(peer.sockets.size(), 1);
    peer.sockets[0]->write("HTTP/1.1 200 OK\r\n\r\nvideo_id=abc&x");
    QTRY_COMPARE(got, QByteArray("HTTP/1.1 200 OK\r\n\r\nvideo_id=abc&x"));
    QCOMPARE(w.GetData(), QByteArray());
}

void TestWinsock::peerCloseIsNoError()
{
    Peer peer;
    RouteTable routes;
    Winsock w(routes);
    QSignalSpy errors(&w, &Winsock::error);
    QByteArray got;
    connect(&w, &Winsock::dataArrival, this, [&] { got += w.GetData(); });
    w.Connect(u"127.0.0.1"_s, peer.server.serverPort());
    QTRY_COMPARE(peer.sockets.size(), 1);
    peer.sockets[0]->write("last words");
    peer.sockets[0]->disconnectFromHost();
    QTRY_COMPARE(got, QByteArray("last words"));
    QTest::qWait(200);
    QCOMPARE(errors.size(), 0);
}

void TestWinsock::refusedPortRaisesError()
{
    quint16 port = 0;
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        port = probe.serverPort();
    }
    RouteTable routes;
    Winsock w(routes);
    QSignalSpy errors(&w, &Winsock::error);
    QSignalSpy connects(&w, &Winsock::connected);
    w.Connect(u"127.0.0.1"_s, port);
    QTRY_COMPARE(errors.size(), 1);
    QCOMPARE(errors.at(0).at(0).toInt(), int(QAbstractSocket::ConnectionRefusedError));
    QCOMPARE(connects.size(), 0);
}

void TestWinsock::closeIsHarmlessAndSilencesTheConnection()
{
    RouteTable routes;
    Winsock never(routes);
    never.Close();
    never.Close();
    QCOMPARE(never.GetData(), QByteArray());

    Peer peer;
    Winsock w(routes);
    QSignalSpy arrivals(&w, &Winsock::dataArrival);
    QSignalSpy errors(&w, &Winsock::error);
    w.Connect(u"127.0.0.1"_s, peer.server.serverPort());
    QTRY_VERIFY(w.isConnected());
    QTRY_COMPARE(peer.sockets.size(), 1);
    w.Close();
    w.Close();
    QVERIFY(!w.isConnected());
    // Whatever the peer still sends is not reported.
    peer.sockets[0]->write("late answer");
    QTest::qWait(200);
    QCOMPARE(arrivals.size(), 0);
    QCOMPARE(errors.size(), 0);
}

void TestWinsock::reconnectAfterClose()
{
    Peer peer;
    RouteTable routes;
    Winsock w(routes);
    connect(&w, &Winsock::connected, this, [&] { w.SendData("hello"); });
    w.Connect(u"127.0.0.1"_s, peer.server.serverPort());
    QTRY_COMPARE(peer.received, QByteArray("hello"));
    w.Close();
    w.Connect();
    QTRY_COMPARE(peer.sockets.size(), 2);
    QTRY_COMPARE(peer.received, QByteArray("hellohello"));
}

QTEST_GUILESS_MAIN(TestWinsock)
#include "tst_winsock.moc"
