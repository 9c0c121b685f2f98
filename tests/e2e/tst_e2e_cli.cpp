// The program run from a terminal, without a display, against the stand-in
// site running as a separate process: the account commands, uploads and
// what the site then holds, the exit codes and Ctrl+C.
#include "account/account.h"
#include "account/settings.h"
#include "siteprocess.h"

#include <QDir>
#include <QFile>
#include <QPointer>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace Qt::StringLiterals;

namespace {

const QString Password = u"Secret-123"_s;

// A video file whose bytes include CR, LF, NUL and the multipart boundary.
QByteArray VideoBytes(qsizetype size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator(seed).fillRange(reinterpret_cast<quint32 *>(bytes.data()), size / 4);
    const QByteArray awkward("\r\n--Xu02=$\r\n\0\r--Xu02=$--\r\n", 26);
    for (qsizetype at : {qsizetype(0), size / 2, size - awkward.size()})
        bytes.replace(at, awkward.size(), awkward);
    return bytes;
}

struct Result
{
    int code = -1;
    QByteArray out;
    QByteArray err;
};

// The program with a settings folder of its own and no display at all.
struct Cli
{
    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const QString &name : {u"DISPLAY"_s, u"WAYLAND_DISPLAY"_s, u"QT_QPA_PLATFORM"_s})
            env.remove(name);
        env.insert(u"XDG_CONFIG_HOME"_s, config.path());
        return env;
    }

    void start(QProcess &p, const QStringList &args) const
    {
        p.setProcessEnvironment(environment());
        p.start(QProcessEnvironment::systemEnvironment().value(u"UPLARK_PROGRAM"_s), args);
    }

    Result run(const QStringList &args, const QByteArray &input = {}) const
    {
        QProcess p;
        start(p, args);
        Result r;
        if (!p.waitForStarted(10000))
            return r;
        p.write(input);
        p.closeWriteChannel();
        if (!p.waitForFinished(90000))
            p.kill();
        r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
        r.out = p.readAllStandardOutput();
        r.err = p.readAllStandardError();
        return r;
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
    bool start()
    {
        return site.start({u"--public-host"_s, u"127.0.0.1"_s})
               && site.addAccount(u"alice"_s, Password);
    }
    QString address() const { return u"127.0.0.1:"_s + QString::number(site.sitePort()); }
    QStringList at() const { return {u"--site"_s, address(), u"--conversion-host"_s, address()}; }

    // The stored videos in upload order: id, "title|description|tags|category" and file.
    QList<QByteArrayList> storedVideos()
    {
        QList<QByteArrayList> videos;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"cli"_s);
            db.setDatabaseName(site.dataDir() + u"/videosite.sqlite"_s);
            db.open();
            QSqlQuery q(u"SELECT id, CAST(title || '|' || description || '|' || tags || '|' || "
                        "category AS BLOB) FROM videos ORDER BY created, rowid"_s,
                        db);
            while (q.next()) {
                QFile file(site.dataDir() + u"/videos/"_s + q.value(0).toString() + u".video"_s);
                file.open(QIODevice::ReadOnly);
                videos.append({q.value(0).toByteArray(), q.value(1).toByteArray(), file.readAll()});
            }
        }
        QSqlDatabase::removeDatabase(u"cli"_s);
        return videos;
    }

    QStringList filesInVideos() const
    {
        return QDir(site.dataDir() + u"/videos"_s).entryList(QDir::Files);
    }

    SiteProcess site;
};

// A TCP relay to a local port. Answers can be rewritten on their way back;
// after `holdAfter` bytes towards the server it forwards nothing more and
// stops reading, so that the sender's post stays under way.
class Relay : public QObject
{
public:
    Relay(quint16 target, qint64 holdAfter = -1)
        : m_target(target)
        , m_holdAfter(holdAfter)
    {
        connect(&server, &QTcpServer::newConnection, this, &Relay::accept);
    }

    // Listens on a port with as many digits as `digitsOf` has.
    bool listenLike(quint16 digitsOf)
    {
        for (int i = 0; i < 50; ++i) {
            if (!server.listen(QHostAddress::LocalHost, 0))
                return false;
            if (QByteArray::number(server.serverPort()).size()
                == QByteArray::number(digitsOf).size())
                return true;
            server.close();
        }
        return false;
    }

    QTcpServer server;
    QList<QPair<QByteArray, QByteArray>> rewrites;
    qint64 forwarded = 0;
    bool holding() const { return m_holdAfter >= 0 && forwarded >= m_holdAfter; }
    int clientsClosed = 0;

    // From now on what the senders still send is read and dropped, so that
    // their closing is seen.
    void dropHeld()
    {
        m_dropping = true;
        for (const QPointer<QTcpSocket> &client : std::as_const(m_clients)) {
            if (client)
                client->readAll();
        }
    }

private:
    void accept()
    {
        while (QTcpSocket *client = server.nextPendingConnection()) {
            auto *upstream = new QTcpSocket(client);
            client->setReadBufferSize(64 * 1024);
            m_clients.append(client);
            upstream->connectToHost(QHostAddress::LocalHost, m_target);
            connect(client, &QTcpSocket::readyRead, this, [this, client, upstream] {
                if (m_dropping) {
                    client->readAll();
                    return;
                }
                if (m_holdAfter >= 0) {
                    const qint64 room = m_holdAfter - forwarded;
                    if (room <= 0)
                        return;
                    const QByteArray piece = client->read(room);
                    forwarded += piece.size();
                    upstream->write(piece);
                    return;
                }
                const QByteArray piece = client->readAll();
                forwarded += piece.size();
                upstream->write(piece);
            });
            connect(upstream, &QTcpSocket::readyRead, this, [this, client, upstream] {
                QByteArray piece = upstream->readAll();
                for (const auto &[from, to] : rewrites)
                    piece.replace(from, to);
                client->write(piece);
            });
            connect(client, &QTcpSocket::disconnected, this, [this, client, upstream] {
                ++clientsClosed;
                upstream->abort();
                client->deleteLater();
            });
            connect(upstream, &QTcpSocket::disconnected, client,
                    [client] { client->disconnectFromHost(); });
        }
    }

    quint16 m_target;
    qint64 m_holdAfter;
    bool m_dropping = false;
    QList<QPointer<QTcpSocket>> m_clients;
};

} // namespace

class TestE2ECli : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void exitCodes_data();
    void exitCodes();
    void accountSet_data();
    void accountSet();
    void accountForgetAndShow();
    void upload_data();
    void upload();
    void uploadRefused_data();
    void uploadRefused();
    void unreachableSite();
    void rejectedAccount();
    void interruptDuringPost();
};

void TestE2ECli::exitCodes_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("stdoutStart");
    QTest::addColumn<QByteArray>("stderrHas");

    QTest::newRow("help") << QStringList{u"--help"_s} << 0 << QByteArray("Usage:") << QByteArray();
    QTest::newRow("version") << QStringList{u"--version"_s} << 0 << QByteArray("uplark 1.0\n")
                             << QByteArray();
    QTest::newRow("unknown option")
        << QStringList{u"--colour"_s} << 2 << QByteArray() << QByteArray("colour");
    QTest::newRow("unknown command")
        << QStringList{u"fetch"_s} << 2 << QByteArray() << QByteArray("fetch");
    QTest::newRow("site with scheme") << QStringList{u"--site=http://localhost:8000"_s} << 2
                                      << QByteArray() << QByteArray("--site");
    QTest::newRow("site port 0") << QStringList{u"--site=localhost:0"_s} << 2 << QByteArray()
                                 << QByteArray("1 to 65535");
    QTest::newRow("conversion host with path")
        << QStringList{u"--conversion-host"_s, u"localhost/x"_s} << 2 << QByteArray()
        << QByteArray("--conversion-host");
    QTest::newRow("empty site for an upload") << QStringList{u"upload"_s, u"f"_s, u"--site="_s} << 2
                                              << QByteArray() << QByteArray("empty");
    QTest::newRow("upload without file")
        << QStringList{u"upload"_s} << 2 << QByteArray() << QByteArray("one file");
    QTest::newRow("account without subcommand")
        << QStringList{u"account"_s} << 2 << QByteArray() << QByteArray("account takes");
    QTest::newRow("no stored account to show") << QStringList{u"account"_s, u"show"_s} << 2
                                               << QByteArray() << QByteArray("No YouTube account");
    QTest::newRow("window without display") << QStringList{u"--site=localhost:8000"_s} << 1
                                            << QByteArray() << QByteArray("no display found");
}

void TestE2ECli::exitCodes()
{
    QFETCH(QStringList, args);
    QFETCH(int, code);
    QFETCH(QByteArray, stdoutStart);
    QFETCH(QByteArray, stderrHas);
    Cli cli;
    const Result r = cli.run(args);
    QCOMPARE(r.code, code);
    QVERIFY2(r.out.startsWith(stdoutStart), r.out.constData());
    if (code == 0) {
        QCOMPARE(r.err, QByteArray());
    } else if (code == 2) {
        QCOMPARE(r.out, QByteArray());
        // One line, naming what is wrong.
        QCOMPARE(r.err.count('\n'), 1);
        QVERIFY(r.err.endsWith('\n'));
    }
    QVERIFY2(r.err.contains(stderrHas), r.err.constData());
}

void TestE2ECli::accountSet_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("stderrHas");
    QTest::addColumn<QString>("shown");

    QTest::newRow("accepted") << (Password.toUtf8() + '\n') << 0 << QByteArray("successfully set")
                              << u"alice\n"_s;
    QTest::newRow("accepted, no line end")
        << Password.toUtf8() << 0 << QByteArray("successfully set") << u"alice\n"_s;
    QTest::newRow("accepted, CR LF")
        << (Password.toUtf8() + "\r\n") << 0 << QByteArray("successfully set") << u"alice\n"_s;
    QTest::newRow("wrong password")
        << QByteArray("secret-123\n") << 1 << QByteArray("Sorry, your login was incorrect.\n")
        << QString();
    QTest::newRow("no password") << QByteArray() << 2 << QByteArray("Please enter your password.\n")
                                 << QString();
    QTest::newRow("only spaces") << QByteArray("   \n") << 2
                                 << QByteArray("Please enter your password.\n") << QString();
}

void TestE2ECli::accountSet()
{
    QFETCH(QByteArray, input);
    QFETCH(int, code);
    QFETCH(QByteArray, stderrHas);
    QFETCH(QString, shown);
    Site site;
    QVERIFY2(site.start(), qPrintable(site.site.errorString()));
    Cli cli;
    const Result r = cli.run(QStringList{u"account"_s, u"set"_s, u"alice"_s} + site.at(), input);
    QCOMPARE(r.code, code);
    QCOMPARE(r.out, QByteArray());
    QVERIFY2(r.err.contains(stderrHas), r.err.constData());
    QCOMPARE(r.err.count('\n'), 1);

    const Result show = cli.run({u"account"_s, u"show"_s});
    QCOMPARE(QString::fromUtf8(show.out), shown);
    QCOMPARE(show.code, shown.isEmpty() ? 2 : 0);
    // The password is kept, and never shown.
    if (code == 0) {
        QVERIFY(cli.settingsText().contains(u"pw="_s + Password));
        QVERIFY(!show.out.contains(Password.toUtf8()));
        QCOMPARE(QFile::permissions(cli.config.path() + u"/uplark/uplark.conf"_s),
                 QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
    } else {
        QVERIFY(!cli.settingsText().contains(Password));
    }
}

void TestE2ECli::accountForgetAndShow()
{
    Site site;
    QVERIFY2(site.start(), qPrintable(site.site.errorString()));
    Cli cli;
    QCOMPARE(cli.run(QStringList{u"account"_s, u"set"_s, u"alice"_s} + site.at(), Password.toUtf8())
                 .code,
             0);
    QCOMPARE(cli.run({u"account"_s, u"show"_s}).out, QByteArray("alice\n"));
    const Result forget = cli.run({u"account"_s, u"forget"_s});
    QCOMPARE(forget.code, 0);
    QCOMPARE(forget.out, QByteArray());
    QCOMPARE(cli.run({u"account"_s, u"show"_s}).code, 2);
    QVERIFY(!cli.settingsText().contains(Password));
}

void TestE2ECli::upload_data()
{
    QTest::addColumn<QString>("category");
    QTest::newRow("category by name") << u"Travel & Events"_s;
    QTest::newRow("category by number") << u"19"_s;
}

void TestE2ECli::upload()
{
    QFETCH(QString, category);
    Site site;
    QVERIFY2(site.start(), qPrintable(site.site.errorString()));
    Cli cli;
    QCOMPARE(cli.run(QStringList{u"account"_s, u"set"_s, u"alice"_s} + site.at(),
                     Password.toUtf8() + '\n')
                 .code,
             0);

    QTemporaryDir dir;
    const QByteArray video = VideoBytes(3 * 1024 * 1024 + 7, 11);
    const QString path = dir.filePath(u"Summer trip.mpg"_s);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(video) == video.size());
    file.close();
    QFile description(dir.filePath(u"description.txt"_s));
    QVERIFY(description.open(QIODevice::WriteOnly));
    description.write("To the sea.\nAnd back & home.\n");
    description.close();

    const Result r =
        cli.run(QStringList{u"upload"_s, path, u"--title"_s, u"caf\u00e9"_s,
                            u"--description-file"_s, description.fileName(), u"--category"_s,
                            category, u"--tags"_s, u"summer sea trip"_s}
                + site.at());
    QVERIFY2(r.code == 0, r.err.constData());
    const QList<QByteArrayList> stored = site.storedVideos();
    QCOMPARE(stored.size(), 1);
    // Standard output is the watch address and nothing else.
    QCOMPARE(r.out, "http://" + site.address().toLatin1() + "/watch?v=" + stored[0][0] + '\n');
    QCOMPARE(stored[0][1],
             QByteArray("caf\xC3\xA9|To the sea.\r\nAnd back & home.|summer sea trip|19"));
    QVERIFY(stored[0][2] == video);
}

void TestE2ECli::uploadRefused_data()
{
    QTest::addColumn<QString>("what");
    QTest::addColumn<QByteArray>("message");

    QTest::newRow("missing file") << u"missing"_s << QByteArray("no such file");
    QTest::newRow("over 100 MB") << u"big"_s
                                 << QByteArray("This file is 100.01 MB in size. YouTube allows "
                                               "maximum 100 MB.\n");
    QTest::newRow("no stored account")
        << u"noaccount"_s << QByteArray("You must set your YouTube account first.\n");
    QTest::newRow("title of spaces")
        << u"title"_s << QByteArray("Please enter a TITLE for your video.\n");
    QTest::newRow("unknown category")
        << u"category"_s << QByteArray("Please select a category for your video.\n");
    QTest::newRow("no tags") << u"tags"_s
                             << QByteArray("Please enter some TAGS in order for your video to be "
                                           "found easily. Seperate your tags by spaces.\n");
    QTest::newRow("title over 60") << u"long"_s << QByteArray("at most 60 characters");
}

void TestE2ECli::uploadRefused()
{
    QFETCH(QString, what);
    QFETCH(QByteArray, message);
    Site site;
    QVERIFY2(site.start(), qPrintable(site.site.errorString()));
    Cli cli;
    if (what != u"noaccount"_s)
        QCOMPARE(
            cli.run(QStringList{u"account"_s, u"set"_s, u"alice"_s} + site.at(), Password.toUtf8())
                .code,
            0);

    QTemporaryDir dir;
    QString path = dir.filePath(u"v.avi"_s);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    // 100.01 MB after rounding: one byte more than the largest file taken,
    // as a sparse file.
    if (what == u"big"_s)
        QVERIFY(file.resize(104862843));
    else
        file.write(VideoBytes(4096, 5));
    file.close();
    if (what == u"missing"_s)
        path = dir.filePath(u"gone.avi"_s);

    QStringList args{u"upload"_s,     path,       u"--title"_s, u"t"_s, u"--description"_s, u"d"_s,
                     u"--category"_s, u"Music"_s, u"--tags"_s,  u"x"_s};
    if (what == u"title"_s)
        args[3] = u"   "_s;
    if (what == u"long"_s)
        args[3] = QString(61, u'a');
    if (what == u"category"_s)
        args[7] = u"Cooking"_s;
    if (what == u"tags"_s)
        args[9] = QString();
    const Result r = cli.run(args + site.at());
    QCOMPARE(r.code, 2);
    QCOMPARE(r.out, QByteArray());
    QVERIFY2(r.err.startsWith("uplark: ") && r.err.contains(message), r.err.constData());
    QCOMPARE(r.err.count('\n'), 1);
    QVERIFY(site.storedVideos().isEmpty());
}

void TestE2ECli::unreachableSite()
{
    Site site;
    QVERIFY2(site.start(), qPrintable(site.site.errorString()));
    Cli cli;
    QCOMPARE(cli.run(QStringList{u"account"_s, u"set"_s, u"alice"_s} + site.at(), Password.toUtf8())
                 .code,
             0);
    QTemporaryDir dir;
    QFile file(dir.filePath(u"v.avi"_s));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(VideoBytes(4096, 6)) == 4096);
    file.close();
    const QStringList at = site.at();
    QVERIFY(site.site.stop());

    const Result r = cli.run(QStringList{u"upload"_s, file.fileName(), u"--title=t"_s,
                                         u"--description=d"_s, u"--category=Music"_s, u"--tags=x"_s}
                             + at);
    QCOMPARE(r.code, 1);
    QCOMPARE(r.out, QByteArray());
    QCOMPARE(r.err, QByteArray("uplark: Connection error!\n"));
    // The account check meets the same closed port.
    const Result check =
        cli.run(QStringList{u"account"_s, u"set"_s, u"alice"_s} + at, Password.toUtf8());
    QCOMPARE(check.code, 1);
    QCOMPARE(check.err, QByteArray("uplark: Connection error!\n"));
}

void TestE2ECli::rejectedAccount()
{
    Site site;
    QVERIFY2(site.start(), qPrintable(site.site.errorString()));
    Cli cli;
    // A password changed on the site since it was stored.
    uplark::SettingsStore store(cli.config.path());
    QVERIFY(uplark::SaveAccount(store, {u"alice"_s, u"old-password"_s}));
    QTemporaryDir dir;
    QFile file(dir.filePath(u"v.avi"_s));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(VideoBytes(4096, 9)) == 4096);
    file.close();

    const Result r = cli.run(QStringList{u"upload"_s, file.fileName(), u"--title=t"_s,
                                         u"--description=d"_s, u"--category=Music"_s, u"--tags=x"_s}
                             + site.at());
    QCOMPARE(r.code, 1);
    QCOMPARE(r.out, QByteArray());
    QCOMPARE(r.err, QByteArray("uplark: Either your username or password is wrong. Please check "
                               "them and set your account again.\n"));
    // As in the window, the account is to be set again.
    QCOMPARE(cli.run({u"account"_s, u"show"_s}).code, 2);
    QVERIFY(site.storedVideos().isEmpty());
}

void TestE2ECli::interruptDuringPost()
{
    Site site;
    QVERIFY2(site.start(), qPrintable(site.site.errorString()));
    Cli cli;
    QCOMPARE(cli.run(QStringList{u"account"_s, u"set"_s, u"alice"_s} + site.at(), Password.toUtf8())
                 .code,
             0);

    // The site's answers come through one relay, with the upload form's
    // address turned to a second relay that passes on the first mebibyte of
    // the post and then holds it.
    const quint16 uploadPort = site.site.uploadPort();
    Relay front(site.site.sitePort());
    Relay upload(uploadPort, 1024 * 1024);
    QVERIFY(front.server.listen(QHostAddress::LocalHost, 0));
    QVERIFY(upload.listenLike(uploadPort));
    front.rewrites.append({"127.0.0.1:" + QByteArray::number(uploadPort),
                           "127.0.0.1:" + QByteArray::number(upload.server.serverPort())});

    QTemporaryDir dir;
    QFile file(dir.filePath(u"long.avi"_s));
    const QByteArray video = VideoBytes(24 * 1024 * 1024, 8);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(video) == video.size());
    file.close();

    const QString relayed = u"127.0.0.1:"_s + QString::number(front.server.serverPort());
    QProcess p;
    cli.start(p, {u"upload"_s, file.fileName(), u"--title=t"_s, u"--description=d"_s,
                  u"--category=Music"_s, u"--tags=x"_s, u"--site"_s, relayed,
                  u"--conversion-host"_s, relayed});
    QVERIFY(p.waitForStarted(10000));
    // The post is under way: the site is writing it to a part file.
    QTRY_VERIFY_WITH_TIMEOUT(upload.holding(), 60000);
    QTRY_VERIFY_WITH_TIMEOUT(site.filesInVideos().filter(u".part"_s).size() == 1, 30000);
    QCOMPARE(p.state(), QProcess::Running);

    ::kill(pid_t(p.processId()), SIGINT);
    QTRY_VERIFY_WITH_TIMEOUT(p.state() == QProcess::NotRunning, 30000);
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 130);
    QCOMPARE(p.readAllStandardOutput(), QByteArray());
    QVERIFY(p.readAllStandardError().contains("interrupted"));
    upload.dropHeld();
    // Its connection closed, the site drops the part file and keeps nothing.
    QTRY_VERIFY_WITH_TIMEOUT(upload.clientsClosed == 1, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(site.filesInVideos().isEmpty(), 30000);
    QVERIFY(site.storedVideos().isEmpty());
}

QTEST_GUILESS_MAIN(TestE2ECli)
#include "tst_e2e_cli.moc"
