#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

class Store;

struct LoginPolicy
{
    // This many failed logins for one user name within the window lock the
    // name for one window's length, counted from the failure that made it.
    int maxFailures = 5;
    qint64 windowSeconds = 15 * 60;
    qint64 sessionLifetime = 14 * 24 * 3600;
};

enum class LoginOutcome { LoggedIn, MissingField, Incorrect, TooManyFailures };

struct LoginResult
{
    LoginOutcome outcome = LoginOutcome::Incorrect;
    QByteArray sessionCookie; // when logged in
};

// Checks user name and password against the stored accounts, counts the
// failures per user name (known or not, so a lock tells nothing about which
// names exist) and opens a session on success.
class LoginGuard
{
public:
    LoginGuard(Store &store, const LoginPolicy &policy);

    LoginResult attempt(const QString &name, QByteArrayView password, qint64 now);

private:
    Store &m_store;
    LoginPolicy m_policy;
};
