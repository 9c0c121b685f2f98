#include "site/curlhttp.h"

#include "site/routes.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <curl/curl.h>

#include <future>

using namespace Qt::StringLiterals;
using namespace uplark;

static const QByteArray ContentType = "application/x-www-form-urlencoded;charset=utf-8";

class TestCurlHttp : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { curl_global_init(CURL_GLOBAL_DEFAULT); }
    void cleanupTestCase() { curl_global_cleanup(); }
    void requestBytes();
};

void TestCurlHttp::requestBytes()
{
    // Above 1 MiB libcurl would ask "Expect: 100-continue" unless told not to, and wait.
    const QByteArray body = "title=caf\xC3\xA9&dscr=" + QByteArray(1200 * 1024, 'd') + "&tags=a+b";
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    RouteTable routes;
    routes.add(u"conversion.example"_s, 80, u"127.0.0.1"_s, server.serverPort());
    CurlHttpRequest http(routes);
    // The request blocks its caller, so it runs on a thread of its own.
    auto reply = std::async(std::launch::async, [&] {
        return http.post("http://conversion.example/conversions/str.asp", ContentType, body);
    });

    // The request names the host it was asked for, not where it was routed.
    const QByteArray expected = "POST /conversions/str.asp HTTP/1.1\r\n"
                                "Host: conversion.example\r\n"
                                "Accept: */*\r\n"
                                "Content-Type: "
                                + ContentType
                                + "\r\n"
                                  "Content-Length: "
                                + QByteArray::number(body.size())
                                + "\r\n"
                                  "\r\n"
                                + body;
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
}

QTEST_GUILESS_MAIN(TestCurlHttp)
#include "tst_curlhttp.moc"
