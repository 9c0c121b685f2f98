// The program run from a terminal, without a display, against the stand-in
// site running as a separate process: the account commands, uploads and
// what the site then holds, the exit codes and Ctrl+C.
#include "e2ekit.h"

#include <QDir>
#include <QPointer>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace Qt::StringLiterals;

namespace {

const QString Password = u"Secret-123"_s;
using Result = ProgramResult;

// The program with a settings folder of its own and no display at all.
struct Cli
{
    void start(QProcess &p, const QStringList &args) const
    {
        const QProcessEnvironment env = terminalEnvironment(config.path());
        p.setProcessEnvironment(env);
        p.start(env.value(u"UPLARK_PROGRAM"_s), args);
    }

    Result run(const QStringList &args, const QByteArray &input = {}) const
    {
        return runProgram(terminalEnvironment(config.path()), args, input);
    }

    QString settingsText() const
    {
        QFile f(config.path() + u"/uplark/uplark.conf"_s);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

    QTemporaryDir config;
};

// The stand-in site with the account alice, naming its servers by address.
struct Site
{
    bool start(const QStringList &more = {})
    {
        return site.start(QStringList{u"--public-host"_s, u"127.0.0.1"_s} + more)
               && site.addAccount(u"alice"_s, Password);
    }
    QString address() const { return u"127.0.0.1:"_s + QString::number(site.sitePort()); }
    QStringList at() const { return {u"--site"_s, address(), u"--conversion-host"_s, address()}; }
    QStringList files() const { return QDir(site.dataDir() + u"/videos"_s).entryList(QDir::Files); }
    int setAccount(const Cli &cli) const
    {
        return cli.run(QStringList{u"account"_s, u"set"_s, u"alice"_s} + at(), Password.toUtf8())
            .code;
    }

    SiteProcess site;
};

} // namespace

class TestE2ECli : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void accountSet_data();
    void accountSet();
    void upload();
    void uploadFails_data();
    void uploadFails();
    void interruptDuringPost();
};

void TestE2ECli::accountSet_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("stderrHas");
    QTest::newRow("accepted") << (Password.toUtf8() + '\n') << 0 << QByteArray("successfully set");
    QTest::newRow("wrong password")
        << QByteArray("secret-123\n") << 1 << QByteArray("Sorry, your login was incorrect.\n");
}

void TestE2ECli::accountSet()
{
    QFETCH(QByteArray, input);
    QFETCH(int, code);
    QFETCH(QByteArray, stderrHas);
    Site site;
    QVERIFY2(site.start(), qPrintable(site.site.errorString()));
    Cli cli;
    const Result r = cli.run(QStringList{u"account"_s, u"set"_s, u"alice"_s} + site.at(), input);
    QCOMPARE(r.code, code);
    QCOMPARE(r.out, QByteArray());
    QVERIFY2(r.err.contains(stderrHas), r.err.constData());
    // Accepted with no keyring to answer (the tests reach no session bus):
    // one line more says where the password went.
    QCOMPARE(r.err.count('\n'), code == 0 ? 2 : 1);
    QCOMPARE(r.err.contains("no desktop keyring answered"), code == 0);

    // Accepted: the name is shown and the password kept. Refused: nothing is kept.
    const Result show = cli.run({u"account"_s, u"show"_s});
    QCOMPARE(show.code, code == 0 ? 0 : 2);
    QCOMPARE(show.out, code == 0 ? QByteArray("alice\n") : QByteArray());
    QCOMPARE(cli.settingsText().contains(u"pw="_s + Password), code == 0);
}

void TestE2ECli::upload()
{
    Site site;
    QVERIFY2(site.start(), qPrintable(site.site.errorString()));
    Cli cli;
    QCOMPARE(site.setAccount(cli), 0);
    QTemporaryDir dir;
    const QByteArray video = videoBytes(3 * 1024 * 1024 + 7, 11);
    const QString file = writeFile(dir.filePath(u"Summer trip.mpg"_s), video);
    const QString description =
        writeFile(dir.filePath(u"description.txt"_s), "To the sea.\nAnd back & home.\n");
    QVERIFY(!file.isEmpty() && !description.isEmpty());

    const Result r = cli.run(QStringList{u"upload"_s, file, u"--title"_s, u"caf\u00e9"_s,
                                         u"--description-file"_s, description, u"--category"_s,
                                         u"Travel & Events"_s, u"--tags"_s, u"summer sea trip"_s}
                             + site.at());
    QVERIFY2(r.code == 0, r.err.constData());
    const QList<QByteArrayList> stored = storedVideos(site.site);
    QCOMPARE(stored.size(), 1);
    // Standard output is the watch address and nothing else.
    QCOMPARE(r.out, "http://" + site.address().toLatin1() + "/watch?v=" + stored[0][0] + '\n');
    QCOMPARE(stored[0][1],
             QByteArray("caf\xC3\xA9|To the sea.\r\nAnd back & home.|summer sea trip|19"));
    QVERIFY(stored[0][2] == video);
}

void TestE2ECli::uploadFails_data()
{
    QTest::addColumn<QString>("what");
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("message"); // the end of the one line on standard error
    QTest::newRow("missing file") << u"missing"_s << 2 << QByteArray("gone.avi: no such file\n");
    QTest::newRow("no stored account")
        << u"noaccount"_s << 2 << QByteArray("You must set your YouTube account first.\n");
    QTest::newRow("unreachable site") << u"unreachable"_s << 1 << QByteArray("Connection error!\n");
}

void TestE2ECli::uploadFails()
{
    QFETCH(QString, what);
    QFETCH(int, code);
    QFETCH(QByteArray, message);
    Site site;
    QVERIFY2(site.start(), qPrintable(site.site.errorString()));
    Cli cli;
    if (what != u"noaccount"_s)
        QCOMPARE(site.setAccount(cli), 0);
    QTemporaryDir dir;
    QFile file(dir.filePath(u"v.avi"_s));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.write(videoBytes(4096, 5)) == 4096);
    file.close();
    const QString path = what == u"missing"_s ? dir.filePath(u"gone.avi"_s) : file.fileName();
    const QStringList at = site.at();
    if (what == u"unreachable"_s)
        QVERIFY(site.site.stop());

    const Result r = cli.run(QStringList{u"upload"_s, path, u"--title=t"_s, u"--description=d"_s,
                                         u"--category=Music"_s, u"--tags=x"_s}
                             + at);
    QCOMPARE(r.code, code);
    QCOMPARE(r.out, QByteArray());
    QVERIFY2(r.err.startsWith("uplark: ") && r.err.endsWith(message), r.err.constData());
    QCOMPARE(r.err.count('\n'), 1);
    if (what != u"unreachable"_s)
        QVERIFY(storedVideos(site.site).isEmpty());
}

void TestE2ECli::interruptDuringPost()
{
    // The upload form names 127.0.0.1:PORT, where a relay passes on the
    // first mebibyte of the post to the upload server (at 127.0.0.2 with the
    // same port) and then reads no more, so that the post stays under way.
    QTcpServer relay;
    QVERIFY(relay.listen(QHostAddress::LocalHost, 0));
    const QHostAddress uploadHost(u"127.0.0.2"_s);
    qint64 forwarded = 0;
    QList<QPointer<QTcpSocket>> upstreams;
    connect(&relay, &QTcpServer::newConnection, this, [&] {
        QTcpSocket *client = relay.nextPendingConnection();
        auto *upstream = new QTcpSocket(client);
        upstreams.append(upstream);
        client->setReadBufferSize(64 * 1024);
        upstream->connectToHost(uploadHost, relay.serverPort());
        connect(client, &QTcpSocket::readyRead, upstream, [&, client, upstream] {
            const QByteArray piece = client->read(qMax<qint64>(0, 1024 * 1024 - forwarded));
            forwarded += piece.size();
            upstream->write(piece);
        });
    });
    Site site;
    QVERIFY2(site.start({u"--upload-listen"_s,
                         uploadHost.toString() + u':' + QString::number(relay.serverPort())}),
             qPrintable(site.site.errorString()));
    Cli cli;
    QCOMPARE(site.setAccount(cli), 0);

    QTemporaryDir dir;
    const QString file = writeFile(dir.filePath(u"long.avi"_s), videoBytes(24 * 1024 * 1024, 8));
    QVERIFY(!file.isEmpty());
    QProcess p;
    cli.start(p, QStringList{u"upload"_s, file, u"--title=t"_s, u"--description=d"_s,
                             u"--category=Music"_s, u"--tags=x"_s}
                     + site.at());
    QVERIFY(p.waitForStarted(10000));
    // The post is under way: the site is writing it to a part file.
    QTRY_COMPARE_WITH_TIMEOUT(forwarded, 1024 * 1024, 60000);
    QTRY_COMPARE_WITH_TIMEOUT(site.files().filter(u".part"_s).size(), 1, 30000);
    QCOMPARE(p.state(), QProcess::Running);

    ::kill(pid_t(p.processId()), SIGINT);
    QTRY_VERIFY_WITH_TIMEOUT(p.state() == QProcess::NotRunning, 30000);
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 130);
    QCOMPARE(p.readAllStandardOutput(), QByteArray());
    QVERIFY(p.readAllStandardError().contains("interrupted"));
    // The program's connection is gone; the relay, which holds what it
    // still sent unread, closes its side to the site, which then drops the
    // part file and keeps nothing.
    for (const QPointer<QTcpSocket> &upstream : std::as_const(upstreams)) {
        if (upstream)
            upstream->abort();
    }
    QTRY_VERIFY_WITH_TIMEOUT(site.files().isEmpty(), 30000);
    QVERIFY(storedVideos(site.site).isEmpty());
}

QTEST_GUILESS_MAIN(TestE2ECli)
#include "tst_e2e_cli.moc"
