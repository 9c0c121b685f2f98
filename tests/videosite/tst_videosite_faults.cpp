// The stand-in site when things go wrong around it: a lost or damaged
// database, a full disk, a flood of idle connections, refusals that must
// arrive, the process out of descriptors, rows left to expire, and the
// secrets in its data folder. Each runs against a videosite process.
#include "sitekit.h"
#include "siteprocess.h"

#include "engine/protocol/login.h"
#include "uplark_config.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <vector>

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <netinet/in.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QByteArrayList RejectionTexts = {"You had too many", "Please check your",
                                       "Sorry, your login was incorrect."};

// Runs "videosite --data DIR" to its end, or stops it once it serves.
struct StartResult
{
    bool served = false;
    int exitCode = -1;
    QByteArray messages;
};

StartResult startOn(const QString &dataDir)
{
    SiteProcess site;
    StartResult result;
    result.served = site.start({u"--data"_s, dataDir});
    if (result.served)
        site.stop();
    else
        site.process().waitForFinished(20000);
    result.exitCode = site.process().exitCode();
    // What start() read of standard error is in its error string.
    result.messages = site.errorString().toUtf8() + site.process().readAllStandardError();
    return result;
}

bool addAccount(const QString &dataDir, const QString &name, const QByteArray &password)
{
    QProcess process;
    process.start(qEnvironmentVariable("UPLARK_VIDEOSITE"),
                  {u"--data"_s, dataDir, u"add-account"_s, name});
    process.write(password + '\n');
    process.closeWriteChannel();
    return process.waitForFinished(60000) && process.exitCode() == 0;
}

// Runs SQL on the site's database from the test.
QList<QVariantList> sql(const QString &dataDir, const QStringList &statements)
{
    QList<QVariantList> rows;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"faults"_s);
        db.setDatabaseName(dataDir + u"/videosite.sqlite"_s);
        if (db.open()) {
            for (const QString &statement : statements) {
                QSqlQuery query(statement, db);
                while (query.next()) {
                    QVariantList row;
                    for (int i = 0; i < query.record().count(); ++i)
                        row.append(query.value(i));
                    rows.append(row);
                }
            }
        }
    }
    QSqlDatabase::removeDatabase(u"faults"_s);
    return rows;
}

// Overwrites the root page of the accounts table, as a failing disk would.
bool damageAccounts(const QString &dataDir)
{
    const QList<QVariantList> found =
        sql(dataDir, {u"PRAGMA wal_checkpoint(TRUNCATE)"_s, u"PRAGMA page_size"_s,
                      u"SELECT rootpage FROM sqlite_master WHERE name = 'accounts'"_s});
    if (found.size() != 3)
        return false;
    const qint64 pageSize = found[1][0].toLongLong();
    QFile file(dataDir + u"/videosite.sqlite"_s);
    return file.open(QIODevice::ReadWrite) && file.seek((found[2][0].toLongLong() - 1) * pageSize)
           && file.write(QByteArray(pageSize, '\xA5')) == pageSize;
}

QString writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() ? path : QString();
}

// The first piece of the answer to a login.
QByteArray loginAnswer(quint16 port, const QString &user, const QString &password)
{
    return SiteKit::firstRead(port, uplark::loginRequest(SiteHost, user, password));
}

bool holdsRejection(const QByteArray &answer)
{
    return std::any_of(RejectionTexts.begin(), RejectionTexts.end(),
                       [&answer](const QByteArray &text) { return answer.contains(text); });
}

// A small tmpfs of its own stands for a disk that fills up.
struct SmallDisk
{
    QTemporaryDir parent;
    QString path = parent.path() + u"/disk"_s;
    bool mounted = false;

    bool mount(const char *size)
    {
        mounted = QDir().mkpath(path) && ::mount("tmpfs", qPrintable(path), "tmpfs", 0, size) == 0;
        return mounted;
    }
    // Writes a file until the disk is full.
    void fill()
    {
        QFile filler(path + u"/filler"_s);
        filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
        const QByteArray chunk(4096, 'f');
        while (filler.write(chunk) == chunk.size()) { }
    }
    ~SmallDisk()
    {
        if (mounted)
            ::umount2(qPrintable(path), MNT_DETACH);
    }
};

// A plain blocking socket, to tell an orderly end from a reset.
struct RawClient
{
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);

    bool connectTo(quint16 port, const char *fromAddress = "127.0.0.1")
    {
        timeval timeout{10, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        ::inet_pton(AF_INET, fromAddress, &address.sin_addr);
        if (::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0)
            return false;
        address.sin_port = htons(port);
        ::inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
        return ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    }
    // Sends everything, then ends its side; false when the peer cut it off.
    bool sendAll(QByteArrayView bytes)
    {
        while (!bytes.isEmpty()) {
            const ssize_t sent = ::send(fd, bytes.data(), size_t(bytes.size()), MSG_NOSIGNAL);
            if (sent <= 0)
                return false;
            bytes = bytes.sliced(sent);
        }
        return ::shutdown(fd, SHUT_WR) == 0;
    }
    // Everything up to the end; the error that ended it (0 for an orderly end).
    QByteArray receiveAll(int *error)
    {
        QByteArray received;
        char buffer[65536];
        for (;;) {
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0) {
                *error = n == 0 ? 0 : errno;
                return received;
            }
            received.append(buffer, n);
        }
    }
    ~RawClient() { ::close(fd); }
};

// CPU seconds the process has used.
double cpuSeconds(qint64 pid)
{
    QFile stat(u"/proc/%1/stat"_s.arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArrayList fields = stat.readAll().split(')').value(1).split(' ');
    return (fields.value(12).toDouble() + fields.value(13).toDouble()) / ::sysconf(_SC_CLK_TCK);
}

} // namespace

class TestVideositeFaults : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void startWithStoredVideos_data();
    void startWithStoredVideos();
    void storeFailsWhileServing_data();
    void storeFailsWhileServing();
    void idleFlood();
    void refusalsArriveIntact_data();
    void refusalsArriveIntact();
    void descriptorsRunOut();
    void expiredRowsPurged();
    void secretsKeptPrivate();
};

void TestVideositeFaults::startWithStoredVideos_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<bool>("served");
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QStringList>("videosAfter");
    const QStringList stored = {u"Stored01.video"_s};
    QTest::newRow("empty database") << u"empty"_s << false << QByteArray("is empty") << stored;
    QTest::newRow("no database") << u"missing"_s << false << QByteArray("is missing") << stored;
    QTest::newRow("damaged database")
        << u"damaged"_s << false << QByteArray("is damaged") << stored;
    QTest::newRow("a video without a record is kept")
        << u"unknown"_s << true << QByteArray("Unknown1.video has no record")
        << stored + QStringList{u"Unknown1.video"_s};
    QTest::newRow("a video moved into place when the site stopped is removed")
        << u"placing"_s << true << QByteArray("removed unfinished upload") << stored;
}

void TestVideositeFaults::startWithStoredVideos()
{
    QFETCH(QString, fault);
    QFETCH(bool, served);
    QFETCH(QByteArray, message);
    QFETCH(QStringList, videosAfter);

    // A site that has stored one video.
    QTemporaryDir parent;
    const QString data = parent.path() + u"/site"_s;
    QVERIFY(startOn(data).served);
    QVERIFY(addAccount(data, u"ann"_s, "pw"));
    sql(data, {u"INSERT INTO videos VALUES ('Stored01', 1, 't', 'd', 'g', '22', 5, 1)"_s});
    const QString videos = data + u"/videos/"_s;
    QVERIFY(!writeFile(videos + u"Stored01.video"_s, "video").isEmpty());

    const QString database = data + u"/videosite.sqlite"_s;
    if (fault == u"empty"_s) {
        QVERIFY(QFile::resize(database, 0));
    } else if (fault == u"missing"_s) {
        QVERIFY(QFile::remove(database));
    } else if (fault == u"damaged"_s) {
        QVERIFY(damageAccounts(data));
    } else if (fault == u"unknown"_s) {
        QVERIFY(!writeFile(videos + u"Unknown1.video"_s, "video").isEmpty());
    } else {
        sql(data, {u"INSERT INTO placing_videos VALUES ('Placing1')"_s});
        QVERIFY(!writeFile(videos + u"Placing1.video"_s, "video").isEmpty());
    }

    const StartResult start = startOn(data);
    QVERIFY2(start.messages.contains(message), start.messages.constData());
    QCOMPARE(start.served, served);
    if (!served)
        QCOMPARE(start.exitCode, 1);
    QCOMPARE(QDir(videos).entryList(QDir::Files), videosAfter);
}

void TestVideositeFaults::storeFailsWhileServing_data()
{
    QTest::addColumn<bool>("fullDisk");
    QTest::addColumn<int>("status");
    QTest::newRow("full disk") << true << 507;
    QTest::newRow("database damaged") << false << 500;
}

void TestVideositeFaults::storeFailsWhileServing()
{
    QFETCH(bool, fullDisk);
    QFETCH(int, status);

    SmallDisk disk;
    if (fullDisk && !disk.mount("size=4m"))
        QSKIP("mounting a tmpfs needs root (or a user namespace)");
    const QString data = fullDisk ? disk.path : disk.parent.path() + u"/site"_s;
    SiteProcess site;
    QVERIFY2(site.start({u"--data"_s, data}), qPrintable(site.errorString()));
    QVERIFY(addAccount(data, u"ann"_s, "right"));
    const QByteArray cookie = SiteKit::login(site, u"ann"_s, u"right"_s);
    const QByteArray ticket = SiteKit::ticket(site, cookie);
    QVERIFY(!ticket.isEmpty());

    if (fullDisk) {
        disk.fill();
    } else {
        QVERIFY(damageAccounts(data));
        // A change by another connection makes the site read the pages anew.
        sql(data, {u"CREATE TABLE poke (x)"_s});
    }

    // The right password: the site's failure, in no words of a rejection.
    const QByteArray statusLine = "HTTP/1.1 " + QByteArray::number(status) + ' ';
    const QByteArray answer = loginAnswer(site.sitePort(), u"ann"_s, u"right"_s);
    QVERIFY2(answer.startsWith(statusLine), answer.constData());
    QVERIFY(!holdsRejection(answer) && !answer.contains("LOGIN_INFO"));

    // Wrong guesses are still counted, in memory when they cannot be
    // stored; where the accounts cannot be read, no guess is judged.
    QByteArrayList verdicts;
    for (int i = 0; i < 6; ++i) {
        const QByteArray guess = loginAnswer(site.sitePort(), u"ann"_s, u"wrong"_s);
        verdicts.append(guess.startsWith(statusLine) ? "failed"
                        : guess.contains("Sorry")    ? "wrong"
                        : guess.contains("You had")  ? "locked"
                                                     : guess.left(12));
    }
    QCOMPARE(verdicts.join(' '), fullDisk ? "wrong wrong wrong wrong wrong locked"
                                          : "failed failed failed failed failed failed");

    if (fullDisk) {
        // A ticket cannot be stored, nor a file: 507, and the log says why.
        const QByteArray form = SiteKit::firstRead(
            site.sitePort(), "POST /my_videos_upload HTTP/1.1\r\nHost: localhost\r\nCookie: "
                                 + cookie + "\r\nContent-Length: 0\r\n\r\n");
        QVERIFY2(form.startsWith(statusLine), form.constData());
        const QByteArray post = SiteKit::filePost(cookie, ticket, SiteKit::trickyFile(512 * 1024));
        const QByteArray upload = SiteKit::firstRead(site.uploadPort(), post);
        QVERIFY2(upload.startsWith(statusLine), upload.constData());
        QVERIFY(!upload.contains("video_id="));
        QByteArray log;
        QTRY_VERIFY2(
            (log += site.process().readAllStandardError()).contains("No space left on device"),
            log.constData());
        QVERIFY(!log.contains("Unknown error"));
        const QStringList left = QDir(data + u"/videos"_s).entryList(QDir::Files);
        QVERIFY2(left.isEmpty(), qPrintable(left.join(u' ')));
    }
    QVERIFY(site.stop());
}

void TestVideositeFaults::idleFlood()
{
    // 20 addresses open idle connections, more than the server takes in
    // all, and keep renewing them; a client that sends its request is
    // served all the while.
    SiteProcess site;
    QVERIFY2(site.start({u"--max-connections"_s, u"60"_s}), qPrintable(site.errorString()));
    std::vector<std::unique_ptr<QTcpSocket>> flood;
    for (int round = 0; round < 4; ++round) {
        for (int i = 0; i < 40; ++i)
            flood.push_back(SiteKit::connectFrom(10 + i % 20, site.sitePort()));
        QTRY_VERIFY_WITH_TIMEOUT(std::none_of(flood.begin(), flood.end(),
                                              [](const auto &socket) {
                                                  return socket->state()
                                                         == QAbstractSocket::ConnectingState;
                                              }),
                                 10000);
        QTest::qWait(200);
        const SiteKit::Answer probe = SiteKit::get(site.sitePort(), "/");
        QVERIFY2(probe.status == 200, probe.head.constData());
    }
    QVERIFY(site.stop());
}

void TestVideositeFaults::refusalsArriveIntact_data()
{
    // Each client sends its whole request, more than the server reads,
    // before it reads the answer.
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("statusLine");
    QTest::newRow("503: one address over its limit")
        << "POST /conversions/str.asp HTTP/1.1\r\nHost: localhost\r\nContent-Length: 300000\r\n\r\n"
               + QByteArray(300000, 'x')
        << QByteArray("HTTP/1.1 503 ");
    QTest::newRow("431: a head too large")
        << "GET / HTTP/1.1\r\nHost: localhost\r\nX-Padding: " + QByteArray(200000, 'x') + "\r\n\r\n"
        << QByteArray("HTTP/1.1 431 ");
    QTest::newRow("413: a body over the cap") << "POST /conversions/str.asp HTTP/1.1\r\nHost: "
                                                 "localhost\r\nContent-Length: 3000000\r\n\r\n"
                                                     + QByteArray(1500000, 'x')
                                              << QByteArray("HTTP/1.1 413 ");
}

void TestVideositeFaults::refusalsArriveIntact()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, statusLine);
    SiteProcess site;
    QVERIFY2(site.start({u"--connections-per-address"_s, u"2"_s}), qPrintable(site.errorString()));
    RawClient held[2];
    if (statusLine.contains("503")) {
        for (RawClient &client : held)
            QVERIFY(client.connectTo(site.sitePort()));
        QTest::qWait(200);
    }
    RawClient client;
    QVERIFY(client.connectTo(site.sitePort()));
    QVERIFY2(client.sendAll(request), "the server cut the request off");
    QTest::qWait(300);
    int error = -1;
    const QByteArray answer = client.receiveAll(&error);
    QVERIFY2(answer.startsWith(statusLine), answer.left(200).constData());
    QVERIFY(answer.contains("</html>"));
    QCOMPARE(error, 0); // an orderly end, no reset
    QVERIFY(site.stop());
}

void TestVideositeFaults::descriptorsRunOut()
{
    // The server may hold few descriptors; idle clients take them all.
    SiteProcess site;
    site.process().setChildProcessModifier([] {
        const rlimit few{48, 48};
        ::setrlimit(RLIMIT_NOFILE, &few);
    });
    QVERIFY2(site.start(), qPrintable(site.errorString()));
    // A first request, served while descriptors are free: UBSan's runtime
    // needs one to check a type the first time it meets it.
    QCOMPARE(SiteKit::get(site.sitePort(), "/").status, 200);
    std::vector<std::unique_ptr<QTcpSocket>> idle;
    for (int i = 0; i < 80; ++i)
        idle.push_back(SiteKit::connectFrom(10 + i % 4, site.sitePort()));
    QTest::qWait(1000);

    // No busy retrying while the descriptors are out...
    const qint64 pid = site.process().processId();
    const double cpuBefore = cpuSeconds(pid);
    QTest::qWait(3000);
    const double cpuUsed = cpuSeconds(pid) - cpuBefore;
    QVERIFY2(cpuUsed < 0.3, qPrintable(QString::number(cpuUsed)));
    // ...and a client that sends its request is served, in place of an idle one.
    const SiteKit::Answer probe = SiteKit::get(site.sitePort(), "/");
    QVERIFY2(probe.status == 200, probe.head.constData());
    QVERIFY(site.stop());
    const QByteArray log = site.process().readAllStandardError();
    QCOMPARE(log.count("cannot accept connections"), 1);
    QVERIFY2(log.contains("Too many open files"), log.constData());
}

void TestVideositeFaults::expiredRowsPurged()
{
    // Tickets live 2 s; a session that expired long ago is put in by hand.
    SiteProcess site;
    QVERIFY2(site.start({u"--ticket-lifetime"_s, u"2"_s}), qPrintable(site.errorString()));
    QVERIFY(site.addAccount(u"ann"_s, u"pw"_s));
    const QByteArray cookie = SiteKit::login(site, u"ann"_s, u"pw"_s);
    QVERIFY(!SiteKit::ticket(site, cookie).isEmpty());
    sql(site.dataDir(), {u"INSERT INTO sessions VALUES ('expired', 1, 0, 1)"_s});
    const auto count = [&site](const QString &table) {
        return sql(site.dataDir(), {u"SELECT COUNT(*) FROM "_s + table}).value(0).value(0).toInt();
    };
    QCOMPARE(count(u"sessions"_s), 2);
    QCOMPARE(count(u"upload_tickets"_s), 1);
    QTRY_COMPARE_WITH_TIMEOUT(count(u"upload_tickets"_s), 0, 8000);
    QTRY_COMPARE_WITH_TIMEOUT(count(u"sessions"_s), 1, 8000);
    // The live session stays.
    QVERIFY(!SiteKit::ticket(site, cookie).isEmpty());
    QVERIFY(site.stop());
}

void TestVideositeFaults::secretsKeptPrivate()
{
    QTemporaryDir parent;
    const QString data = parent.path() + u"/site"_s;
    QVERIFY(startOn(data).served);

    // The password never on the command line: refused there, taken from
    // standard input or a file.
    QProcess inArguments;
    inArguments.start(qEnvironmentVariable("UPLARK_VIDEOSITE"),
                      {u"--data"_s, data, u"add-account"_s, u"ann"_s, u"secret"_s});
    QVERIFY(inArguments.waitForFinished(20000));
    QCOMPARE(inArguments.exitCode(), 2);
    QVERIFY(addAccount(data, u"ann"_s, "from input"));
    const QString passwordFile = writeFile(parent.path() + u"/password"_s, "from a file\n");
    QCOMPARE(QProcess::execute(qEnvironmentVariable("UPLARK_VIDEOSITE"),
                               {u"--data"_s, data, u"--password-file"_s, passwordFile,
                                u"add-account"_s, u"bob"_s}),
             0);
    SiteProcess site;
    QVERIFY2(site.start({u"--data"_s, data}), qPrintable(site.errorString()));
    QVERIFY(!SiteKit::login(site, u"ann"_s, u"from input"_s).isEmpty());
    QVERIFY(!SiteKit::login(site, u"bob"_s, u"from a file"_s).isEmpty());
    QVERIFY(SiteKit::login(site, u"ann"_s, u"secret"_s).isEmpty());

    // The hashes and session digests are the owner's alone.
    const auto ownerOnly =
        QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser;
    QCOMPARE(QFile::permissions(data), ownerOnly | QFile::ExeOwner | QFile::ExeUser);
    for (const QString &name : QDir(data).entryList({u"videosite.sqlite*"_s}, QDir::Files))
        QVERIFY2(QFile::permissions(data + u'/' + name) == ownerOnly, qPrintable(name));
    QVERIFY(site.stop());
}

int main(int argc, char *argv[])
{
    // A full disk is a small tmpfs; mounting one needs root, which a user
    // namespace of the test's own gives a run without it.
    if (::geteuid() != 0 && !qEnvironmentVariableIsSet("VIDEOSITE_FAULTS_NAMESPACE")
        && std::system("unshare --map-root-user --mount true >/dev/null 2>&1") == 0) {
        qputenv("VIDEOSITE_FAULTS_NAMESPACE", "1");
        std::vector<char *> command = {const_cast<char *>("unshare"),
                                       const_cast<char *>("--map-root-user"),
                                       const_cast<char *>("--mount"), const_cast<char *>("--")};
        command.insert(command.end(), argv, argv + argc);
        command.push_back(nullptr);
        ::execvp("unshare", command.data());
    }
    QCoreApplication app(argc, argv);
    TestVideositeFaults test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_videosite_faults.moc"
