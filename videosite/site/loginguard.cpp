#include "videosite/site/loginguard.h"

#include "videosite/site/passwordchecker.h"
#include "videosite/site/store.h"

#include <algorithm>

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
    const auto &name = key.first;
    for (;;) {
        const auto found = m_waiting.find(key);
        if (found == m_waiting.end())
            return;
        if (found->isEmpty()) {
            m_waiting.erase(found);
            return;
        }
        if (lockedUntil(key) > m_clock()) {
            const Done done = std::move(found->first().done);
            found->removeFirst();
            done({LoginVerdict::TooManyFailures, {}});
            continue;
        }
        const std::optional<AccountRecord> account = m_store.account(name);
        if (m_store.status() != Store::Status::Ok) {
            const Done done = std::move(found->first().done);
            found->removeFirst();
            done(storeFailed());
            continue;
        }
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

LoginResult LoginGuard::storeFailed() const
{
    return {LoginVerdict::StoreFailed, {}, m_store.status() == Store::Status::DiskFull};
}

qint64 LoginGuard::lockedUntil(const Key &key)
{
    const qint64 stored = m_store.loginLockedUntil(key.first, key.second);
    return qMax(stored, m_unrecorded.value(key).lockedUntil);
}

void LoginGuard::countFailure(const Key &key, qint64 now)
{
    const auto &[name, address] = key;
    const qint64 windowStart = now - m_policy.windowSeconds;
    m_store.forgetLoginFailuresBefore(windowStart, now);
    m_store.addLoginFailure(name, address, now);
    if (m_store.status() != Store::Status::Ok)
        m_unrecorded[key].failures.append(now);
    int failures = m_store.loginFailuresSince(name, address, windowStart);
    if (const auto unrecorded = m_unrecorded.constFind(key); unrecorded != m_unrecorded.cend()) {
        failures += int(std::count_if(unrecorded->failures.cbegin(), unrecorded->failures.cend(),
                                      [windowStart](qint64 at) { return at > windowStart; }));
    }
    if (failures < m_policy.maxFailures)
        return;
    const qint64 until = now + m_policy.windowSeconds;
    m_store.lockLogin(name, address, until);
    if (m_store.status() != Store::Status::Ok)
        m_unrecorded[key].lockedUntil = until;
    m_store.clearLoginFailures(name, address);
    if (const auto unrecorded = m_unrecorded.find(key); unrecorded != m_unrecorded.end())
        unrecorded->failures.clear();
}

LoginResult LoginGuard::conclude(const Key &key, qint64 accountId, bool correct)
{
    const auto &[name, address] = key;
    const qint64 now = m_clock();
    if (!correct) {
        countFailure(key, now);
        return {LoginVerdict::Incorrect, {}};
    }
    m_store.clearLoginFailures(name, address);
    if (const auto unrecorded = m_unrecorded.find(key); unrecorded != m_unrecorded.end())
        unrecorded->failures.clear();
    const QByteArray cookie = m_store.createSession(accountId, now, m_policy.sessionLifetime);
    if (cookie.isEmpty())
        return storeFailed();
    return {LoginVerdict::LoggedIn, cookie};
}

void LoginGuard::forgetExpired()
{
    const qint64 now = m_clock();
    const qint64 windowStart = now - m_policy.windowSeconds;
    m_store.forgetLoginFailuresBefore(windowStart, now);
    for (auto it = m_unrecorded.begin(); it != m_unrecorded.end();) {
        it->failures.removeIf([windowStart](qint64 at) { return at <= windowStart; });
        if (it->failures.isEmpty() && it->lockedUntil <= now)
            it = m_unrecorded.erase(it);
        else
            ++it;
    }
}

} // namespace videosite
