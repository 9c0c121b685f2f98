#include "engine/upload/accountcheck.h"

#include "engine/model/spaces.h"
#include "engine/model/account.h"
#include "engine/upload/loginexchange.h"

#include <QCoreApplication>

#include <utility>

using namespace Qt::StringLiterals;

namespace uplark {

AccountCheck::AccountCheck(SettingsStore &settings, const RouteTable &routes,
                           const SiteAddress &site, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
    , m_site(site)
    , m_login(new LoginExchange(routes, site, this))
{
    connect(m_login, &LoginExchange::decided, this,
            [this](LoginOutcome outcome) { finish(outcome); });
    connect(m_login, &LoginExchange::failed, this, [this](const QString &detail) {
        m_failureDetail = detail;
        finish(LoginOutcome::NoDecision);
    });
}

void AccountCheck::setStallLimit(int milliseconds)
{
    m_login->setStallLimit(milliseconds);
}

AccountCheck::~AccountCheck() = default;

std::optional<QString> AccountCheck::checkUserName(const QString &user)
{
    if (!onlySpaces(user))
        return std::nullopt;
    return QCoreApplication::translate("uplark::AccountCheck", "Please enter your username.");
}

std::optional<QString> AccountCheck::checkPassword(const QString &password)
{
    if (!onlySpaces(password))
        return std::nullopt;
    return QCoreApplication::translate("uplark::AccountCheck", "Please enter your password.");
}

void AccountCheck::start(const Account &typed)
{
    m_typed = typed;
    m_stored = false;
    m_failureDetail.clear();
    m_connectionProblem.clear();
    m_keyringProblem.clear();
    m_login->start({trimSpaces(typed.user), trimSpaces(typed.password)});
}

void AccountCheck::abort()
{
    m_storing = false;
    m_login->close();
}

bool AccountCheck::isRunning() const
{
    return m_login->isDeciding();
}

void AccountCheck::finish(LoginOutcome outcome)
{
    m_connectionProblem = outcome == LoginOutcome::NoDecision ? m_login->problem() : QString();
    m_login->close();
    if (outcome != LoginOutcome::LoggedIn) {
        Q_EMIT finished(outcome);
        return;
    }
    // The account is stored before the outcome is told: at once without a
    // keyring, otherwise once the keyring has answered.
    m_storing = true;
    writeAccount(m_settings, m_typed, m_site, this, [this, outcome](const AccountWriting &w) {
        // Stored all the same when the check was abandoned meanwhile, but
        // nothing is told.
        if (!std::exchange(m_storing, false))
            return;
        m_stored = w.ok;
        m_keyringProblem = w.keyringProblem;
        Q_EMIT finished(outcome);
    });
}

} // namespace uplark
