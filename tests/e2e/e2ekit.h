#pragma once

#include "siteprocess.h"

#include <QByteArrayList>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

// Every file that includes this one writes its texts as u"..."_s.
using namespace Qt::StringLiterals;

inline const QString Password = u"Secret-123"_s;
// Texts the scripted site's conversion gives back unchanged and the stand-in site accepts.
inline const QStringList VideoOptions{u"--title=T"_s, u"--description=D"_s, u"--category=Music"_s,
                                      u"--tags=G"_s};

// What a run of the program gave: its exit code (-2 when it did not end
// normally), its standard output and error, and how long it took.
struct ProgramResult
{
    int code = -1;
    QByteArray out;
    QByteArray err;
    qint64 milliseconds = 0;
};

// The program of UPLARK_PROGRAM run from a terminal: no display at all and a
// settings folder of its own.
struct Cli
{
    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const QString &name :
             unset + QStringList{u"DISPLAY"_s, u"WAYLAND_DISPLAY"_s, u"QT_QPA_PLATFORM"_s})
            env.remove(name);
        env.insert(u"XDG_CONFIG_HOME"_s, config.path());
        return env;
    }

    void start(QProcess &p, const QStringList &args) const
    {
        p.setProcessEnvironment(environment());
        p.start(qEnvironmentVariable("UPLARK_PROGRAM"), args);
    }

    // Runs the program to its end while this process's event loop serves
    // whatever the test put in it; `started` runs once it is under way.
    ProgramResult run(const QStringList &args, const QByteArray &input = {}, int timeout = 90000,
                      const std::function<void(QProcess &)> &started = {}) const
    {
        QProcess p;
        QElapsedTimer clock;
        clock.start();
        start(p, args);
        if (!p.waitForStarted(10000))
            return {};
        p.write(input);
        p.closeWriteChannel();
        if (started)
            started(p);
        while (p.state() != QProcess::NotRunning && clock.elapsed() < timeout)
            QTest::qWait(20);
        if (p.state() != QProcess::NotRunning) {
            p.kill();
            p.waitForFinished(5000);
        }
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2,
                p.readAllStandardOutput(), p.readAllStandardError(), clock.elapsed()};
    }

    QString settingsText() const
    {
        QFile f(config.path() + u"/uplark/uplark.conf"_s);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

    QTemporaryDir config;
    QStringList unset; // environment variables the program does not get
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
    ProgramResult setAccount(const Cli &cli) const
    {
        return cli.run(QStringList{u"account"_s, u"set"_s, u"alice"_s} + at(),
                       Password.toUtf8() + '\n');
    }
    ProgramResult upload(const Cli &cli, const QString &file, const QStringList &more = {},
                         const std::function<void(QProcess &)> &started = {}) const
    {
        return cli.run(QStringList{u"upload"_s, file} + more + VideoOptions + at(), {}, 90000,
                       started);
    }

    SiteProcess site;
};

// A video file whose bytes include CR, LF, NUL and the multipart boundary.
inline QByteArray videoBytes(qsizetype size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator(seed).fillRange(reinterpret_cast<quint32 *>(bytes.data()), size / 4);
    const QByteArray awkward("\r\n--Xu02=$\r\n\0\r--Xu02=$--\r\n", 26);
    for (qsizetype at : {qsizetype(0), size / 2, size - awkward.size()})
        bytes.replace(at, awkward.size(), awkward);
    return bytes;
}

// Writes `bytes` to a new file at `path`; returns `path`, or empty on failure.
inline QString writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() ? path : QString();
}

// The site's stored videos in upload order: id, "title|description|tags|category" and file.
inline QList<QByteArrayList> storedVideos(const SiteProcess &site)
{
    QList<QByteArrayList> videos;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"e2e"_s);
        db.setDatabaseName(site.dataDir() + u"/videosite.sqlite"_s);
        db.open();
        QSqlQuery q(QStringLiteral("SELECT id, CAST(title || '|' || description || '|' || tags || "
                                   "'|' || category AS BLOB) FROM videos ORDER BY created, rowid"),
                    db);
        while (q.next()) {
            QFile file(site.dataDir() + u"/videos/"_s + q.value(0).toString() + u".video"_s);
            file.open(QIODevice::ReadOnly);
            videos.append({q.value(0).toByteArray(), q.value(1).toByteArray(), file.readAll()});
        }
    }
    QSqlDatabase::removeDatabase(u"e2e"_s);
    return videos;
}
