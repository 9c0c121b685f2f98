#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPair>
#include <QString>

#include <functional>

namespace videosite {

class PasswordChecker;
class Store;

struct LoginPolicy
{
    // This many failed logins for one user name from one client address
    // within the window lock that name for that address for one window's
    // length, counted from the failure that made it.
    int maxFailures = 5;
    qint64 windowSeconds = 15 * 60;
    qint64 sessionLifetime = 14 * 24 * 3600;
};

enum class LoginVerdict {
    LoggedIn,
    MissingField,
    Incorrect,
    TooManyFailures,
    // The store could not answer: no verdict on the password.
    StoreFailed,
};

struct LoginResult
{
    LoginVerdict verdict = LoginVerdict::Incorrect;
    QByteArray sessionCookie; // when logged in
    bool diskFull = false;    // with StoreFailed: the store's disk is full
};

// Checks user name and password against the stored accounts and opens a
// session on success. Failures are counted per user name and client address
// (for unknown names too, so a lock tells nothing about which names exist):
// a run of wrong guesses locks out the address that made them, never the
// name's owner elsewhere. Failures and locks that the store cannot record
// (a full disk) are kept in memory and count all the same. The guard reads
// the time from the clock it is given; the password check runs on the
// checker's threads.
class LoginGuard
{
public:
    using Clock = std::function<qint64()>;
    using Done = std::function<void(const LoginResult &)>;

    LoginGuard(Store &store, const LoginPolicy &policy, PasswordChecker &checker, Clock clock);

    // Decides one attempt. done may be called before this returns (a missing
    // field, a locked name), otherwise it is called later, on the guard's
    // thread.
    void attempt(const QString &name, const QByteArray &password, const QString &clientAddress,
                 Done done);

    // Drops the failures older than the window and the locks that have ended.
    void forgetExpired();

private:
    using Key = QPair<QString, QString>; // user name, client address
    struct Waiting
    {
        QByteArray password;
        Done done;
    };
    // What the store could not record for one key.
    struct Unrecorded
    {
        QList<qint64> failures;
        qint64 lockedUntil = 0;
    };

    // Decides the attempts waiting for key in order, up to the first that
    // needs a password check; that check goes on with the rest when it ends.
    void decideNext(const Key &key);
    LoginResult conclude(const Key &key, qint64 accountId, bool correct);
    qint64 lockedUntil(const Key &key);
    void countFailure(const Key &key, qint64 now);
    LoginResult storeFailed() const;

    Store &m_store;
    LoginPolicy m_policy;
    PasswordChecker &m_checker;
    Clock m_clock;
    // Attempts for one name from one address are decided one after another,
    // so that guesses sent all at once get no more tries than guesses sent
    // one by one. The first of each list is the one being decided.
    QHash<Key, QList<Waiting>> m_waiting;
    QHash<Key, Unrecorded> m_unrecorded;
};

} // namespace videosite
