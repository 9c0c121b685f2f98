// The connection: answers, a peer's close, a refused port, closing, and the
// file post streamed from disk through it in slices: the same bytes as the
// request built whole in memory, and a file that changes its length while it
// goes out cuts the request off instead of completing it wrongly. And the
// request libcurl sends for the text conversion, with its deadline, abort
// check and 1 MiB answer cap, libcurl being loaded only by the first such
// request.
#include "engine/net/connection.h"

#include "engine/net/curlhttpclient.h"
#include "engine/net/routes.h"
#include "engine/protocol/filepost.h"
#include "engine/protocol/uploadtarget.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <future>

using namespace Qt::StringLiterals;
using namespace uplark;

namespace {

const UrlParts Target = splitUrl("http://up.example:8080/my_videos_post");
const FilePostFields Fields{"tag1 tag2", "My clip", "one\r\ntwo",
                            "22",        "addr77",  "LOGIN_INFO=c00kie"};

// Bytes that show a slice out of place or repeated.
QByteArray pattern(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char((i * 7 + i / 251) % 256);
    return bytes;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile out(path);
    return out.open(QIODevice::WriteOnly | QIODevice::Truncate) && out.write(bytes) == bytes.size();
}

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
                connect(s, &QTcpSocket::disconnected, this, [this] { closed = true; });
            }
        });
    }

    QTcpServer server;
    QList<QTcpSocket *> sockets;
    QByteArray received;
    bool closed = false;
};

} // namespace

class TestConnection : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void filePost_data();
    void filePost();
    void essentials();
    void curlRequestBytes();
    void curlEnds_data();
    void curlEnds();

private:
    QTemporaryDir m_dir;
    RouteTable m_routes;
};

void TestConnection::filePost_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("quotedPath");
    // The worked example's length, its texts all empty; -1: texts given, length not checked.
    QTest::addColumn<qint64>("contentLength");
    // The file's length once the first bytes have gone out; -1: unchanged.
    QTest::addColumn<qint64>("newSize");
    QTest::addColumn<QString>("message"); // why the request was cut off
    const qsizetype slice = qsizetype(TcpConnection::SliceSize);
    const auto row = [](const char *name, const QByteArray &file, qint64 newSize = -1,
                        const QString &message = {}) {
        QTest::newRow(name) << file << QByteArray("\"/v/a.wmv\"") << qint64(-1) << newSize
                            << message;
    };
    // A quoted path of 20 characters, 1000 bytes of file.
    QTest::newRow("worked example") << pattern(1000) << QByteArray("\"/videos/clip01.wmv\"")
                                    << qint64(2654) << qint64(-1) << QString();
    row("empty file", QByteArray());
    row("CR, LF, NUL and the boundary", QByteArray("\r\n--Xu02=$\r\n\0\0\r--Xu02=$--\n\r\n\0", 28));
    row("one byte below a slice", pattern(slice - 1));
    row("exactly a slice", pattern(slice));
    row("one byte above a slice", pattern(slice + 1));
    row("truncated while sent", pattern(16 * slice), 8 * slice, u"shorter"_s);
    row("extended by a byte while sent", pattern(16 * slice), 16 * slice + 1, u"longer"_s);
}

void TestConnection::filePost()
{
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, quotedPath);
    QFETCH(qint64, contentLength);
    QFETCH(qint64, newSize);
    QFETCH(QString, message);
    const QString path = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(writeFile(path, file));
    const FilePostFields fields =
        contentLength >= 0 ? FilePostFields{{}, {}, {}, {}, {}, "LOGIN_INFO=x"} : Fields;
    const QByteArray whole = buildFilePost(file, Target, quotedPath, fields);
    if (contentLength >= 0)
        QVERIFY(
            whole.contains("\r\nContent-Length: " + QByteArray::number(contentLength) + "\r\n"));

    QString error;
    std::unique_ptr<FilePostSource> post =
        FilePostSource::open(path, quotedPath, Target, fields, &error);
    QVERIFY2(post, qPrintable(error));
    QCOMPARE(post->fileSize(), qint64(file.size()));
    QCOMPARE(post->size(), qint64(whole.size()));

    // On the wire, through the connection's slices.
    Peer peer;
    m_routes.add(u"up.example"_s, 8080, u"127.0.0.1"_s, peer.server.serverPort());
    TcpConnection connection(m_routes);
    qint64 progressTotal = 0;
    bool addsUp = true; // at every event, sent so far + remaining = the whole request
    connect(&connection, &TcpConnection::sendProgress, this, [&](qint64 sent, qint64 remaining) {
        // Once the first bytes have gone out (two slices at most have been
        // read), the file may change its length.
        if (newSize >= 0 && progressTotal == 0)
            QVERIFY(QFile::resize(path, newSize));
        progressTotal += sent;
        addsUp = addsUp && progressTotal + remaining == whole.size();
    });
    connect(&connection, &TcpConnection::connected, this,
            [&] { connection.send(std::move(post)); });
    QSignalSpy errors(&connection, &TcpConnection::failed);
    connection.connectTo(u"up.example"_s, 8080);
    if (newSize < 0) {
        QTRY_COMPARE_WITH_TIMEOUT(peer.received.size(), whole.size(), 20000);
        QVERIFY(peer.received == whole);
        QTRY_COMPARE(progressTotal, qint64(whole.size()));
        QVERIFY(addsUp);
        QCOMPARE(errors.size(), 0);
        return;
    }
    QTRY_COMPARE_WITH_TIMEOUT(errors.size(), 1, 20000);
    QCOMPARE(errors.at(0).at(0).toInt(), TcpConnection::SourceFailed);
    QVERIFY2(errors.at(0).at(1).toString().contains(message),
             qPrintable(errors.at(0).at(1).toString()));
    QVERIFY(!connection.isConnected());
    // The peer sees the start of the right request end before its declared
    // length, never a body of another length.
    QTRY_VERIFY(peer.closed);
    QVERIFY(whole.startsWith(peer.received));
    QVERIFY(peer.received.indexOf("\r\n\r\n") > 0 && peer.received.size() < whole.size());
    QCOMPARE(errors.size(), 1);
}

void TestConnection::essentials()
{
    // A refused port is an error, and nothing connects.
    Peer peer, gone;
    const quint16 closedPort = gone.server.serverPort();
    gone.server.close();
    TcpConnection w(m_routes);
    w.close(); // never opened: harmless
    QSignalSpy errors(&w, &TcpConnection::failed);
    QSignalSpy connects(&w, &TcpConnection::connected);
    w.connectTo(u"127.0.0.1"_s, closedPort);
    QTRY_COMPARE(errors.size(), 1);
    QCOMPARE(errors.at(0).at(0).toInt(), int(QAbstractSocket::ConnectionRefusedError));
    QCOMPARE(connects.size(), 0);
    errors.clear();

    // An answer arrives whole, and the peer's close after it is no error.
    QByteArray got;
    connect(&w, &TcpConnection::dataArrived, this, [&] { got += w.takeReceived(); });
    w.connectTo(u"127.0.0.1"_s, peer.server.serverPort());
    QTRY_COMPARE(peer.sockets.size(), 1);
    peer.sockets[0]->write("HTTP/1.1 200 OK\r\n\r\nvideo_id=abc&x");
    peer.sockets[0]->disconnectFromHost();
    QTRY_COMPARE(got, QByteArray("HTTP/1.1 200 OK\r\n\r\nvideo_id=abc&x"));
    QCOMPARE(w.takeReceived(), QByteArray());

    // Closed twice; whatever the peer still sends is not reported; reconnect
    // goes to the same host and port again.
    w.reconnect();
    QTRY_COMPARE(peer.sockets.size(), 2);
    QTRY_VERIFY(w.isConnected());
    w.close();
    w.close();
    QVERIFY(!w.isConnected());
    got.clear();
    peer.sockets[1]->write("late answer");
    QTest::qWait(200);
    QCOMPARE(got, QByteArray());
    QCOMPARE(errors.size(), 0);
}

void TestConnection::curlRequestBytes()
{
    const QByteArray ContentType = "application/x-www-form-urlencoded;charset=utf-8";
    // The synchronous POST of the text conversion goes through libcurl.
    // Above 1 MiB libcurl would ask "Expect: 100-continue" unless told not to, and wait.
    const QByteArray body = "title=caf\xC3\xA9&dscr=" + QByteArray(1200 * 1024, 'd') + "&tags=a+b";
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    m_routes.add(u"conversion.example"_s, 80, u"127.0.0.1"_s, server.serverPort());
    auto curlLoaded = [] {
        QFile maps(u"/proc/self/maps"_s);
        return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("/libcurl.so");
    };
    CurlHttpClient http(m_routes);
    QVERIFY(!curlLoaded());
    // The request blocks its caller, so it runs on a thread of its own.
    auto reply = std::async(std::launch::async, [&] {
        return http.post("http://conversion.example/conversions/str.asp", ContentType, body);
    });

    // The request names the host it was asked for, not where it was routed.
    const QByteArray expected = "POST /conversions/str.asp HTTP/1.1\r\nHost: conversion.example\r\n"
                                "Accept: */*\r\nContent-Type: "
                                + ContentType + "\r\nContent-Length: "
                                + QByteArray::number(body.size()) + "\r\n\r\n" + body;
    QByteArray request;
    QVERIFY(server.waitForNewConnection(5000));
    QTcpSocket *peer = server.nextPendingConnection();
    while (request.size() < expected.size() && peer->waitForReadyRead(3000))
        request += peer->readAll();
    peer->write("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n");
    peer->waitForBytesWritten(3000);
    peer->disconnectFromHost();

    QVERIFY(reply.get().ok);
    QCOMPARE(request, expected);
    QVERIFY(curlLoaded());
}

void TestConnection::curlEnds_data()
{
    // What the server sends at once; then a byte every 300 ms for up to 8 s.
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<bool>("abort"); // the abort check says yes once the request has come
    QTest::addColumn<QString>("error");
    const QByteArray head = "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n";
    // A trickling answer never stalls; the deadline of the whole request
    // (2 s; none for the abort) ends it all the same.
    QTest::newRow("deadline") << head << false << u"no whole answer within 2 s"_s;
    QTest::newRow("abort check") << head << true << u"the request was interrupted"_s;
    QTest::newRow("answer over 1 MiB")
        << "HTTP/1.1 200 OK\r\n\r\n" + QByteArray(CurlHttpClient::MaxAnswerSize + 1, 'x') << false
        << u"the answer is larger than 1 MiB"_s;
}

void TestConnection::curlEnds()
{
    QFETCH(QByteArray, answer);
    QFETCH(bool, abort);
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    CurlHttpClient http(m_routes, {5, 5, 5, abort ? 0 : 2});
    std::atomic_bool stop = false;
    http.setAbortCheck([&] { return stop.load(); });
    QElapsedTimer clock;
    clock.start();
    auto reply = std::async(std::launch::async, [&] {
        return http.post("http://127.0.0.1:" + QByteArray::number(server.serverPort()) + "/c",
                         "text/plain", "x");
    });
    QVERIFY(server.waitForNewConnection(5000));
    QTcpSocket *peer = server.nextPendingConnection();
    peer->write(answer);
    stop = abort;
    while (reply.wait_for(std::chrono::milliseconds(300)) != std::future_status::ready
           && clock.elapsed() < 8000) {
        peer->write("x");
        peer->waitForBytesWritten(100);
    }
    peer->abort();
    const HttpReply r = reply.get();
    QVERIFY(!r.ok);
    QTEST(r.error, "error");
    QVERIFY2(clock.elapsed() < 4000, qPrintable(QString::number(clock.elapsed())));
}

QTEST_GUILESS_MAIN(TestConnection)
#include "tst_connection.moc"
