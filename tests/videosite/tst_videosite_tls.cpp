// The stand-in site over HTTPS, with the test CA: its options, a whole upload
// with the uploader's requests through TLS, and the handshake under the
// limits that hold for a request head.
#include "sitekit.h"
#include "siteprocess.h"
#include "testcertificates.h"

#include "engine/protocol/metadataform.h"
#include "uplark_config.h"

#include <QElapsedTimer>
#include <QSslSocket>
#include <QTcpServer>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

class TestVideositeTls : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase() { QVERIFY(m_site.stop()); }
    void refusedOptions_data();
    void refusedOptions();
    void uploadOverTls();
    void slowHandshake();
    void handshakeFlood();

private:
    // The first bytes a TLS client sends: its ClientHello.
    QByteArray clientHello();

    TestCertificates m_certs;
    QSslCertificate m_ca;
    SiteProcess m_site;
};

void TestVideositeTls::initTestCase()
{
    QVERIFY2(QSslSocket::supportsSsl(), "no TLS backend");
    QVERIFY2(m_certs.make(), qPrintable(m_certs.errorString()));
    m_ca = m_certs.authority();
    // A head deadline of 2 s, well under the idle timeout; few connections.
    QVERIFY2(m_site.start({u"--tls-cert"_s, m_certs.path(u"localhost.pem"_s), u"--tls-key"_s,
                           m_certs.path(u"localhost.key"_s), u"--head-timeout"_s, u"2"_s,
                           u"--idle-timeout"_s, u"30"_s, u"--max-connections"_s, u"30"_s,
                           u"--connections-per-address"_s, u"10"_s}),
             qPrintable(m_site.errorString()));
}

QByteArray TestVideositeTls::clientHello()
{
    QTcpServer listener;
    listener.listen(QHostAddress::LocalHost);
    QSslSocket client;
    client.connectToHostEncrypted(u"localhost"_s, listener.serverPort());
    QByteArray hello;
    std::unique_ptr<QTcpSocket> accepted;
    const bool arrived = QTest::qWaitFor(
        [&] {
            if (!accepted)
                accepted.reset(listener.nextPendingConnection());
            return accepted && (hello += accepted->readAll()).size() > 100;
        },
        5000);
    return arrived ? hello : QByteArray();
}

void TestVideositeTls::refusedOptions_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    QTest::newRow("a certificate without its key")
        << QStringList{u"--tls-cert"_s, u"localhost.pem"_s} << 2 << u"go together"_s;
    QTest::newRow("no certificate in the file")
        << QStringList{u"--tls-cert"_s, u"localhost.key"_s, u"--tls-key"_s, u"localhost.key"_s} << 1
        << u"no PEM certificate"_s;
    QTest::newRow("no key in the file")
        << QStringList{u"--tls-cert"_s, u"localhost.pem"_s, u"--tls-key"_s, u"localhost.pem"_s} << 1
        << u"no unencrypted PEM private key"_s;
}

void TestVideositeTls::refusedOptions()
{
    QFETCH(QStringList, options);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    for (QString &option : options) {
        if (!option.startsWith(u"--"_s))
            option = m_certs.path(option);
    }
    SiteProcess site;
    QVERIFY(!site.start(options));
    site.process().waitForFinished(10000);
    QCOMPARE(site.process().exitCode(), exitCode);
    const QString said = site.errorString() + QString::fromLocal8Bit(site.process().readAll());
    QVERIFY2(said.contains(message), qPrintable(said));
}

void TestVideositeTls::uploadOverTls()
{
    // The uploader's own requests, through TLS to both servers: the
    // addresses the site gives out are https ones.
    SiteProcess &site = m_site;
    QVERIFY(site.addAccount(u"ann"_s, u"pw"_s));
    const QByteArray cookie = SiteKit::login(site, u"ann"_s, u"pw"_s, m_ca);
    const QByteArray form =
        SiteKit::firstRead(site.sitePort(), uplark::metadataRequest(SiteHost, cookie), m_ca);
    QVERIFY2(form.contains("action=\"https://localhost:" + QByteArray::number(site.uploadPort())
                           + "/my_videos_post\""),
             form.constData());
    const QByteArray file = SiteKit::trickyFile(16 * 1024 * 1024);
    const QByteArray answer = SiteKit::firstRead(
        site.uploadPort(), SiteKit::filePost(cookie, SiteKit::ticket(site, cookie, m_ca), file),
        m_ca);
    const QByteArray id = SiteKit::videoId(answer);
    QVERIFY2(!id.isEmpty(), answer.constData());
    QVERIFY(answer.contains("https://localhost:" + QByteArray::number(site.sitePort())
                            + "/watch?v=" + id));
    QVERIFY(SiteKit::get(site.sitePort(), "/videos/" + id, {}, m_ca).body == file);
    // A client that never reads the video holds the server to a window of
    // it, encrypted or not.
    const qint64 memoryBefore = SiteKit::memoryOf(site, "VmRSS:");
    const std::unique_ptr<QTcpSocket> reader = SiteKit::connectTo(site.sitePort(), m_ca);
    QVERIFY(reader);
    reader->setReadBufferSize(1);
    reader->write(SiteKit::head("GET /videos/" + id));
    QTest::qWait(2000);
    const qint64 grown = SiteKit::memoryOf(site, "VmRSS:") - memoryBefore;
    if (SiteKit::MemoryMeasured)
        QVERIFY2(grown < 8 * 1024, qPrintable(QString::number(grown)));
    // Plain HTTP on the same port gets no page.
    QVERIFY(!SiteKit::firstRead(site.sitePort(), SiteKit::head("GET /")).startsWith("HTTP/"));
}

void TestVideositeTls::slowHandshake()
{
    // A ClientHello a byte every 100 ms: the head deadline cuts it off, long
    // before the idle timeout; others are served meanwhile.
    const QByteArray hello = clientHello();
    QVERIFY(hello.size() > 40);
    const auto slow = SiteKit::connectTo(m_site.sitePort());
    QVERIFY(slow);
    QElapsedTimer elapsed;
    elapsed.start();
    int sent = 0;
    QTimer trickle;
    connect(&trickle, &QTimer::timeout, this, [&] {
        if (sent < hello.size() && slow->state() == QAbstractSocket::ConnectedState)
            slow->write(hello.mid(sent++, 1));
    });
    trickle.start(100);
    QCOMPARE(SiteKit::get(m_site.sitePort(), "/", {}, m_ca).status, 200);
    QTRY_COMPARE_WITH_TIMEOUT(slow->state(), QAbstractSocket::UnconnectedState, 10000);
    QVERIFY2(elapsed.elapsed() < 5000, qPrintable(QString::number(elapsed.elapsed())));
    QVERIFY(sent < hello.size());
}

void TestVideositeTls::handshakeFlood()
{
    // An address at its limit is told so, over TLS.
    SiteKit::Sockets silent;
    for (int i = 0; i < 10; ++i)
        silent.push_back(SiteKit::connectFrom(20, m_site.sitePort()));
    QTest::qWait(300);
    const auto refused = SiteKit::connectTo(m_site.sitePort(), m_ca, 20);
    QVERIFY(refused && refused->waitForReadyRead(5000));
    QVERIFY(refused->readAll().startsWith("HTTP/1.1 503 "));

    // Connections that never begin their handshake, twice as many as the
    // server takes, do not keep a client out.
    for (int i = 0; i < 60; ++i)
        silent.push_back(SiteKit::connectFrom(10 + i % 6, m_site.sitePort()));
    QTest::qWait(500);
    QCOMPARE(SiteKit::get(m_site.sitePort(), "/", {}, m_ca).status, 200);
}

QTEST_GUILESS_MAIN(TestVideositeTls)
#include "tst_videosite_tls.moc"
