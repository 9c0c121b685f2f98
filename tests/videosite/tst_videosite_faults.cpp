// The stand-in site when things go wrong around it: a lost or damaged
// database, a full disk, a flood of idle connections, refusals that must
// arrive, the process out of descriptors, rows left to expire, and the
// secrets in its data folder. Each runs against a videosite process.
#include "sitekit.h"
#include "siteprocess.h"

#include "engine/protocol/login.h"
#include "engine/protocol/metadataform.h"
#include "uplark_config.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstdlib>
#include <netinet/in.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// Runs videosite with the arguments and standard input to its end: its exit code.
int runSite(const QStringList &args, const QByteArray &input = {})
{
    QProcess process;
    process.start(qEnvironmentVariable("UPLARK_VIDEOSITE"), args);
    process.write(input);
    process.closeWriteChannel();
    return process.waitForFinished(60000) ? process.exitCode() : -1;
}

// Runs SQL on the site's database from the test.
QList<QVariantList> sql(const QString &dataDir, const QStringList &statements)
{
    QList<QVariantList> rows;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"faults"_s);
        db.setDatabaseName(dataDir + u"/videosite.sqlite"_s);
        for (const QString &statement : db.open() ? statements : QStringList()) {
            QSqlQuery query(statement, db);
            while (query.next()) {
                rows.append(QVariantList());
                for (int i = 0; i < query.record().count(); ++i)
                    rows.last().append(query.value(i));
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
    const qint64 pageSize = found.value(1).value(0).toLongLong();
    QFile file(dataDir + u"/videosite.sqlite"_s);
    return found.size() == 3 && file.open(QIODevice::ReadWrite)
           && file.seek((found[2][0].toLongLong() - 1) * pageSize)
           && file.write(QByteArray(pageSize, '\xA5')) == pageSize;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A small tmpfs of its own stands for a disk that fills up.
struct SmallDisk
{
    QTemporaryDir parent;
    QString path = parent.path() + u"/disk"_s;
    ~SmallDisk() { ::umount2(qPrintable(path), MNT_DETACH); }

    bool mount(const char *size)
    {
        return QDir().mkpath(path) && ::mount("tmpfs", qPrintable(path), "tmpfs", 0, size) == 0;
    }
    // Writes a file until the disk is full.
    void fill()
    {
        QFile filler(path + u"/filler"_s);
        filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
        while (filler.write(QByteArray(4096, 'f')) == 4096) { }
    }
};

// Sends the whole request on a plain blocking socket and ends its side, then
// reads to the end: the answer, and in `error` what ended it (0 for an orderly
// end, no reset; -1 when the sending was cut off).
QByteArray exchange(quint16 port, QByteArrayView request, int *error)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const timeval timeout{10, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ssize_t n = ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
    for (; n >= 0 && !request.isEmpty(); request = request.sliced(n))
        n = ::send(fd, request.data(), size_t(request.size()), MSG_NOSIGNAL);
    QByteArray answer;
    *error = -1;
    if (n >= 0 && ::shutdown(fd, SHUT_WR) == 0) {
        ::usleep(300 * 1000); // time for a reset to overtake the answer
        char buffer[65536];
        while ((n = ::recv(fd, buffer, sizeof buffer, 0)) > 0)
            answer.append(buffer, n);
        *error = n == 0 ? 0 : errno;
    }
    ::close(fd);
    return answer;
}

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

    // A site that has stored one video, stopped.
    SiteProcess site;
    QVERIFY(site.start() && site.addAccount(u"ann"_s, u"pw"_s) && site.stop());
    const QString data = site.dataDir(), videos = data + u"/videos/"_s;
    sql(data, {u"INSERT INTO videos VALUES ('Stored01', 1, 't', 'd', 'g', '22', 5, 1)"_s});
    QVERIFY(writeFile(videos + u"Stored01.video"_s, "video"));

    const QString database = data + u"/videosite.sqlite"_s;
    if (fault == u"empty"_s) {
        QVERIFY(QFile::resize(database, 0));
    } else if (fault == u"missing"_s) {
        QVERIFY(QFile::remove(database));
    } else if (fault == u"damaged"_s) {
        QVERIFY(damageAccounts(data));
    } else if (fault == u"unknown"_s) {
        QVERIFY(writeFile(videos + u"Unknown1.video"_s, "video"));
    } else {
        sql(data, {u"INSERT INTO placing_videos VALUES ('Placing1')"_s});
        QVERIFY(writeFile(videos + u"Placing1.video"_s, "video"));
    }

    QCOMPARE(site.start(), served);
    if (served)
        site.stop();
    site.process().waitForFinished(20000);
    QCOMPARE(site.process().exitCode(), served ? 0 : 1);
    // What start() read of standard error is in its error string.
    const QByteArray said = site.errorString().toUtf8() + site.process().readAllStandardError();
    QVERIFY2(said.contains(message), said.constData());
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
    SiteProcess site;
    const QString data = fullDisk ? disk.path : site.dataDir();
    QVERIFY2(site.start({u"--data"_s, data}), qPrintable(site.errorString()));
    QCOMPARE(runSite({u"--data"_s, data, u"add-account"_s, u"ann"_s}, "right\n"), 0);
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

    // The right password gets the site's failure, in no words of a
    // rejection. Wrong guesses are still counted, in memory when they cannot
    // be stored; where the accounts cannot be read, no guess is judged.
    const QByteArray statusLine = "HTTP/1.1 " + QByteArray::number(status) + ' ';
    QStringList verdicts;
    for (const QString &password : QStringList{u"right"_s} + QStringList(6, u"wrong"_s)) {
        const QByteArray answer =
            SiteKit::firstRead(site.sitePort(), uplark::loginRequest(SiteHost, u"ann"_s, password));
        const int outcome = int(uplark::scanLoginAnswer(answer));
        verdicts.append(outcome != 0                    ? u"?LCWI"_s.mid(outcome, 1)
                        : answer.startsWith(statusLine) ? u"F"_s
                                                        : QString::fromLatin1(answer.left(12)));
    }
    // F: the status, L: locked out, W: the wrong password.
    QCOMPARE(verdicts.join(QString()), fullDisk ? u"FWWWWWL"_s : u"FFFFFFF"_s);

    if (fullDisk) {
        // A ticket cannot be stored, nor a file: 507, and the log says why.
        const QByteArray form =
            SiteKit::firstRead(site.sitePort(), uplark::metadataRequest(SiteHost, cookie));
        QVERIFY2(form.startsWith(statusLine), form.constData());
        const QByteArray post = SiteKit::filePost(cookie, ticket, SiteKit::trickyFile(512 * 1024));
        const QByteArray upload = SiteKit::firstRead(site.uploadPort(), post);
        QVERIFY2(upload.startsWith(statusLine) && !upload.contains("video_id="),
                 upload.constData());
        QByteArray log;
        QTRY_VERIFY2(
            (log += site.process().readAllStandardError()).contains("No space left on device"),
            log.constData());
        QVERIFY(!log.contains("Unknown error"));
        QCOMPARE(QDir(data + u"/videos"_s).entryList(QDir::Files), QStringList());
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
    SiteKit::Sockets flood;
    for (int round = 0; round < 4; ++round) {
        for (int i = 0; i < 40; ++i)
            flood.push_back(SiteKit::connectFrom(10 + i % 20, site.sitePort()));
        QTRY_COMPARE_WITH_TIMEOUT(SiteKit::countIn(flood, QAbstractSocket::ConnectingState), 0,
                                  10000);
        QTest::qWait(200);
        QCOMPARE(SiteKit::get(site.sitePort(), "/").status, 200);
    }
    QVERIFY(site.stop());
}

void TestVideositeFaults::refusalsArriveIntact_data()
{
    // Each client sends its whole request, more than the server reads,
    // before it reads the answer.
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("status");
    QTest::newRow("503: one address over its limit")
        << SiteKit::post("/conversions/str.asp", 300000, QByteArray(300000, 'x')) << 503;
    QTest::newRow("431: a head too large")
        << SiteKit::head("GET /", "X-Padding: " + QByteArray(200000, 'x') + "\r\n") << 431;
    QTest::newRow("413: a body over the cap")
        << SiteKit::post("/conversions/str.asp", 3000000, QByteArray(1500000, 'x')) << 413;
}

void TestVideositeFaults::refusalsArriveIntact()
{
    QFETCH(QByteArray, request);
    QFETCH(int, status);
    SiteProcess site;
    QVERIFY2(site.start({u"--connections-per-address"_s, u"2"_s}), qPrintable(site.errorString()));
    SiteKit::Sockets held;
    while (status == 503 && held.size() < 2)
        held.push_back(SiteKit::connectTo(site.sitePort()));
    QTest::qWait(200);
    int error = -1;
    const QByteArray answer = exchange(site.sitePort(), request, &error);
    QVERIFY2(answer.startsWith("HTTP/1.1 " + QByteArray::number(status) + ' '),
             answer.left(200).constData());
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
    SiteKit::Sockets idle;
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
    QCOMPARE(SiteKit::get(site.sitePort(), "/").status, 200);
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
    // The site makes its data folder itself.
    QTemporaryDir parent;
    const QString data = parent.path() + u"/site"_s, passwordFile = parent.path() + u"/password"_s;
    const QStringList inData = {u"--data"_s, data};
    SiteProcess site;
    QVERIFY2(site.start(inData), qPrintable(site.errorString()));

    // The password never on the command line: refused there, taken from
    // standard input or a file.
    QCOMPARE(runSite(inData + QStringList{u"add-account"_s, u"ann"_s, u"secret"_s}), 2);
    QCOMPARE(runSite(inData + QStringList{u"add-account"_s, u"ann"_s}, "from input\n"), 0);
    QVERIFY(writeFile(passwordFile, "from a file\n"));
    QCOMPARE(runSite(inData
                     + QStringList{u"--password-file"_s, passwordFile, u"add-account"_s, u"bob"_s}),
             0);
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
        static char unshare[] = "unshare", rootUser[] = "--map-root-user", mount[] = "--mount",
                    end[] = "--";
        std::vector<char *> command = {unshare, rootUser, mount, end};
        command.insert(command.end(), argv, argv + argc + 1); // with argv's terminating null
        ::execvp("unshare", command.data());
    }
    QCoreApplication app(argc, argv);
    TestVideositeFaults test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_videosite_faults.moc"
