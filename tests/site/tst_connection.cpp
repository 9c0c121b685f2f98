#include "site/connection.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace uplark;

// A local server that keeps every accepted connection and what it received.
struct Peer : QObject
{
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

class TestConnection : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void requestGoesOutWholeThroughRoute_data();
    void requestGoesOutWholeThroughRoute();
    void dataArrivesAndPeerCloseIsNoError();
    void refusedPortRaisesError();
    void closeIsHarmlessSilencesAndAllowsReconnect();

private:
    RouteTable m_routes;
};

void TestConnection::requestGoesOutWholeThroughRoute_data()
{
    QTest::addColumn<int>("size");
    QTest::newRow("small request") << 83;
    QTest::newRow("exactly one slice") << int(TcpConnection::SliceSize);
    QTest::newRow("many slices, odd tail") << int(7 * TcpConnection::SliceSize + 12345);
}

void TestConnection::requestGoesOutWholeThroughRoute()
{
    QFETCH(int, size);
    Peer peer;
    m_routes.add(u"site.invalid"_s, 80, u"127.0.0.1"_s, peer.server.serverPort());
    TcpConnection w(m_routes);
    QByteArray payload(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        payload[i] = char(i % 251); // slices out of order or repeated show
    qint64 progressTotal = 0;
    bool addsUp = true; // at every event, sent so far + remaining = the whole request
    connect(&w, &TcpConnection::sendProgress, this, [&](qint64 sent, qint64 remaining) {
        progressTotal += sent;
        addsUp = addsUp && progressTotal + remaining == size;
    });
    connect(&w, &TcpConnection::connected, this, [&] { w.send(payload); });
    QSignalSpy errors(&w, &TcpConnection::failed);

    w.connectTo(u"site.invalid"_s, 80);
    QTRY_COMPARE_WITH_TIMEOUT(peer.received.size(), payload.size(), 20000);
    QVERIFY(peer.received == payload);
    QTRY_COMPARE(progressTotal, qint64(payload.size()));
    QVERIFY(addsUp);
    QCOMPARE(errors.size(), 0);
}

void TestConnection::dataArrivesAndPeerCloseIsNoError()
{
    Peer peer;
    TcpConnection w(m_routes);
    QSignalSpy errors(&w, &TcpConnection::failed);
    QByteArray got;
    connect(&w, &TcpConnection::dataArrived, this, [&] { got += w.takeReceived(); });
    w.connectTo(u"127.0.0.1"_s, peer.server.serverPort());
    QTRY_COMPARE(peer.sockets.size(), 1);
    peer.sockets[0]->write("HTTP/1.1 200 OK\r\n\r\nvideo_id=abc&x");
    peer.sockets[0]->disconnectFromHost();
    QTRY_COMPARE(got, QByteArray("HTTP/1.1 200 OK\r\n\r\nvideo_id=abc&x"));
    QCOMPARE(w.takeReceived(), QByteArray());
    QTest::qWait(200);
    QCOMPARE(errors.size(), 0);
}

void TestConnection::refusedPortRaisesError()
{
    Peer gone;
    const quint16 port = gone.server.serverPort();
    gone.server.close();
    TcpConnection w(m_routes);
    QSignalSpy errors(&w, &TcpConnection::failed);
    QSignalSpy connects(&w, &TcpConnection::connected);
    w.connectTo(u"127.0.0.1"_s, port);
    QTRY_COMPARE(errors.size(), 1);
    QCOMPARE(errors.at(0).at(0).toInt(), int(QAbstractSocket::ConnectionRefusedError));
    QCOMPARE(connects.size(), 0);
}

void TestConnection::closeIsHarmlessSilencesAndAllowsReconnect()
{
    Peer peer;
    TcpConnection w(m_routes);
    w.close(); // never opened
    QSignalSpy arrivals(&w, &TcpConnection::dataArrived);
    QSignalSpy errors(&w, &TcpConnection::failed);
    w.connectTo(u"127.0.0.1"_s, peer.server.serverPort());
    QTRY_COMPARE(peer.sockets.size(), 1);
    QTRY_VERIFY(w.isConnected());
    w.close();
    w.close();
    QVERIFY(!w.isConnected());
    // Whatever the peer still sends is not reported.
    peer.sockets[0]->write("late answer");
    QTest::qWait(200);
    QCOMPARE(arrivals.size(), 0);
    QCOMPARE(errors.size(), 0);
    w.reconnect(); // the same host and port again
    QTRY_COMPARE(peer.sockets.size(), 2);
}

QTEST_GUILESS_MAIN(TestConnection)
#include "tst_connection.moc"
