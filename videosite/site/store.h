#pragma once

#include "videosite/site/credentials.h"

#include <QByteArray>
#include <QList>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <optional>

namespace videosite {

struct AccountRecord
{
    qint64 id = 0;
    QString name;
    PasswordHash password;
};

struct Session
{
    QByteArray key; // digest of the cookie value
    qint64 accountId = 0;
    QString accountName;
};

struct Video
{
    QByteArray id;
    qint64 ownerId = 0;
    QString ownerName;
    // As the uploader sent them (UTF-8 bytes).
    QByteArray title;
    QByteArray description;
    QByteArray tags;
    QByteArray category;
    qint64 size = 0;
    qint64 created = 0;
};

enum class TicketState { Usable, Unknown, Used, Expired, OtherSession };

// The site's data in its folder: an SQLite database (accounts, sessions,
// failed logins, upload tickets, videos) and the video files in "videos/".
// Times are seconds since the epoch, passed in by the caller. The folder is
// kept to its owner (0700, the database 0600): it holds password hashes.
//
// A call that finds nothing (no such account, no session) and a call the
// database or the disk could not answer are told apart by status(), which
// tells how the last call went.
class Store
{
public:
    enum class Status {
        Ok,
        Failed,   // the database could not answer
        DiskFull, // no room left on the data folder's disk
    };

    explicit Store(const QString &dataDir);
    ~Store();
    Store(const Store &) = delete;
    Store &operator=(const Store &) = delete;

    // Opens the database, after checking that it is readable and that it
    // is not empty while the video folder holds videos (a database lost or
    // replaced): then the folder is left untouched and open() fails.
    bool open();
    QString errorString() const { return m_error; }
    Status status() const { return m_status; }

    QString databasePath() const;
    QString videoDir() const;
    QString videoPath(QByteArrayView id) const;
    // A fresh name for an upload in progress, in the video folder.
    QString newTemporaryPath() const;

    struct CleanUp
    {
        QStringList removed; // unfinished uploads
        QStringList unknown; // video files the database has no record of; kept
    };
    // Removes what a server stopped in the middle of an upload left behind:
    // its temporary files, and a file being moved into place when it
    // stopped (see beginPlacing()). Nothing else is removed.
    CleanUp removeUnfinishedUploads();

    // Adds the account, or gives an existing one a new password (which also
    // ends its sessions).
    bool setAccount(const QString &name, QByteArrayView password, qint64 now,
                    int rounds = PasswordRounds);
    // Empty when there is no such account, or when status() says the
    // database failed.
    std::optional<AccountRecord> account(const QString &name);

    // Failed logins per user name and client address, and the locks a run
    // of them leads to.
    void addLoginFailure(const QString &name, const QString &address, qint64 now);
    int loginFailuresSince(const QString &name, const QString &address, qint64 since);
    void clearLoginFailures(const QString &name, const QString &address);
    void lockLogin(const QString &name, const QString &address, qint64 until);
    qint64 loginLockedUntil(const QString &name, const QString &address);
    // Drops failures from before `before` and locks that ended by `now`.
    void forgetLoginFailuresBefore(qint64 before, qint64 now);

    // Returns the cookie value; only its digest is kept.
    QByteArray createSession(qint64 accountId, qint64 now, qint64 lifetime);
    std::optional<Session> session(QByteArrayView cookieValue, qint64 now);
    void endSession(QByteArrayView cookieValue);

    QByteArray createTicket(const Session &session, qint64 now);
    TicketState ticketState(QByteArrayView ticket, const Session &session, qint64 now,
                            qint64 lifetime);
    // Records that a video's file is being moved into place under
    // videoPath(id): should the server stop before addVideo(), the next start
    // knows the file for an unfinished upload and removes it.
    bool beginPlacing(QByteArrayView id);
    void endPlacing(QByteArrayView id);
    // Uses up the ticket, records the video and ends its placing in one
    // transaction; nothing changes when the ticket is no longer usable. The
    // file must already be in place under videoPath(video.id).
    bool addVideo(const Video &video, QByteArrayView ticket, const Session &session,
                  qint64 issuedAfter);
    bool videoIdTaken(QByteArrayView id);
    std::optional<Video> video(QByteArrayView id);
    QList<Video> recentVideos(int limit);
    QList<Video> videosOf(qint64 accountId);

    // Deletes the sessions that have expired and the tickets older than
    // ticketLifetime.
    void purgeExpired(qint64 now, qint64 ticketLifetime);

private:
    // Runs one statement with the values bound in order; empty when it failed.
    std::optional<QSqlQuery> run(const QString &statement, const QVariantList &values = {});
    bool exec(QSqlQuery &query);
    bool commit(QSqlDatabase &db);
    void fail(const QString &error, bool diskFull);
    bool checkBeforeOpening();
    QList<Video> readVideos(const QString &condition, const QVariantList &values);

    QString m_dataDir;
    QString m_connection;
    QString m_error;
    Status m_status = Status::Ok;
};

// Whether a failed file operation's errno means the disk is full.
bool isDiskFull(int error);

// Video ids are made by the server from base64url letters; anything else in
// an address is not an id (and never reaches a file path).
bool isVideoId(QByteArrayView text);

} // namespace videosite
