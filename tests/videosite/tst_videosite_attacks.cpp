// A hostile client's ways of shutting the stand-in site out or growing its
// memory: idle and slow connections by the hundred, answers never read,
// request bodies held open, logins at once. Each runs
// against a fresh videosite, bounded in count and time; the figures are
// printed for the README, and asserted only as "answered" and "bounded".
#include "sitekit.h"
#include "siteprocess.h"

#include "engine/protocol/login.h"
#include "uplark_config.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

// Short limits, so that the server's closing of attackers is seen in a test.
const QStringList ShortLimits = {u"--head-timeout"_s, u"4"_s, u"--idle-timeout"_s, u"6"_s};

// Clients that send their request at once; their answers are collected as
// they come, and the order in which the first bytes of each came.
struct Clients
{
    SiteKit::Sockets sockets;
    QByteArrayList answers;
    QList<int> order;

    void open(int octet, quint16 port, const QByteArray &request)
    {
        const qsizetype i = answers.size();
        answers.append(QByteArray());
        sockets.push_back(SiteKit::connectFrom(octet, port));
        QTcpSocket *socket = sockets.back().get();
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, i, socket] {
            if (answers[i].isEmpty())
                order.append(int(i));
            answers[i] += socket->readAll();
        });
        socket->write(request);
    }
    qsizetype closed() const
    {
        return SiteKit::countIn(sockets, QAbstractSocket::UnconnectedState);
    }
};

} // namespace

class TestVideositeAttacks : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void idleAndSlowClients();
    void answersNeverRead();
    void bodiesHeldOpen();
    void loginsAtOnce();
};

void TestVideositeAttacks::idleAndSlowClients()
{
    SiteProcess site;
    QVERIFY2(site.start(ShortLimits), qPrintable(site.errorString()));

    // 300 connections over 10 addresses, under the limit per address: every
    // other one idle, the rest sending a head one byte a second.
    const QByteArray head =
        "GET / HTTP/1.1\r\nHost: localhost\r\nUser-Agent: one byte at a time\r\n";
    Clients attackers;
    for (int i = 0; i < 300; ++i)
        attackers.open(10 + i % 10, site.sitePort(), {});
    int sentBytes = 0;
    QTimer trickleTimer;
    connect(&trickleTimer, &QTimer::timeout, this, [&] {
        for (size_t i = 1; i < attackers.sockets.size(); i += 2) {
            if (attackers.sockets[i]->state() == QAbstractSocket::ConnectedState)
                attackers.sockets[i]->write(head.mid(sentBytes % head.size(), 1));
        }
        ++sentBytes;
    });
    trickleTimer.start(1000);
    QTRY_COMPARE_WITH_TIMEOUT(SiteKit::countIn(attackers.sockets, QAbstractSocket::ConnectingState),
                              0, 20000);
    QTest::qWait(1500);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(SiteKit::get(site.sitePort(), "/").status, 200);
    for (const QByteArray &answer : std::as_const(attackers.answers))
        QVERIFY(!answer.startsWith("HTTP/1.1 503 "));

    // The server closes them all: those sending a head at its deadline, the
    // others at the idle timeout.
    QTRY_COMPARE_WITH_TIMEOUT(attackers.closed(), 300, 20000);
    QVERIFY(site.stop());
}

void TestVideositeAttacks::answersNeverRead()
{
    SiteProcess site;
    QVERIFY2(site.start(ShortLimits), qPrintable(site.errorString()));
    const qint64 rssBefore = SiteKit::memoryOf(site, "VmRSS:");

    // The client takes nothing from its socket and keeps requesting pages
    // back to back until the connection has taken nothing more for two seconds.
    const auto socket = SiteKit::connectTo(site.sitePort());
    QVERIFY(socket);
    socket->setReadBufferSize(1);
    QByteArray chunk;
    while (chunk.size() < 64 * 1024)
        chunk += SiteKit::head("GET /");
    qint64 written = 0;
    QElapsedTimer sinceProgress;
    sinceProgress.start();
    QDeadlineTimer deadline(60000);
    while (sinceProgress.elapsed() < 2000 && !deadline.hasExpired() && written < 512 * 1024 * 1024
           && socket->state() == QAbstractSocket::ConnectedState) {
        if (socket->bytesToWrite() < 256 * 1024)
            written += socket->write(chunk);
        if (socket->waitForBytesWritten(100))
            sinceProgress.restart();
    }
    const qint64 taken = written - socket->bytesToWrite();
    const qint64 rssAfter = SiteKit::memoryOf(site, "VmRSS:");
    qInfo("the connection took %lld KiB; server memory %lld KiB before, %lld KiB after",
          taken / 1024, rssBefore, rssAfter);
    QVERIFY2(taken < 64 * 1024 * 1024, "the server kept reading");
    if (SiteKit::MemoryMeasured)
        QVERIFY(rssAfter - rssBefore < 32 * 1024);
    QCOMPARE(SiteKit::get(site.sitePort(), "/").status, 200);
    QVERIFY(site.stop());
}

void TestVideositeAttacks::bodiesHeldOpen()
{
    // 250 bodies of 1 MiB, over the small-body size: they share a 32 MiB
    // budget, so most are refused. Rate windows long enough that no body held is closed (and its
    // place in the budget freed) while the others are still being sent.
    SiteProcess site;
    QVERIFY2(site.start({u"--head-timeout"_s, u"8"_s}), qPrintable(site.errorString()));
    const qint64 rssBefore = SiteKit::memoryOf(site, "VmRSS:");

    // Every body but its last byte; spread over 10 addresses.
    constexpr int Count = 250, BodySize = 1024 * 1024;
    const QByteArray request =
        SiteKit::post("/conversions/str.asp", BodySize, "title=" + QByteArray(BodySize - 7, 'x'));
    Clients clients;
    for (int i = 0; i < Count; ++i)
        clients.open(10 + i % 10, site.sitePort(), request);
    // The bodies stop coming, and each connection is closed at the end of
    // its rate window: answered 503 before, or not answered at all.
    QTRY_COMPARE_WITH_TIMEOUT(clients.closed(), Count, 60000);
    for (const QByteArray &answer : std::as_const(clients.answers))
        QVERIFY2(answer.isEmpty() || answer.startsWith("HTTP/1.1 503 "), answer.constData());
    const qsizetype refused = clients.order.size();
    const qint64 peak = SiteKit::memoryOf(site, "VmHWM:");
    qInfo("%lld answered 503; server memory %lld KiB before, peak %lld KiB", qint64(refused),
          rssBefore, peak);
    QVERIFY(refused >= Count - 32);
    if (SiteKit::MemoryMeasured)
        QVERIFY(peak - rssBefore < 64 * 1024);
    QVERIFY(site.stop());
}

void TestVideositeAttacks::loginsAtOnce()
{
    SiteProcess site;
    QVERIFY2(site.start(), qPrintable(site.errorString()));
    QVERIFY(site.addAccount(u"ann"_s, u"pw"_s));

    // Twenty logins (the account's and nineteen unknown names, which cost a
    // password check just the same), then a page.
    constexpr int Logins = 20;
    Clients clients;
    for (int i = 0; i < Logins; ++i)
        clients.open(
            1, site.sitePort(),
            uplark::loginRequest(SiteHost, i == 0 ? u"ann"_s : u"nobody%1"_s.arg(i), u"pw"_s));
    clients.open(1, site.sitePort(), SiteKit::head("GET /"));
    QTRY_COMPARE_WITH_TIMEOUT(clients.order.size(), Logins + 1, 60000);
    qInfo() << "answered in this order (the page is" << Logins << "):" << clients.order;
    QVERIFY(clients.answers[Logins].startsWith("HTTP/1.1 200 "));
    // The page does not wait for all the password checks.
    QVERIFY(clients.order.indexOf(Logins) < Logins);
    for (int i = 0; i < Logins; ++i) {
        const QByteArray marker =
            i == 0 ? "\r\nSet-Cookie: LOGIN_INFO=" : "Sorry, your login was incorrect.";
        QTRY_VERIFY2_WITH_TIMEOUT(clients.answers[i].contains(marker),
                                  clients.answers[i].constData(), 5000);
    }
    QVERIFY(site.stop());
}

QTEST_GUILESS_MAIN(TestVideositeAttacks)
#include "tst_videosite_attacks.moc"
