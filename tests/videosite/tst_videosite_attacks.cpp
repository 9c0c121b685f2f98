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
#include <QFile>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <memory>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// Short limits, so that the server's closing of attackers is seen in a test.
const QStringList ShortLimits = {u"--head-timeout"_s, u"4"_s, u"--idle-timeout"_s, u"6"_s};

using Sockets = std::vector<std::unique_ptr<QTcpSocket>>;

bool allClosed(const Sockets &sockets)
{
    return std::all_of(sockets.begin(), sockets.end(), [](const auto &s) {
        return s->state() == QAbstractSocket::UnconnectedState;
    });
}

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
    Sockets attackers;
    for (int i = 0; i < 300; ++i)
        attackers.push_back(SiteKit::connectFrom(10 + i % 10, site.sitePort()));
    int sentBytes = 0;
    QTimer trickleTimer;
    connect(&trickleTimer, &QTimer::timeout, this, [&] {
        for (size_t i = 1; i < attackers.size(); i += 2) {
            if (attackers[i]->state() == QAbstractSocket::ConnectedState)
                attackers[i]->write(head.mid(sentBytes % head.size(), 1));
        }
        ++sentBytes;
    });
    trickleTimer.start(1000);
    QTRY_VERIFY_WITH_TIMEOUT(
        std::none_of(attackers.begin(), attackers.end(),
                     [](const auto &s) { return s->state() == QAbstractSocket::ConnectingState; }),
        20000);
    QTest::qWait(1500);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(SiteKit::get(site.sitePort(), "/").status, 200);
    for (const auto &socket : attackers)
        QVERIFY(!socket->peek(64).startsWith("HTTP/1.1 503 "));

    // The server closes them all: those sending a head at its deadline, the
    // others at the idle timeout.
    QTRY_VERIFY_WITH_TIMEOUT(allClosed(attackers), 20000);
    QVERIFY(site.stop());
}

void TestVideositeAttacks::answersNeverRead()
{
    SiteProcess site;
    QVERIFY2(site.start(ShortLimits), qPrintable(site.errorString()));
    const qint64 rssBefore = SiteKit::memoryOf(site, "VmRSS:");

    // The client takes nothing from its socket and keeps requesting pages
    // back to back until the connection has taken nothing more for two seconds.
    QTcpSocket socket;
    socket.setReadBufferSize(1);
    socket.connectToHost(QHostAddress::LocalHost, site.sitePort());
    QVERIFY(socket.waitForConnected(5000));
    QByteArray chunk;
    while (chunk.size() < 64 * 1024)
        chunk += "GET / HTTP/1.1\r\nHost: localhost\r\n\r\n";
    qint64 written = 0;
    QElapsedTimer sinceProgress;
    sinceProgress.start();
    QDeadlineTimer deadline(60000);
    while (sinceProgress.elapsed() < 2000 && !deadline.hasExpired() && written < 512 * 1024 * 1024
           && socket.state() == QAbstractSocket::ConnectedState) {
        if (socket.bytesToWrite() < 256 * 1024) {
            socket.write(chunk);
            written += chunk.size();
        }
        if (socket.waitForBytesWritten(100))
            sinceProgress.restart();
    }
    const qint64 taken = written - socket.bytesToWrite();
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
    constexpr int Clients = 250;
    constexpr int bodySize = 1024 * 1024;
    const QByteArray head =
        "POST /conversions/str.asp HTTP/1.1\r\nHost: localhost\r\nContent-Length: "
        + QByteArray::number(bodySize) + "\r\n\r\ntitle=";
    const QByteArray body(bodySize - 1 - 6, 'x');
    Sockets clients;
    std::vector<QByteArray> answers(Clients);
    for (int i = 0; i < Clients; ++i) {
        clients.push_back(SiteKit::connectFrom(10 + i % 10, site.sitePort()));
        QTcpSocket *socket = clients.back().get();
        connect(socket, &QTcpSocket::readyRead, this,
                [&answers, i, socket] { answers[i] += socket->readAll(); });
        socket->write(head + body);
    }
    // The bodies stop coming, and each connection is closed at the end of
    // its rate window.
    QTRY_VERIFY_WITH_TIMEOUT(allClosed(clients), 60000);
    // Answered 503 before, or not answered at all.
    int refused = 0;
    for (const QByteArray &answer : answers) {
        QVERIFY2(answer.isEmpty() || answer.startsWith("HTTP/1.1 503 "), answer.constData());
        refused += answer.isEmpty() ? 0 : 1;
    }
    const qint64 peak = SiteKit::memoryOf(site, "VmHWM:");
    qInfo("%d answered 503; server memory %lld KiB before, peak %lld KiB", refused, rssBefore,
          peak);
    QVERIFY(refused >= Clients - 32);
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
    // password check just the same), then a page. The order of the answers
    // is kept: "page" or the login's number.
    constexpr int Logins = 20;
    Sockets sockets;
    std::vector<QByteArray> answers(Logins + 1);
    QStringList order;
    for (int i = 0; i <= Logins; ++i) {
        sockets.push_back(SiteKit::connectFrom(1, site.sitePort()));
        QTcpSocket *socket = sockets.back().get();
        connect(socket, &QTcpSocket::readyRead, this, [&, i, socket] {
            if (answers[i].isEmpty())
                order.append(i == Logins ? u"page"_s : QString::number(i));
            answers[i] += socket->readAll();
        });
        socket->write(i == Logins ? "GET / HTTP/1.1\r\nHost: localhost\r\n\r\n"
                                  : uplark::loginRequest(
                                      SiteHost, i == 0 ? u"ann"_s : u"nobody%1"_s.arg(i), u"pw"_s));
    }
    QTRY_COMPARE_WITH_TIMEOUT(order.size(), Logins + 1, 60000);
    qInfo() << "answered in this order:" << order.join(u' ');
    QVERIFY(answers[Logins].startsWith("HTTP/1.1 200 "));
    // The page does not wait for all the password checks.
    QVERIFY(order.indexOf(u"page"_s) < Logins);
    for (int i = 0; i < Logins; ++i) {
        const QByteArray marker =
            i == 0 ? "\r\nSet-Cookie: LOGIN_INFO=" : "Sorry, your login was incorrect.";
        QTRY_VERIFY2_WITH_TIMEOUT(answers[i].contains(marker), answers[i].constData(), 5000);
    }
    QVERIFY(site.stop());
}

QTEST_GUILESS_MAIN(TestVideositeAttacks)
#include "tst_videosite_attacks.moc"
