#include "videosite/site/store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <atomic>
#include <cerrno>

using namespace Qt::StringLiterals;

namespace videosite {

namespace {

const QString VideoSuffix = u".video"_s;
const QString PartSuffix = u".part"_s;
const QString DatabaseName = u"videosite.sqlite"_s;

// SQLite's primary result code for "database or disk is full".
constexpr int SqliteFull = 13;

constexpr QFile::Permissions OwnerOnlyFolder =
    QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
constexpr QFile::Permissions OwnerOnlyFile = QFile::ReadOwner | QFile::WriteOwner;

bool isFull(const QSqlError &error)
{
    // The primary result code is the low byte of an extended one.
    return (error.nativeErrorCode().toInt() & 0xff) == SqliteFull;
}

QString nextConnectionName()
{
    static std::atomic<int> counter = 0;
    return u"videosite-store-%1"_s.arg(counter++);
}

} // namespace

bool isDiskFull(int error)
{
    return error == ENOSPC || error == EDQUOT;
}

Store::Store(const QString &dataDir)
    : m_dataDir(dataDir)
    , m_connection(nextConnectionName())
{
}

Store::~Store()
{
    if (QSqlDatabase::contains(m_connection)) {
        QSqlDatabase::database(m_connection, false).close();
        QSqlDatabase::removeDatabase(m_connection);
    }
}

QString Store::databasePath() const
{
    return QDir(m_dataDir).filePath(DatabaseName);
}

bool Store::checkBeforeOpening()
{
    if (!QDir().mkpath(videoDir())) {
        m_error = u"cannot create %1"_s.arg(videoDir());
        return false;
    }
    if (!QFile::setPermissions(m_dataDir, OwnerOnlyFolder)) {
        m_error = u"cannot make %1 private to its owner"_s.arg(m_dataDir);
        return false;
    }
    // A database that is missing or empty while videos are stored has been
    // lost or replaced: starting afresh on it would orphan every video.
    const QFileInfo database(databasePath());
    if (database.exists() && database.size() > 0)
        return true;
    const qsizetype videos =
        QDir(videoDir()).entryList({u"*"_s + VideoSuffix}, QDir::Files | QDir::Hidden).size();
    if (videos == 0)
        return true;
    m_error = u"the database %1 is %2, but %3 holds stored video files (%4); restore the "
              "database, or move the videos away to start afresh"_s
                  .arg(databasePath(), database.exists() ? u"empty"_s : u"missing"_s, videoDir())
                  .arg(videos);
    return false;
}

bool Store::open()
{
    if (!checkBeforeOpening())
        return false;
    QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, m_connection);
    db.setDatabaseName(databasePath());
    // add-account may write while a server runs on the same folder.
    db.setConnectOptions(u"QSQLITE_BUSY_TIMEOUT=10000"_s);
    if (!db.open()) {
        m_error = db.lastError().text();
        return false;
    }
    // SQLite gives the journal files it makes the database's permissions;
    // those of an older run are set here too.
    for (const QString &suffix : {QString(), u"-wal"_s, u"-shm"_s}) {
        if (QFile::exists(databasePath() + suffix))
            QFile::setPermissions(databasePath() + suffix, OwnerOnlyFile);
    }
    // A damaged database is refused before anything else reads or changes it.
    QSqlQuery check(db);
    if (!check.exec(u"PRAGMA quick_check"_s) || !check.next()
        || check.value(0).toString() != u"ok"_s) {
        const QString problem =
            check.isActive() ? check.value(0).toString() : check.lastError().text();
        m_error = u"the database %1 is damaged (%2); restore it from a copy"_s.arg(databasePath(),
                                                                                   problem);
        return false;
    }
    check.finish();
    const QStringList schema = {
        u"PRAGMA journal_mode = WAL"_s,
        u"PRAGMA foreign_keys = ON"_s,
        u"CREATE TABLE IF NOT EXISTS accounts ("
        " id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE, salt BLOB NOT NULL,"
        " hash BLOB NOT NULL, rounds INTEGER NOT NULL, created INTEGER NOT NULL)"_s,
        // Failures and locks used to be kept per name alone; they are
        // short-lived, so the old tables simply go.
        u"DROP TABLE IF EXISTS login_failures"_s,
        u"DROP TABLE IF EXISTS login_locks"_s,
        u"CREATE TABLE IF NOT EXISTS failed_logins ("
        " name TEXT NOT NULL, address TEXT NOT NULL, at INTEGER NOT NULL)"_s,
        u"CREATE INDEX IF NOT EXISTS failed_logins_key ON failed_logins (name, address, at)"_s,
        u"CREATE INDEX IF NOT EXISTS failed_logins_at ON failed_logins (at)"_s,
        u"CREATE TABLE IF NOT EXISTS locked_logins ("
        " name TEXT NOT NULL, address TEXT NOT NULL, until INTEGER NOT NULL, PRIMARY KEY (name, address))"_s,
        u"CREATE TABLE IF NOT EXISTS sessions ("
        " key TEXT PRIMARY KEY, account INTEGER NOT NULL REFERENCES accounts (id) ON DELETE "
        "CASCADE,"
        " created INTEGER NOT NULL, expires INTEGER NOT NULL)"_s,
        u"CREATE INDEX IF NOT EXISTS sessions_expires ON sessions (expires)"_s,
        u"CREATE TABLE IF NOT EXISTS upload_tickets ("
        " ticket TEXT PRIMARY KEY, session TEXT NOT NULL, created INTEGER NOT NULL,"
        " used INTEGER NOT NULL DEFAULT 0)"_s,
        u"CREATE INDEX IF NOT EXISTS upload_tickets_created ON upload_tickets (created)"_s,
        u"CREATE TABLE IF NOT EXISTS videos ("
        " id TEXT PRIMARY KEY, owner INTEGER NOT NULL REFERENCES accounts (id),"
        " title BLOB NOT NULL, description BLOB NOT NULL, tags BLOB NOT NULL,"
        " category TEXT NOT NULL, size INTEGER NOT NULL, created INTEGER NOT NULL)"_s,
        u"CREATE INDEX IF NOT EXISTS videos_created ON videos (created)"_s,
        u"CREATE INDEX IF NOT EXISTS videos_owner ON videos (owner, created)"_s,
        u"CREATE TABLE IF NOT EXISTS placing_videos (id TEXT PRIMARY KEY)"_s,
    };
    for (const QString &statement : schema) {
        QSqlQuery query(db);
        if (!query.exec(statement)) {
            m_error = query.lastError().text();
            return false;
        }
    }
    return true;
}

void Store::fail(const QString &error, bool diskFull)
{
    m_error = error;
    m_status = diskFull ? Status::DiskFull : Status::Failed;
    qWarning("videosite: database: %s", qPrintable(m_error));
}

std::optional<QSqlQuery> Store::run(const QString &statement, const QVariantList &values)
{
    QSqlQuery query(QSqlDatabase::database(m_connection));
    query.prepare(statement);
    for (const QVariant &value : values)
        query.addBindValue(value);
    if (!exec(query))
        return std::nullopt;
    return query;
}

bool Store::exec(QSqlQuery &query)
{
    m_status = Status::Ok;
    if (query.exec())
        return true;
    fail(query.lastError().text(), isFull(query.lastError()));
    return false;
}

QString Store::videoDir() const
{
    return QDir(m_dataDir).filePath(u"videos"_s);
}

QString Store::videoPath(QByteArrayView id) const
{
    return QDir(videoDir()).filePath(QString::fromLatin1(id) + VideoSuffix);
}

QString Store::newTemporaryPath() const
{
    return QDir(videoDir())
        .filePath(u"upload-"_s + QString::fromLatin1(randomToken(12)) + PartSuffix);
}

Store::CleanUp Store::removeUnfinishedUploads()
{
    CleanUp cleanUp;
    const auto remove = [&cleanUp](const QString &path) {
        if (QFile::remove(path))
            cleanUp.removed.append(path);
    };
    if (std::optional<QSqlQuery> placing = run(u"SELECT id FROM placing_videos"_s)) {
        QByteArrayList ids;
        while (placing->next())
            ids.append(placing->value(0).toString().toLatin1());
        for (const QByteArray &id : std::as_const(ids)) {
            if (!videoIdTaken(id))
                remove(videoPath(id));
            endPlacing(id);
        }
    }
    const QFileInfoList files = QDir(videoDir()).entryInfoList(QDir::Files | QDir::Hidden);
    for (const QFileInfo &file : files) {
        const QString name = file.fileName();
        if (name.startsWith(u"upload-"_s) && name.endsWith(PartSuffix))
            remove(file.filePath());
        else if (name.endsWith(VideoSuffix)
                 && !videoIdTaken(name.chopped(VideoSuffix.size()).toLatin1()))
            cleanUp.unknown.append(file.filePath());
    }
    return cleanUp;
}

bool Store::setAccount(const QString &name, QByteArrayView password, qint64 now, int rounds)
{
    const PasswordHash hashed = hashPassword(password, rounds);
    QSqlDatabase db = QSqlDatabase::database(m_connection);
    db.transaction();
    if (!run(u"INSERT INTO accounts (name, salt, hash, rounds, created) VALUES (?, ?, ?, ?, ?)"
             " ON CONFLICT (name) DO UPDATE SET salt = excluded.salt, hash = excluded.hash,"
             " rounds = excluded.rounds"_s,
             {name, hashed.salt, hashed.hash, hashed.rounds, now})
        || !run(u"DELETE FROM sessions WHERE account = (SELECT id FROM accounts WHERE name = ?)"_s,
                {name})) {
        db.rollback();
        return false;
    }
    return commit(db);
}

bool Store::commit(QSqlDatabase &db)
{
    if (db.commit())
        return true;
    fail(db.lastError().text(), isFull(db.lastError()));
    db.rollback();
    return false;
}

std::optional<AccountRecord> Store::account(const QString &name)
{
    std::optional<QSqlQuery> query =
        run(u"SELECT id, name, salt, hash, rounds FROM accounts WHERE name = ?"_s, {name});
    if (!query || !query->next())
        return std::nullopt;
    AccountRecord account;
    account.id = query->value(0).toLongLong();
    account.name = query->value(1).toString();
    account.password.salt = query->value(2).toByteArray();
    account.password.hash = query->value(3).toByteArray();
    account.password.rounds = query->value(4).toInt();
    return account;
}

void Store::addLoginFailure(const QString &name, const QString &address, qint64 now)
{
    run(u"INSERT INTO failed_logins (name, address, at) VALUES (?, ?, ?)"_s, {name, address, now});
}

int Store::loginFailuresSince(const QString &name, const QString &address, qint64 since)
{
    std::optional<QSqlQuery> query =
        run(u"SELECT COUNT(*) FROM failed_logins WHERE name = ? AND address = ? AND at > ?"_s,
            {name, address, since});
    return query && query->next() ? query->value(0).toInt() : 0;
}

void Store::clearLoginFailures(const QString &name, const QString &address)
{
    run(u"DELETE FROM failed_logins WHERE name = ? AND address = ?"_s, {name, address});
}

void Store::lockLogin(const QString &name, const QString &address, qint64 until)
{
    run(u"INSERT INTO locked_logins (name, address, until) VALUES (?, ?, ?)"
        " ON CONFLICT (name, address) DO UPDATE SET until = excluded.until"_s,
        {name, address, until});
}

qint64 Store::loginLockedUntil(const QString &name, const QString &address)
{
    std::optional<QSqlQuery> query =
        run(u"SELECT until FROM locked_logins WHERE name = ? AND address = ?"_s, {name, address});
    return query && query->next() ? query->value(0).toLongLong() : 0;
}

void Store::forgetLoginFailuresBefore(qint64 before, qint64 now)
{
    if (run(u"DELETE FROM failed_logins WHERE at <= ?"_s, {before}))
        run(u"DELETE FROM locked_logins WHERE until <= ?"_s, {now});
}

QByteArray Store::createSession(qint64 accountId, qint64 now, qint64 lifetime)
{
    const QByteArray cookie = randomToken(32);
    const bool stored =
        run(u"INSERT INTO sessions (key, account, created, expires) VALUES (?, ?, ?, ?)"_s,
            {QString::fromLatin1(tokenDigest(cookie)), accountId, now, now + lifetime})
            .has_value();
    return stored ? cookie : QByteArray();
}

std::optional<Session> Store::session(QByteArrayView cookieValue, qint64 now)
{
    m_status = Status::Ok;
    if (cookieValue.isEmpty())
        return std::nullopt;
    const QByteArray key = tokenDigest(cookieValue);
    std::optional<QSqlQuery> query = run(u"SELECT sessions.account, accounts.name FROM sessions"
                                         " JOIN accounts ON accounts.id = sessions.account"
                                         " WHERE sessions.key = ? AND sessions.expires > ?"_s,
                                         {QString::fromLatin1(key), now});
    if (!query || !query->next())
        return std::nullopt;
    return Session{key, query->value(0).toLongLong(), query->value(1).toString()};
}

void Store::endSession(QByteArrayView cookieValue)
{
    run(u"DELETE FROM sessions WHERE key = ?"_s, {QString::fromLatin1(tokenDigest(cookieValue))});
}

QByteArray Store::createTicket(const Session &session, qint64 now)
{
    const QByteArray ticket = randomToken(24);
    const bool stored =
        run(u"INSERT INTO upload_tickets (ticket, session, created) VALUES (?, ?, ?)"_s,
            {QString::fromLatin1(ticket), QString::fromLatin1(session.key), now})
            .has_value();
    return stored ? ticket : QByteArray();
}

TicketState Store::ticketState(QByteArrayView ticket, const Session &session, qint64 now,
                               qint64 lifetime)
{
    m_status = Status::Ok;
    if (ticket.isEmpty())
        return TicketState::Unknown;
    std::optional<QSqlQuery> query =
        run(u"SELECT session, created, used FROM upload_tickets WHERE ticket = ?"_s,
            {QString::fromUtf8(ticket)});
    if (!query || !query->next())
        return TicketState::Unknown;
    if (query->value(0).toString().toLatin1() != session.key)
        return TicketState::OtherSession;
    if (query->value(2).toInt() != 0)
        return TicketState::Used;
    if (query->value(1).toLongLong() + lifetime < now)
        return TicketState::Expired;
    return TicketState::Usable;
}

bool Store::beginPlacing(QByteArrayView id)
{
    return run(u"INSERT INTO placing_videos (id) VALUES (?)"_s, {QString::fromLatin1(id)})
        .has_value();
}

void Store::endPlacing(QByteArrayView id)
{
    run(u"DELETE FROM placing_videos WHERE id = ?"_s, {QString::fromLatin1(id)});
}

bool Store::addVideo(const Video &video, QByteArrayView ticket, const Session &session,
                     qint64 issuedAfter)
{
    QSqlDatabase db = QSqlDatabase::database(m_connection);
    if (!db.transaction()) {
        fail(db.lastError().text(), false);
        return false;
    }
    std::optional<QSqlQuery> take =
        run(u"UPDATE upload_tickets SET used = 1"
            " WHERE ticket = ? AND session = ? AND used = 0 AND created >= ?"_s,
            {QString::fromUtf8(ticket), QString::fromLatin1(session.key), issuedAfter});
    if (!take || take->numRowsAffected() != 1) {
        db.rollback();
        return false;
    }
    // The texts are bound as blobs and kept byte for byte, whatever they
    // hold. (A null array would be bound as SQL NULL.)
    const auto blob = [](const QByteArray &bytes) {
        return bytes.isNull() ? QByteArray("") : bytes;
    };
    const QString id = QString::fromLatin1(video.id);
    if (!run(u"INSERT INTO videos (id, owner, title, description, tags, category, size, created)"
             " VALUES (?, ?, ?, ?, ?, ?, ?, ?)"_s,
             {id, video.ownerId, blob(video.title), blob(video.description), blob(video.tags),
              QString::fromLatin1(blob(video.category)), video.size, video.created})
        || !run(u"DELETE FROM placing_videos WHERE id = ?"_s, {id})) {
        db.rollback();
        return false;
    }
    return commit(db);
}

bool Store::videoIdTaken(QByteArrayView id)
{
    std::optional<QSqlQuery> query =
        run(u"SELECT 1 FROM videos WHERE id = ?"_s, {QString::fromLatin1(id)});
    // When the database cannot answer, count the id as taken: a stray file is
    // better kept than a stored video lost.
    return !query || query->next();
}

QList<Video> Store::readVideos(const QString &condition, const QVariantList &values)
{
    QList<Video> videos;
    std::optional<QSqlQuery> query =
        run(u"SELECT videos.id, videos.owner, accounts.name, videos.title, videos.description,"
            " videos.tags, videos.category, videos.size, videos.created"
            " FROM videos JOIN accounts ON accounts.id = videos.owner "_s
                + condition,
            values);
    while (query && query->next()) {
        Video video;
        video.id = query->value(0).toString().toLatin1();
        video.ownerId = query->value(1).toLongLong();
        video.ownerName = query->value(2).toString();
        video.title = query->value(3).toByteArray();
        video.description = query->value(4).toByteArray();
        video.tags = query->value(5).toByteArray();
        video.category = query->value(6).toString().toLatin1();
        video.size = query->value(7).toLongLong();
        video.created = query->value(8).toLongLong();
        videos.append(video);
    }
    return videos;
}

std::optional<Video> Store::video(QByteArrayView id)
{
    const QList<Video> videos = readVideos(u"WHERE videos.id = ?"_s, {QString::fromLatin1(id)});
    if (videos.isEmpty())
        return std::nullopt;
    return videos.first();
}

QList<Video> Store::recentVideos(int limit)
{
    return readVideos(u"ORDER BY videos.created DESC, videos.rowid DESC LIMIT ?"_s, {limit});
}

QList<Video> Store::videosOf(qint64 accountId)
{
    return readVideos(u"WHERE videos.owner = ? ORDER BY videos.created DESC, videos.rowid DESC"_s,
                      {accountId});
}

void Store::purgeExpired(qint64 now, qint64 ticketLifetime)
{
    if (run(u"DELETE FROM sessions WHERE expires <= ?"_s, {now}))
        run(u"DELETE FROM upload_tickets WHERE created + ? < ?"_s, {ticketLifetime, now});
}

bool isVideoId(QByteArrayView text)
{
    if (text.isEmpty() || text.size() > 32)
        return false;
    for (const char c : text) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
                        || c == '-' || c == '_';
        if (!ok)
            return false;
    }
    return true;
}

} // namespace videosite
