#include "server/loginguard.h"

#include "server/credentials.h"
#include "server/store.h"

namespace {

// Checked against when the user name is unknown, so that a wrong name takes
// as long as a wrong password.
const PasswordHash &decoyHash()
{
    static const PasswordHash decoy = hashPassword("decoy");
    return decoy;
}

} // namespace

LoginGuard::LoginGuard(Store &store, const LoginPolicy &policy) : m_store(store), m_policy(policy) {}

LoginResult LoginGuard::attempt(const QString &name, QByteArrayView password, qint64 now)
{
    LoginResult result;
    if (name.isEmpty() || password.isEmpty()) {
        result.outcome = LoginOutcome::MissingField;
        return result;
    }
    if (m_store.loginLockedUntil(name) > now) {
        result.outcome = LoginOutcome::TooManyFailures;
        return result;
    }

    const std::optional<Account> account = m_store.account(name);
    const bool correct = account ? verifyPassword(password, account->password)
                                 : (verifyPassword(password, decoyHash()) && false);
    if (!correct) {
        m_store.addLoginFailure(name, now);
        if (m_store.loginFailuresSince(name, now - m_policy.windowSeconds) >= m_policy.maxFailures) {
            m_store.lockLogin(name, now + m_policy.windowSeconds);
            m_store.clearLoginFailures(name);
        }
        result.outcome = LoginOutcome::Incorrect;
        return result;
    }

    m_store.clearLoginFailures(name);
    result.sessionCookie = m_store.createSession(account->id, now, m_policy.sessionLifetime);
    result.outcome = result.sessionCookie.isEmpty() ? LoginOutcome::Incorrect : LoginOutcome::LoggedIn;
    return result;
}
