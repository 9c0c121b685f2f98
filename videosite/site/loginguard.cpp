#include "videosite/site/loginguard.h"

#include "videosite/site/passwordchecker.h"
#include "videosite/site/store.h"

namespace videosite {

LoginGuard::LoginGuard(Store &store, const LoginPolicy &policy, PasswordChecker &checker,
                       Clock clock)
    : m_store(store)
    , m_policy(policy)
    , m_checker(checker)
    , m_clock(std::move(clock))
{
}

void LoginGuard::attempt(const QString &name, const QByteArray &password,
                         const QString &clientAddress, Done done)
{
    if (name.isEmpty() || password.isEmpty()) {
        done({LoginVerdict::MissingField, {}});
        return;
    }
    const Key key(name, clientAddress);
    QList<Waiting> &waiting = m_waiting[key];
    waiting.append({password, std::move(done)});
    if (waiting.size() == 1)
        decideNext(key);
}

void LoginGuard::decideNext(const Key &key)
{
    const auto &[name, address] = key;
    for (;;) {
        const auto found = m_waiting.find(key);
        if (found == m_waiting.end())
            return;
        if (found->isEmpty()) {
            m_waiting.erase(found);
            return;
        }
        if (m_store.loginLockedUntil(name, address) > m_clock()) {
            const Done done = std::move(found->first().done);
            found->removeFirst();
            done({LoginVerdict::TooManyFailures, {}});
            continue;
        }
        const std::optional<AccountRecord> account = m_store.account(name);
        m_checker.check(found->first().password,
                        account ? std::optional(account->password) : std::nullopt,
                        [this, key, accountId = account ? account->id : 0](bool correct) {
                            QList<Waiting> &waiting = m_waiting[key];
                            const Done done = std::move(waiting.first().done);
                            waiting.removeFirst();
                            done(conclude(key, accountId, correct));
                            decideNext(key);
                        });
        return;
    }
}

LoginResult LoginGuard::conclude(const Key &key, qint64 accountId, bool correct)
{
    const auto &[name, address] = key;
    const qint64 now = m_clock();
    if (!correct) {
        m_store.forgetLoginFailuresBefore(now - m_policy.windowSeconds, now);
        m_store.addLoginFailure(name, address, now);
        if (m_store.loginFailuresSince(name, address, now - m_policy.windowSeconds)
            >= m_policy.maxFailures) {
            m_store.lockLogin(name, address, now + m_policy.windowSeconds);
            m_store.clearLoginFailures(name, address);
        }
        return {LoginVerdict::Incorrect, {}};
    }
    m_store.clearLoginFailures(name, address);
    const QByteArray cookie = m_store.createSession(accountId, now, m_policy.sessionLifetime);
    return {cookie.isEmpty() ? LoginVerdict::Incorrect : LoginVerdict::LoggedIn, cookie};
}

} // namespace videosite
