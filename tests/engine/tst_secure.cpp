// The secure ways to the site: the whole upload over HTTPS against the
// stand-in site with a test CA; certificates that are expired, for another
// host or from an unknown authority, refused before a byte of a request
// leaves, with the host and the reason said; an upload form whose action is
// https://; and an HTTP proxy in this process that the chain's connections
// and the conversion go through by CONNECT, that no_proxy bypasses, and
// whose refusal is reported with its name.
#include "engine/model/settings.h"
#include "engine/net/connection.h"
#include "engine/net/curlhttpclient.h"
#include "engine/net/routes.h"
#include "engine/net/siteaddress.h"
#include "engine/protocol/textconversion.h"
#include "engine/upload/uploadchain.h"
#include "engine/upload/uploadjob.h"
#include "fakesite.h"
#include "siteprocess.h"
#include "testcertificates.h"

#include "uplark_config.h"

#include <QFile>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <future>

using namespace Qt::StringLiterals;
using namespace uplark;

namespace {

// A TLS server with one certificate that records every byte it decrypts
// and answers `answer` once what came ends with `last` (never when empty).
struct TlsRecorder : QObject
{
    TlsRecorder(const TestCertificates &certs, const QString &name)
    {
        QSslConfiguration config = QSslConfiguration::defaultConfiguration();
        config.setLocalCertificate(
            QSslCertificate::fromPath(certs.path(name + u".pem"_s)).value(0));
        QFile keyFile(certs.path(name + u".key"_s));
        QVERIFY(keyFile.open(QIODevice::ReadOnly));
        config.setPrivateKey(QSslKey(keyFile.readAll(), QSsl::Ec));
        server.setSslConfiguration(config);
        QVERIFY(server.listen(QHostAddress::LocalHost, 0));
        connect(&server, &QTcpServer::pendingConnectionAvailable, this, [this] {
            while (auto *s = qobject_cast<QSslSocket *>(server.nextPendingConnection())) {
                connect(s, &QSslSocket::readyRead, this, [this, s] {
                    received += s->readAll();
                    if (!last.isEmpty() && received.endsWith(last)) {
                        s->write(answer);
                        s->disconnectFromHost();
                    }
                });
            }
        });
    }
    quint16 port() const { return server.serverPort(); }

    QSslServer server;
    QByteArray received;
    QByteArray last;
    QByteArray answer;
};

// An HTTP proxy that opens CONNECT tunnels, or refuses them all with 403.
struct ConnectProxy : QObject
{
    ConnectProxy()
    {
        QVERIFY(server.listen(QHostAddress::LocalHost, 0));
        connect(&server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *client = server.nextPendingConnection())
                serve(client);
        });
    }

    void serve(QTcpSocket *client)
    {
        auto *head = new QByteArray;
        connect(client, &QObject::destroyed, this, [head] { delete head; });
        connect(client, &QTcpSocket::readyRead, this, [this, client, head] {
            if (head->isEmpty() || !head->contains("\r\n\r\n")) {
                *head += client->readAll();
                const qsizetype end = head->indexOf("\r\n\r\n");
                if (end < 0)
                    return;
                const QByteArray line = head->left(head->indexOf("\r\n"));
                requests.append(line);
                if (refuse) {
                    client->write("HTTP/1.1 403 Forbidden\r\nContent-Length: 0\r\n\r\n");
                    client->disconnectFromHost();
                    return;
                }
                const QByteArray target = line.split(' ').value(1);
                const qsizetype colon = target.lastIndexOf(':');
                auto *upstream = new QTcpSocket(client);
                const QByteArray early = head->mid(end + 4);
                connect(upstream, &QTcpSocket::connected, this, [client, upstream, early] {
                    client->write("HTTP/1.1 200 Connection established\r\n\r\n");
                    upstream->write(early);
                });
                connect(upstream, &QTcpSocket::readyRead, client,
                        [client, upstream] { client->write(upstream->readAll()); });
                connect(upstream, &QTcpSocket::disconnected, client,
                        [client] { client->disconnectFromHost(); });
                connect(client, &QTcpSocket::disconnected, upstream,
                        [upstream] { upstream->disconnectFromHost(); });
                upstream->connectToHost(QString::fromLatin1(target.left(colon)),
                                        target.mid(colon + 1).toUShort());
                return;
            }
            if (auto *upstream = client->findChild<QTcpSocket *>())
                upstream->write(client->readAll());
        });
    }

    ProxyAddress address() const { return {u"127.0.0.1"_s, server.serverPort(), {}, {}}; }

    QTcpServer server;
    QByteArrayList requests; // the CONNECT line of each tunnel asked for
    bool refuse = false;
};

SiteAddress address(const QString &text)
{
    SiteAddress parsed;
    if (!parseSiteAddress(text, &parsed, nullptr))
        qFatal("bad address %s", qPrintable(text));
    return parsed;
}

// The conversion request through libcurl, which blocks its thread: it runs
// on a thread of its own while this one serves the test's servers.
HttpReply post(CurlHttpClient &http, const QByteArray &url)
{
    auto reply = std::async(std::launch::async, [&] {
        return http.post(url, ConversionContentType, "title=a&dscr=b&tags=c");
    });
    while (reply.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready)
        QTest::qWait(10);
    return reply.get();
}

const VideoInfo Info{"My clip", "line one\r\nline two", "tag1 tag2", "22"};

// Runs the chain to its end; the watch address, or "failed: DETAIL".
QString runChain(UploadChain &chain, const QString &file,
                 const Account &account = {u"user"_s, u"secret"_s})
{
    QString outcome;
    QObject::connect(&chain, &UploadChain::finished, &chain,
                     [&](const QString &watch) { outcome = watch; });
    QObject::connect(&chain, &UploadChain::failed, &chain,
                     [&](UploadFailure, const QString &detail) {
                         // What the user is told beyond "Connection error!"
                         // where there is such a thing; which step otherwise.
                         const QString problem = chain.connectionProblem();
                         outcome = u"failed: "_s + (problem.isEmpty() ? detail : problem);
                     });
    chain.start(account, file, Info);
    if (!QTest::qWaitFor([&] { return !outcome.isEmpty(); }, 30000))
        return u"no outcome"_s;
    return outcome;
}

QString writeClip(const QTemporaryDir &dir, qsizetype size)
{
    const QString path = dir.filePath(u"clip.wmv"_s);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(QByteArray(size, 'v')) != size)
        qFatal("cannot write the clip");
    return path;
}

} // namespace

class TestSecure : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QVERIFY2(m_certs.make(), qPrintable(m_certs.errorString())); }
    void wholeUploadOverTls();
    void refusedCertificates_data();
    void refusedCertificates();
    void httpsUploadAction();
    void throughProxy_data();
    void throughProxy();

private:
    TestCertificates m_certs;
};

void TestSecure::wholeUploadOverTls()
{
    SiteProcess site;
    QVERIFY2(site.start({u"--tls-cert"_s, m_certs.path(u"localhost.pem"_s), u"--tls-key"_s,
                         m_certs.path(u"localhost.key"_s), u"--public-host"_s, u"localhost"_s}),
             qPrintable(site.errorString()));
    QVERIFY(site.addAccount(u"ann"_s, u"secret-pw"_s));
    const QString https = u"https://localhost:%1"_s.arg(site.sitePort());

    QTemporaryDir dir;
    SettingsStore settings(dir.path());
    RouteTable routes;
    routes.addAuthorities({m_certs.authority()});
    CurlHttpClient http(routes);
    UploadJob job(settings, &http, routes, {address(https), address(https)});
    job.setAccount({u"ann"_s, u"secret-pw"_s});
    job.chain().setPauseBeforePost(10);

    // The conversion over HTTPS, then the four exchanges over TLS; the
    // site's upload form sends the post to an https:// address.
    const std::optional<VideoInfo> info =
        job.convertTexts({u"Tls clip"_s, u"d"_s, u"Music"_s, u"t"_s});
    QVERIFY2(info.has_value(), qPrintable(job.conversionProblem()));
    QCOMPARE(info->title, QByteArray("Tls clip"));
    const QString watch = runChain(job.chain(), writeClip(dir, 200 * 1024), job.account());
    QVERIFY2(watch.startsWith(https + u"/watch?v="_s), qPrintable(watch));
    QVERIFY(job.chain().uploadAction().startsWith("https://localhost:"));
}

void TestSecure::refusedCertificates_data()
{
    QTest::addColumn<QString>("certificate");
    QTest::addColumn<QString>("reason");
    QTest::newRow("expired") << u"expired"_s << u"certificate has expired"_s;
    QTest::newRow("wrong host") << u"wronghost"_s << u"host name does not match"_s;
    QTest::newRow("unknown authority")
        << u"untrusted"_s << u"certificate is not signed by a trusted authority"_s;
}

void TestSecure::refusedCertificates()
{
    QFETCH(QString, certificate);
    QFETCH(QString, reason);
    TlsRecorder server(m_certs, certificate);
    const QString where = u"localhost:%1"_s.arg(server.port());
    const QString said = u"Secure connection to %1 refused: %2."_s.arg(where, reason);
    RouteTable routes;
    routes.addAuthorities({m_certs.authority()});

    // The chain's login: the message names the host and the reason.
    QTemporaryDir dir;
    UploadChain chain(routes, address(u"https://"_s + where));
    QCOMPARE(runChain(chain, writeClip(dir, 10)), u"failed: "_s + said);

    // The conversion through libcurl, the same.
    CurlHttpClient http(routes);
    const HttpReply reply = post(http, conversionUrl(where.toLatin1(), true));
    QVERIFY(!reply.ok);
    QVERIFY2(reply.problem == said, qPrintable(reply.error + u" / "_s + reply.problem));

    // Not one byte of either request reached the server.
    QTest::qWait(100);
    QCOMPARE(server.received, QByteArray());
}

void TestSecure::httpsUploadAction()
{
    // The site in the clear; its upload form sends the post to a TLS server.
    TlsRecorder upload(m_certs, u"localhost"_s);
    upload.answer = "HTTP/1.1 200 OK\r\n\r\nvideo_id=tls42&status=ok";
    FakeSite site;
    QVERIFY(site.start());
    site.scripts[FakeSite::MetadataForm].pieces = {
        "<form enctype=\"multipart/form-data\" action=\"HTTPS://localhost:"
        + QByteArray::number(upload.port())
        + "/my_videos_post\" name=\"theForm\"><input name=\"addresser\" value=\"addr77\">"};
    RouteTable routes;
    site.route(routes);
    routes.addAuthorities({m_certs.authority()});
    UploadChain chain(routes);
    chain.setPauseBeforePost(10);
    QTemporaryDir dir;
    const QString clip = writeClip(dir, 700 * 1024);
    upload.last = "\r\n--Xu02=$--";

    qint64 progressed = 0;
    auto *connection = chain.findChild<TcpConnection *>(u"uploadConnection"_s);
    QVERIFY(connection);
    connect(connection, &TcpConnection::sendProgress, this,
            [&](qint64 bytes) { progressed += bytes; });
    const QString got = runChain(chain, clip);
    QCOMPARE(got, u"http://"_s + QString::fromLatin1(SiteHost) + u"/watch?v=tls42"_s);

    // What the TLS server decrypted is the post as it goes in the clear,
    // and the progress counted its bytes, not those of the TLS records.
    QVERIFY(upload.received.startsWith("POST /my_videos_post HTTP/1.1\r\nAccept: */*\r\n"));
    QVERIFY(upload.received.contains("\r\nHost: localhost\r\n"));
    QVERIFY(upload.received.endsWith("\r\n--Xu02=$--"));
    QCOMPARE(progressed, qint64(upload.received.size()));
}

void TestSecure::throughProxy_data()
{
    QTest::addColumn<QString>("exempt");
    QTest::addColumn<bool>("refuse");
    QTest::addColumn<int>("tunnels"); // CONNECTs the proxy saw
    // The login, the upload page, the metadata form, the file post, the
    // conversion: each through a tunnel of its own.
    QTest::newRow("every connection through the proxy") << QString() << false << 5;
    // Which names no_proxy matches is the command line's proxy table.
    QTest::newRow("no_proxy names the hosts")
        << u"upload.invalid, .example,localhost"_s << false << 0;
    // The login, and the conversion (Qt may ask a refusing proxy again).
    QTest::newRow("the proxy refuses the tunnel") << QString() << true << 2;
}

void TestSecure::throughProxy()
{
    QFETCH(QString, exempt);
    QFETCH(bool, refuse);
    QFETCH(int, tunnels);
    QTemporaryDir dir;
    const QString clip = writeClip(dir, 100 * 1024);

    // The same upload without a proxy, for the bytes the site should get.
    FakeSite direct;
    QVERIFY(direct.start());
    RouteTable directRoutes;
    direct.route(directRoutes);
    UploadChain directChain(directRoutes);
    directChain.setPauseBeforePost(10);
    QVERIFY(runChain(directChain, clip).contains(u"vid42"_s));

    ConnectProxy proxy;
    proxy.refuse = refuse;
    FakeSite site; // the conversion service too
    QVERIFY(site.start());
    RouteTable routes;
    site.route(routes);
    routes.add(u"conversion.example"_s, 80, u"127.0.0.1"_s, site.sitePort());
    ProxySettings proxies;
    proxies.http = proxy.address();
    proxies.exempt = exempt.split(u',', Qt::SkipEmptyParts);
    routes.setProxies(proxies);

    UploadChain chain(routes);
    chain.setPauseBeforePost(10);
    const QString outcome = runChain(chain, clip);
    CurlHttpClient http(routes);
    const HttpReply reply = post(http, conversionUrl("conversion.example"));
    if (refuse)
        QVERIFY(proxy.requests.size() >= tunnels);
    else
        QCOMPARE(proxy.requests.size(), tunnels);
    if (refuse) {
        // Both name the proxy.
        const QString named = u"Through the proxy %1: "_s.arg(proxy.address().name());
        QVERIFY2(outcome.startsWith(u"failed: "_s + named), qPrintable(outcome));
        QVERIFY2(reply.problem.startsWith(named), qPrintable(reply.problem));
        return;
    }
    QVERIFY2(outcome.contains(u"vid42"_s), qPrintable(outcome));
    QVERIFY2(reply.ok, qPrintable(reply.error));
    QVERIFY(
        site.received[FakeSite::Conversion].startsWith("POST /conversions/str.asp HTTP/1.1\r\n"));
    // Inside the tunnels the bytes are those sent without a proxy.
    for (int step = FakeSite::Login; step <= FakeSite::FilePost; ++step)
        QCOMPARE(site.received[step], direct.received[step]);
    if (tunnels > 0) {
        QCOMPARE(proxy.requests.first(),
                 "CONNECT 127.0.0.1:" + QByteArray::number(site.sitePort()) + " HTTP/1.1");
    }
}

QTEST_GUILESS_MAIN(TestSecure)
#include "tst_secure.moc"
