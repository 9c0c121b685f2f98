#pragma once

#include "siteprocess.h"

#include <QByteArrayList>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>

// What a run of the program gave: its exit code (-2 when it did not end
// normally), its standard output and its standard error.
struct ProgramResult
{
    int code = -1;
    QByteArray out;
    QByteArray err;
};

// This process's environment with no display at all and the settings in
// `configFolder`: the program as it runs from a terminal.
inline QProcessEnvironment terminalEnvironment(const QString &configFolder)
{
    using namespace Qt::StringLiterals;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString &name : {u"DISPLAY"_s, u"WAYLAND_DISPLAY"_s, u"QT_QPA_PLATFORM"_s})
        env.remove(name);
    env.insert(u"XDG_CONFIG_HOME"_s, configFolder);
    return env;
}

// Runs the program of UPLARK_PROGRAM (in `environment`) with `input` on its
// standard input, to its end (90 s at most).
inline ProgramResult runProgram(const QProcessEnvironment &environment, const QStringList &args,
                                const QByteArray &input = {})
{
    using namespace Qt::StringLiterals;
    QProcess p;
    p.setProcessEnvironment(environment);
    p.start(environment.value(u"UPLARK_PROGRAM"_s), args);
    if (!p.waitForStarted(10000))
        return {};
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(90000))
        p.kill();
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2,
            p.readAllStandardOutput(), p.readAllStandardError()};
}

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
    using namespace Qt::StringLiterals;
    QList<QByteArrayList> videos;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"e2e"_s);
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
    QSqlDatabase::removeDatabase(u"e2e"_s);
    return videos;
}
