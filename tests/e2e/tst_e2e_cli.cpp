// The program run from a terminal, without a display: against the stand-in
// site running as a separate process (uploads of several files, retries,
// Ctrl+C during a post, and what the site then holds), and against the
// scripted site of the test for what a real site seldom does (refusals,
// silence, odd answers, oversized conversions), in a pseudo-terminal for
// the progress line.
#include "e2ekit.h"
#include "fakesite.h"
#include "testcertificates.h"

#include "engine/model/account.h"
#include "engine/model/settings.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>

#include <csignal>
#include <memory>

#include <fcntl.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The stand-in site, with the account alice stored for the program, behind a
// relay on 127.0.0.1 in front of its upload server, which listens on
// 127.0.0.2 with the same port: the upload form names 127.0.0.1, so every
// file post passes through the relay. The first connection does what `cut`
// says once the first mebibyte of its post has passed; later ones pass
// everything both ways.
struct Relay : QObject
{
    enum class Cut { Stall, Reset };
    static constexpr qint64 MiB = 1024 * 1024;

    bool start(Cut firstCut)
    {
        cut = firstCut;
        connect(&server, &QTcpServer::newConnection, this, &Relay::accept);
        return server.listen(QHostAddress::LocalHost, 0)
               && site.start({u"--upload-listen"_s, upstreamHost.toString() + u':'
                                                        + QString::number(server.serverPort())})
               && site.setAccount(cli).code == 0;
    }

    void accept()
    {
        QTcpSocket *client = server.nextPendingConnection();
        const std::optional<Cut> held = connections++ == 0 ? std::optional(cut) : std::nullopt;
        auto *upstream = new QTcpSocket(client);
        upstreams.append(upstream);
        client->setReadBufferSize(64 * 1024);
        upstream->connectToHost(upstreamHost, server.serverPort());
        auto passed = std::make_shared<qint64>(0);
        connect(client, &QTcpSocket::readyRead, upstream, [=, this] {
            const QByteArray piece =
                client->read(held ? qMax<qint64>(0, MiB - *passed) : client->bytesAvailable());
            *passed += piece.size();
            forwarded += piece.size();
            upstream->write(piece);
            if (held == Cut::Reset && *passed == MiB) {
                // A zero linger time makes the close a reset.
                const linger now{1, 0};
                ::setsockopt(int(client->socketDescriptor()), SOL_SOCKET, SO_LINGER, &now,
                             sizeof now);
                client->abort();
                upstream->abort();
            }
        });
        connect(upstream, &QTcpSocket::readyRead, client,
                [=] { client->write(upstream->readAll()); });
    }

    QTcpServer server;
    const QHostAddress upstreamHost{u"127.0.0.2"_s};
    Cut cut = Cut::Stall;
    int connections = 0;
    qint64 forwarded = 0; // bytes of posts passed on
    QList<QPointer<QTcpSocket>> upstreams;
    Site site;
    Cli cli;
};

QJsonObject jsonOf(const QByteArray &line)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(line, &error);
    return error.error == QJsonParseError::NoError ? document.object() : QJsonObject();
}

// Stores alice's account without asking any site.
void storeAccount(const Cli &cli)
{
    uplark::SettingsStore settings(cli.config.path());
    QVERIFY(uplark::storeAccount(settings, {u"alice"_s, Password}));
}

} // namespace

class TestE2ECli : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void batch();
    void retries_data();
    void retries();
    void interruptDuringPost();
    void faults_data();
    void faults();
    void pacedOnATerminal();
    void refusedCertificate();

private:
    qint64 m_running = 0; // the process id of the program under way
};

void TestE2ECli::batch()
{
    // Three files and a metadata file: one file's texts are refused before
    // anything goes out. Without it the other two go up one after another,
    // each with its own texts (in UTF-8, the description file's line breaks
    // as CR LF), and the JSON lines say how each ended. The site and the
    // conversion are the ones stored with the account.
    Site site;
    QVERIFY2(site.start(), qPrintable(site.site.errorString()));
    Cli cli;
    QCOMPARE(cli.run({u"account"_s, u"set"_s, u"alice"_s, u"--site"_s, site.address()},
                     Password.toUtf8())
                 .code,
             0);
    QTemporaryDir dir;
    const QByteArray first = videoBytes(600 * 1024, 1), second = videoBytes(900 * 1024, 2);
    const QString a = writeFile(dir.filePath(u"alpha.mp4"_s), first);
    const QString b = writeFile(dir.filePath(u"beta clip.mp4"_s), second);
    const QString c = writeFile(dir.filePath(u"gamma.mp4"_s), "x");
    const QStringList options{
        u"--title={name} {n}/{total}"_s,
        u"--description-file"_s,
        writeFile(dir.filePath(u"description.txt"_s), "About {name}.\nAnd back & home.\n"),
        u"--category=Music"_s,
        u"--tags=t{n}"_s,
        u"--metadata"_s,
        writeFile(dir.filePath(u"meta.json"_s),
                  R"([{"file": "alpha.mp4", "title": "Caf\u00e9 <1>", "category": 22},
                      {"file": "gamma.mp4", "title": "   "}])"),
        u"--json"_s};

    const ProgramResult refused = cli.run(QStringList{u"upload"_s, a, b, c} + options);
    QCOMPARE(refused.code, 2);
    QCOMPARE(refused.out, QByteArray());
    QCOMPARE(refused.err, "uplark: " + c.toUtf8() + ": Please enter a TITLE for your video.\n");
    QVERIFY(storedVideos(site.site).isEmpty());

    const ProgramResult r = cli.run(QStringList{u"upload"_s, a, b} + options);
    QVERIFY2(r.code == 0, r.err.constData());
    const QList<QByteArrayList> stored = storedVideos(site.site);
    QCOMPARE(stored.size(), 2);
    QCOMPARE(stored[0][1], QByteArray("Caf\xC3\xA9 1|About alpha.\r\nAnd back & home.|t1|22"));
    QCOMPARE(stored[1][1], QByteArray("beta clip 2/2|About beta clip.\r\nAnd back & home.|t2|10"));
    QVERIFY(stored[0][2] == first && stored[1][2] == second);
    const QByteArrayList lines = r.out.trimmed().split('\n');
    QCOMPARE(lines.size(), 2);
    for (int i = 0; i < 2; ++i) {
        const QJsonObject o = jsonOf(lines[i]);
        QCOMPARE(o.value(u"file"_s).toString(), i == 0 ? a : b);
        QCOMPARE(o.value(u"status"_s).toString(), u"done"_s);
        QCOMPARE(o.value(u"address"_s).toString(), u"http://"_s + site.address() + u"/watch?v="_s
                                                       + QString::fromLatin1(stored[i][0]));
        QCOMPARE(o.value(u"bytes"_s).toInteger(), qint64(i == 0 ? first.size() : second.size()));
        QCOMPARE(o.value(u"tries"_s).toInt(), 1);
        QVERIFY(o.value(u"seconds"_s).toDouble() > 0);
        QVERIFY(!o.contains(u"failure"_s));
    }
    // The title the site was sent lost its "<" and ">", and that is said.
    QCOMPARE(jsonOf(lines[0]).value(u"changed"_s).toVariant().toStringList(),
             QStringList{u"title"_s});
    QCOMPARE(r.err, QByteArray("uplark: alpha.mp4: \"<\" and \">\" are taken out of the title\n"
                               "uplark: 2 of 2 uploaded\n"));
}

void TestE2ECli::retries_data()
{
    QTest::addColumn<bool>("rejected"); // the account is refused; otherwise a post is reset
    QTest::newRow("upload connection reset, then through") << false;
    QTest::newRow("account rejected: no retry") << true;
}

void TestE2ECli::retries()
{
    QFETCH(bool, rejected);
    Relay relay;
    QVERIFY2(relay.start(Relay::Cut::Reset), qPrintable(relay.site.site.errorString()));
    const Site &site = relay.site;
    const Cli &cli = relay.cli;
    if (rejected)
        QVERIFY(relay.site.site.addAccount(u"alice"_s, u"another password"_s));
    QTemporaryDir dir;
    const QByteArray video = videoBytes(3 * 1024 * 1024, 4);

    const ProgramResult r = site.upload(cli, writeFile(dir.filePath(u"v.mp4"_s), video),
                                        {u"--retry"_s, u"3"_s, u"--json"_s});
    const QJsonObject o = jsonOf(r.out);
    if (rejected) {
        // Asked once: trying again would only count as more failed logins.
        QCOMPARE(r.code, 1);
        QCOMPARE(o.value(u"status"_s).toString(), u"failed"_s);
        QCOMPARE(o.value(u"failure"_s).toString(), u"account-rejected"_s);
        QCOMPARE(o.value(u"tries"_s).toInt(), 1);
        QVERIFY(!r.err.contains("trying again"));
        QVERIFY(r.err.contains("Either your username or password is wrong."));
        QCOMPARE(relay.connections, 0);
        QVERIFY(!cli.settingsText().contains(u"un=alice"_s));
        QVERIFY(storedVideos(site.site).isEmpty());
        return;
    }
    // The first post was reset after a mebibyte; the second try, from the
    // login on, went through. The site keeps the video once and nothing of
    // the failed try.
    QVERIFY2(r.code == 0, r.err.constData());
    QCOMPARE(o.value(u"status"_s).toString(), u"done"_s);
    QCOMPARE(o.value(u"tries"_s).toInt(), 2);
    QVERIFY(!o.contains(u"message"_s) && !o.contains(u"failure"_s));
    QVERIFY2(r.err.contains("Connection error! (upload server 127.0.0.1:"), r.err.constData());
    QVERIFY(r.err.contains("; trying again in 1 s (try 2 of 4)\n"));
    QCOMPARE(relay.connections, 2);
    const QList<QByteArrayList> stored = storedVideos(site.site);
    QCOMPARE(stored.size(), 1);
    QVERIFY(stored[0][2] == video);
    QTRY_COMPARE(site.files(), QStringList{QString::fromLatin1(stored[0][0]) + u".video"_s});
}

void TestE2ECli::interruptDuringPost()
{
    // The relay passes on the first mebibyte of the post and then reads no
    // more, so that the post stays under way.
    Relay relay;
    QVERIFY2(relay.start(Relay::Cut::Stall), qPrintable(relay.site.site.errorString()));
    const Site &site = relay.site;
    QTemporaryDir dir;
    const QString file = writeFile(dir.filePath(u"long.avi"_s), videoBytes(24 * 1024 * 1024, 8));

    // Ctrl+C once the relay holds the post and the site is writing what
    // came of it to a part file.
    const ProgramResult r = site.upload(relay.cli, file, {}, [&](QProcess &p) {
        if (QTest::qWaitFor(
                [&] {
                    return relay.forwarded == Relay::MiB
                           && site.files().filter(u".part"_s).size() == 1;
                },
                60000))
            ::kill(pid_t(p.processId()), SIGINT);
    });
    QCOMPARE(r.code, 130);
    QCOMPARE(r.out, QByteArray());
    QVERIFY2(r.err.contains("interrupted; the upload was cancelled"), r.err.constData());
    // The program's connection is gone; the relay, which holds what it
    // still sent unread, closes its side to the site, which then drops the
    // part file and keeps nothing.
    for (const QPointer<QTcpSocket> &upstream : std::as_const(relay.upstreams)) {
        if (upstream)
            upstream->abort();
    }
    QTRY_VERIFY_WITH_TIMEOUT(site.files().isEmpty(), 30000);
    QVERIFY(storedVideos(site.site).isEmpty());
}

void TestE2ECli::faults_data()
{
    // What a site that refuses, is silent, odd or hostile makes of a run
    // against the scripted site, and what is wrong before any site is asked:
    // the exit code, what standard error ends with (%1: the site's port, %2:
    // the upload server's), and that it ends in time.
    QTest::addColumn<QStringList>("args"); // the command, before the site and the file
    QTest::addColumn<QString>("given");    // "", "no account", "missing file", "site closed"
    QTest::addColumn<int>("step");         // whose answer is replaced
    QTest::addColumn<QByteArrayList>("pieces");
    QTest::addColumn<bool>("silent");
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<int>("within"); // milliseconds
    const QStringList upload{u"upload"_s};
    const QStringList stall{u"upload"_s, u"--stall-timeout=1"_s};
    const QStringList accountSet{u"account"_s, u"set"_s, u"alice"_s};
    const QByteArray stalled = ": no byte moved for 1 s)\n";
    const int conversion = FakeSite::Conversion, login = FakeSite::Login, post = FakeSite::FilePost;
    const auto given = [&](const char *name, const QString &what, int code, const char *message) {
        QTest::newRow(name) << upload << what << conversion << QByteArrayList() << false << code
                            << QByteArray(message) << 8000;
    };
    given("missing file", u"missing file"_s, 2, "gone.avi: no such file\n");
    given("no stored account", u"no account"_s, 2, "You must set your YouTube account first.\n");
    // The step, the host and port, and the system's reason.
    given("unreachable site", u"site closed"_s, 1,
          "Connection error! (text conversion 127.0.0.1:%1: Connection refused)\n");
    QTest::newRow("account set, wrong password")
        << accountSet << QString() << login
        << QByteArrayList{"HTTP/1.1 200 OK\r\nContent-Length: 32\r\n\r\n"
                          "Sorry, your login was incorrect."}
        << false << 1 << QByteArray("Sorry, your login was incorrect.\n") << 8000;
    QTest::newRow("account set against a silent site")
        << accountSet + QStringList{u"--stall-timeout=1"_s} << QString() << login
        << QByteArrayList() << true << 1 << "Connection error! (login 127.0.0.1:%1" + stalled
        << 8000;
    QTest::newRow("silent login: the stall limit")
        << stall << QString() << login << QByteArrayList() << true << 1
        << "Connection error! (login 127.0.0.1:%1" + stalled << 8000;
    QTest::newRow("silent conversion: the stall limit")
        << stall << QString() << conversion << QByteArrayList() << true << 1
        << QByteArray("Connection error! (text conversion 127.0.0.1:%1: no byte of the answer came "
                      "for 1 s)\n")
        << 8000;
    QTest::newRow("5xx upload answer: its status named")
        << upload << QString() << post
        << QByteArrayList{"HTTP/1.1 507 Insufficient Storage\r\nContent-Length: 0\r\n\r\n"} << false
        << 1
        << QByteArray("The site could not store the video. (upload server 127.0.0.1:%2: status "
                      "507)\n")
        << 20000;
    QTest::newRow("escape bytes in the video id: refused, never printed")
        << upload << QString() << post
        << QByteArrayList{"HTTP/1.1 303 See Other\r\nLocation: /u?video_id=\x1b]0;X\x07\x9b"
                          "31m&s=ok\r\n\r\n"}
        << false << 1 << QByteArray("the video id holds characters an address cannot hold)\n")
        << 20000;
    QTest::newRow("upload answer split inside the id")
        << upload << QString() << post
        << QByteArrayList{"HTTP/1.1 303 See Other\r\nLocation: /u?video_id=Vid",
                          "_777x&s=ok\r\n\r\n"}
        << false << 0 << QByteArray() << 20000;
    // Cut off at 1 MiB, said at once or once a mebibyte has come.
    QTest::newRow("conversion answer of 600 MB")
        << upload << QString() << conversion
        << QByteArrayList{"HTTP/1.1 200 OK\r\nContent-Length: 629145600\r\n\r\n<TITLE>",
                          QByteArray(64 * 1024, 'x')}
        << false << 1 << QByteArray(": the answer is larger than 1 MiB)\n") << 8000;
    QTest::newRow("conversion answer over 1 MiB without a length")
        << upload << QString() << conversion
        << QByteArrayList{"HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n<TITLE>",
                          QByteArray(3 * 1024 * 1024, 'x')}
        << false << 1 << QByteArray(": the answer is larger than 1 MiB)\n") << 8000;
    // Ctrl+C once the conversion has been asked for, which never answers.
    QTest::newRow("Ctrl+C during the conversion")
        << upload << QString() << conversion << QByteArrayList() << true << 130
        << QByteArray("uplark: interrupted; nothing was uploaded\n") << 5000;
}

void TestE2ECli::faults()
{
    QFETCH(QStringList, args);
    QFETCH(QString, given);
    QFETCH(int, step);
    QFETCH(QByteArrayList, pieces);
    QFETCH(bool, silent);
    QFETCH(int, code);
    QFETCH(QByteArray, message);
    QFETCH(int, within);
    FakeSite site;
    QVERIFY(site.start());
    const QString address = site.address();
    message.replace("%1", QByteArray::number(site.sitePort()))
        .replace("%2", QByteArray::number(site.uploadPort()));
    site.scripts[step].silent = silent;
    if (!pieces.isEmpty())
        site.scripts[step].pieces = pieces;
    if (pieces.size() > 1 && step == FakeSite::Conversion)
        site.scripts[step].end = FakeSite::End::Close;
    Cli cli;
    const bool accountSet = args.at(0) == u"account"_s;
    if (!accountSet && given != u"no account"_s)
        storeAccount(cli);
    QTemporaryDir dir;
    QString file = writeFile(dir.filePath(u"v.mp4"_s), videoBytes(64 * 1024, 3));
    if (given == u"missing file"_s)
        file = dir.filePath(u"gone.avi"_s);
    if (given == u"site closed"_s)
        site.refuseSite();
    if (code == 130) {
        connect(&site, &FakeSite::requestComplete, this, [&](FakeSite::Step done) {
            if (done == FakeSite::Conversion)
                ::kill(pid_t(m_running), SIGINT);
        });
    }
    const ProgramResult r =
        cli.run(args + QStringList{u"--site"_s, address, u"--conversion-host"_s, address}
                    + (accountSet ? QStringList{} : QStringList{file} + VideoOptions),
                accountSet ? Password.toUtf8() + '\n' : QByteArray(), 60000,
                [&](QProcess &p) { m_running = p.processId(); });
    QCOMPARE(r.code, code);
    QVERIFY2(r.err.endsWith(message), r.err.constData());
    QVERIFY2(r.milliseconds < within, qPrintable(QString::number(r.milliseconds)));
    // Nothing the site supplied reaches the terminal as a control character.
    for (const QByteArray &output : {r.out, r.err}) {
        for (const char c : output)
            QVERIFY2(uchar(c) >= 0x20 || c == '\n', output.toPercentEncoding().constData());
        QVERIFY(!output.contains("\xc2\x9b"));
    }
    // A run of one file without the newer options: the address alone on
    // standard output, nothing on standard error. A failure: one line on
    // standard error; an account set keeps nothing, and an upload that fails
    // at the conversion or before never logs in.
    if (code == 0) {
        QCOMPARE(r.out + r.err, "http://" + address.toLatin1() + "/watch?v=Vid_777x\n");
        return;
    }
    QCOMPARE(r.out, QByteArray());
    QVERIFY2(r.err.startsWith("uplark: ") && r.err.count('\n') == 1, r.err.constData());
    if (accountSet)
        QVERIFY2(!cli.settingsText().contains(u"alice"_s)
                     && !cli.settingsText().contains(u"site="_s),
                 qPrintable(cli.settingsText()));
    else if (step == FakeSite::Conversion)
        QCOMPARE(site.complete[FakeSite::Login], 0);
}

void TestE2ECli::pacedOnATerminal()
{
    // 2 MiB at 1 MiB a second: the file post arrives at that rate, within
    // 5%. Standard error is a terminal 40 columns wide: one line, redrawn in
    // place, never wider than 39 columns, with the percentage, sent of total,
    // the speed and the time left; the final line stays.
    FakeSite site;
    QVERIFY(site.start());
    const QString address = site.address();
    Cli cli;
    storeAccount(cli);
    QTemporaryDir dir;
    const QString file = writeFile(dir.filePath(u"v.mp4"_s), videoBytes(2 * 1024 * 1024, 7));
    int master = -1, slave = -1;
    winsize size{24, 40, 0, 0}; // rows, columns
    QVERIFY(::openpty(&master, &slave, nullptr, nullptr, &size) == 0);
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    QByteArray terminal;
    QSocketNotifier reader(master, QSocketNotifier::Read);
    connect(&reader, &QSocketNotifier::activated, this, [&] {
        char bytes[4096];
        const ssize_t got = ::read(master, bytes, sizeof bytes);
        if (got > 0)
            terminal.append(bytes, got);
        else
            reader.setEnabled(false);
    });
    QProcess p;
    p.setChildProcessModifier([slave] { ::dup2(slave, STDERR_FILENO); });
    cli.start(p, QStringList{u"upload"_s, file, u"--limit-rate=1M"_s, u"--site"_s, address}
                     + VideoOptions);
    QVERIFY(p.waitForStarted(10000));
    ::close(slave);
    QTRY_VERIFY_WITH_TIMEOUT(p.state() == QProcess::NotRunning, 30000);
    QTest::qWait(200);
    ::close(master);
    QCOMPARE(p.exitCode(), 0);
    const qint64 after = site.received[FakeSite::FilePost].size() - site.firstPostBytes;
    const double rate = after * 1000.0 / double(site.lastPostByteAt - site.firstPostByteAt);
    QVERIFY2(qAbs(rate / (1024 * 1024) - 1) < 0.05, qPrintable(QString::number(rate)));

    // The terminal turns "\n" into "\r\n".
    QVERIFY2(terminal.endsWith("\x1b[K\r\n"), terminal.constData());
    const QByteArrayList draws = terminal.replace("\r\n", "\n").split('\r');
    QVERIFY2(draws.size() > 5, terminal.constData());
    bool allFigures = false;
    for (QByteArray draw : draws) {
        draw.replace("\x1b[K", "").replace("\n", "");
        QVERIFY2(draw.size() <= 39, draw.constData());
        allFigures = allFigures
                     || (draw.contains('%') && draw.contains(" MB ") && draw.contains("/s")
                         && draw.contains(" left"));
    }
    QVERIFY2(allFigures, terminal.constData());
    const QByteArray last = draws.constLast();
    QVERIFY2(last.startsWith("v.mp4 100% 2.0/2.0 MB ") && last.contains(" done in 0:0"),
             last.constData());
}

void TestE2ECli::refusedCertificate()
{
    // The site over TLS with a certificate that has expired: the check with
    // the site stops before a byte of the login, the run ends with 1 and
    // its line names the host and why, and nothing is stored.
    TestCertificates certs;
    QVERIFY2(certs.make(), qPrintable(certs.errorString()));
    Site site;
    QVERIFY2(site.start({u"--tls-cert"_s, certs.path(u"expired.pem"_s), u"--tls-key"_s,
                         certs.path(u"expired.key"_s)}),
             qPrintable(site.site.errorString()));
    const QString authority = u"localhost:"_s + QString::number(site.site.sitePort());
    Cli cli;
    const ProgramResult r =
        cli.run({u"account"_s, u"set"_s, u"alice"_s, u"--site"_s, u"https://"_s + authority,
                 u"--cacert"_s, certs.path(u"ca.pem"_s)},
                Password.toUtf8() + '\n');
    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.contains(authority.toLatin1() + ": Secure connection to " + authority.toLatin1()
                            + " refused: certificate has expired."),
             r.err.constData());
    QVERIFY(!cli.settingsText().contains(u"alice"_s));
}

QTEST_GUILESS_MAIN(TestE2ECli)
#include "tst_e2e_cli.moc"
