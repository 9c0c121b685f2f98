#include "engine/upload/accountcheck.h"

#include "engine/model/spaces.h"
#include "engine/model/storedsite.h"
#include "engine/upload/loginexchange.h"

#include <QCoreApplication>

using namespace Qt::StringLiterals;

namespace uplark {

AccountCheck::AccountCheck(SettingsStore &settings, const RouteTable &routes,
                           const SiteAddress &site, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
    , m_login(new LoginExchange(routes, site, this))
    , m_site(site)
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
    m_login->start({trimSpaces(typed.user), trimSpaces(typed.password)});
}

void AccountCheck::abort()
{
    m_login->close();
}

bool AccountCheck::isRunning() const
{
    return m_login->isDeciding();
}

void AccountCheck::finish(LoginOutcome outcome)
{
    m_login->close();
    if (outcome == LoginOutcome::LoggedIn) {
        const QByteArray site = m_site == defaultSiteAddress() ? QByteArray() : m_site.authority;
        m_stored = storeAccount(m_settings, m_typed);
        m_stored = storeSite(m_settings, site) && m_stored;
    }
    Q_EMIT finished(outcome);
}

} // namespace uplark
