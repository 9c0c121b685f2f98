#include "platform/curlhttp.h"

#include "httpstub.h"
#include "platform/routes.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTest>

#include <curl/curl.h>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QByteArray ContentType = "application/x-www-form-urlencoded;charset=utf-8";

// The header block of a recorded request, lower-cased names and all.
QByteArray headerBlock(const QByteArray &request)
{
    return request.left(request.indexOf("\r\n\r\n") + 2);
}

quint16 closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort(); // closed again when probe goes
}

} // namespace

class TestCurlHttp : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { curl_global_init(CURL_GLOBAL_DEFAULT); }
    void cleanupTestCase() { curl_global_cleanup(); }
    void requestBytes_data();
    void requestBytes();
    void statusIsNotAFailure();
    void failures_data();
    void failures();
};

void TestCurlHttp::requestBytes_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::newRow("small") << QByteArray("title=caf\xC3\xA9&dscr=a+b&tags=x");
    // Above 1 MiB libcurl would otherwise ask "Expect: 100-continue" and wait.
    QTest::newRow("large") << ("title=t&dscr=" + QByteArray(1200 * 1024, 'd') + "&tags=g");
    QTest::newRow("empty") << QByteArray();
}

void TestCurlHttp::requestBytes()
{
    QFETCH(QByteArray, body);
    HttpStub stub(HttpStub::Mode::Answer, HttpStub::Response("<TITLE>x</TITLE>"));
    RouteTable routes;
    routes.add(u"conversion.example"_s, 80, u"127.0.0.1"_s, stub.port());
    CurlHttpRequest http(routes);

    QElapsedTimer clock;
    clock.start();
    const HttpReply reply = http.post("http://conversion.example/conversions/str.asp",
                                      ContentType, body);
    QVERIFY2(reply.ok, qPrintable(reply.error));
    QVERIFY(clock.elapsed() < 900); // no wait for a "100 Continue"
    QCOMPARE(reply.status, 200);
    QCOMPARE(reply.body, QByteArray("<TITLE>x</TITLE>"));

    QCOMPARE(stub.requests().size(), 1);
    const QByteArray request = stub.requests().first();
    QVERIFY(request.startsWith("POST /conversions/str.asp HTTP/1.1\r\n"));
    const QByteArray head = headerBlock(request);
    // The request names the host it was asked for, not where it was routed.
    QVERIFY2(head.contains("\r\nHost: conversion.example\r\n"), head.constData());
    QVERIFY(head.contains("\r\nContent-Type: " + ContentType + "\r\n"));
    QVERIFY(head.contains("\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n"));
    QVERIFY(!head.toLower().contains("\r\nexpect:"));
    QCOMPARE(request.mid(head.size() + 2), body);
}

void TestCurlHttp::statusIsNotAFailure()
{
    HttpStub stub(HttpStub::Mode::Answer, HttpStub::Response("oops", 500));
    RouteTable routes;
    routes.add(u"localhost"_s, 81, u"127.0.0.1"_s, stub.port());
    CurlHttpRequest http(routes);
    const HttpReply reply = http.post("http://localhost:81/x", ContentType, "a=b");
    QVERIFY2(reply.ok, qPrintable(reply.error));
    QCOMPARE(reply.status, 500);
    QCOMPARE(reply.body, QByteArray("oops"));
}

void TestCurlHttp::failures_data()
{
    QTest::addColumn<int>("kind"); // 0 closed port, 1 closed without answer, 2 silent
    QTest::addColumn<QString>("errorPart");
    QTest::newRow("nothing listens") << 0 << u"onnect"_s;
    QTest::newRow("closed without an answer") << 1 << QString();
    QTest::newRow("no answer within the receive time")
        << 2 << u"No answer arrived within 1 seconds"_s;
}

void TestCurlHttp::failures()
{
    QFETCH(int, kind);
    QFETCH(QString, errorPart);
    std::unique_ptr<HttpStub> stub;
    quint16 port = 0;
    if (kind == 0) {
        port = closedPort();
    } else {
        stub = std::make_unique<HttpStub>(kind == 1 ? HttpStub::Mode::Refuse
                                                    : HttpStub::Mode::Silent);
        port = stub->port();
    }
    RouteTable routes;
    routes.add(u"localhost"_s, 80, u"127.0.0.1"_s, port);
    HttpTimeouts timeouts;
    timeouts.receive = 1;
    CurlHttpRequest http(routes, timeouts);

    QElapsedTimer clock;
    clock.start();
    const HttpReply reply = http.post("http://localhost/conversions/str.asp", ContentType, "a=b");
    QVERIFY(!reply.ok);
    QVERIFY(!reply.error.isEmpty());
    QVERIFY2(reply.error.contains(errorPart), qPrintable(reply.error));
    QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
    if (kind == 2) {
        QVERIFY(clock.elapsed() >= 1000);
        QCOMPARE(stub->requests().size(), 1); // the request went out whole
        QVERIFY(stub->requests().first().endsWith("\r\n\r\na=b"));
    }
}

QTEST_GUILESS_MAIN(TestCurlHttp)
#include "tst_curlhttp.moc"
