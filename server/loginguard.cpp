#include "server/loginguard.h"

#include "server/passwordchecker.h"
#include "server/store.h"

namespace videosite {

LoginGuard::LoginGuard(Store &store, const LoginPolicy &policy, PasswordChecker &checker, Clock clock)
    : m_store(store), m_policy(policy), m_checker(checker), m_clock(std::move(clock))
{
}

void LoginGuard::attempt(const QString &name, const QByteArray &password, const QString &clientAddress, Done done)
{
    if (name.isEmpty() || password.isEmpty()) {
        done({LoginOutcome::MissingField, {}});
        return;
    }
    const qint64 now = m_clock();
    const Key key(name, clientAddress);
    if (m_store.loginLockedUntil(name, clientAddress) > now
        || m_store.loginFailuresSince(name, clientAddress, now - m_policy.windowSeconds) + m_checking.value(key)
               >= m_policy.maxFailures) {
        done({LoginOutcome::TooManyFailures, {}});
        return;
    }
    const std::optional<Account> account = m_store.account(name);
    ++m_checking[key];
    m_checker.check(password, account ? std::optional(account->password) : std::nullopt,
                    [this, key, accountId = account ? account->id : 0, done = std::move(done)](bool correct) {
                        if (--m_checking[key] <= 0)
                            m_checking.remove(key);
                        done(conclude(key, accountId, correct));
                    });
}

LoginResult LoginGuard::conclude(const Key &key, qint64 accountId, bool correct)
{
    const auto &[name, address] = key;
    const qint64 now = m_clock();
    if (!correct) {
        m_store.forgetLoginFailuresBefore(now - m_policy.windowSeconds, now);
        m_store.addLoginFailure(name, address, now);
        if (m_store.loginFailuresSince(name, address, now - m_policy.windowSeconds) >= m_policy.maxFailures) {
            m_store.lockLogin(name, address, now + m_policy.windowSeconds);
            m_store.clearLoginFailures(name, address);
        }
        return {LoginOutcome::Incorrect, {}};
    }
    // A lock made by other attempts while this one was checked holds.
    if (m_store.loginLockedUntil(name, address) > now)
        return {LoginOutcome::TooManyFailures, {}};
    m_store.clearLoginFailures(name, address);
    const QByteArray cookie = m_store.createSession(accountId, now, m_policy.sessionLifetime);
    return {cookie.isEmpty() ? LoginOutcome::Incorrect : LoginOutcome::LoggedIn, cookie};
}

} // namespace videosite
