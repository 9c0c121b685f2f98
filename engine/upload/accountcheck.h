#pragma once

#include "engine/model/account.h"
#include "engine/net/siteaddress.h"
#include "engine/protocol/login.h"

#include <QObject>
#include <QString>

#include <optional>

namespace uplark {

class LoginExchange;
class RouteTable;
class SettingsStore;

// Checks a typed account against the site with one login exchange on a
// connection of its own, and stores it when the site lets it in: the site
// is asked without the spaces around the name and password, and the account
// is stored as typed (the password in the keyring where one answers), with
// the site it was checked against (nothing for the build's site). The
// connection is closed, and an accepted account stored, before `finished`
// is emitted.
class AccountCheck : public QObject
{
    Q_OBJECT
public:
    AccountCheck(SettingsStore &settings, const RouteTable &routes, const SiteAddress &site,
                 QObject *parent = nullptr);
    ~AccountCheck() override;

    // Why a typed name or password is not even sent: nothing but spaces.
    static std::optional<QString> checkUserName(const QString &user);
    static std::optional<QString> checkPassword(const QString &password);

    // Connects to the site and sends the login.
    void start(const Account &typed);
    // Ends a check under way; nothing is reported.
    void abort();
    bool isRunning() const;
    // After a LoggedIn outcome: false when the settings file could not be written.
    bool isStored() const { return m_stored; }
    // After a LoggedIn outcome: why no keyring answered, the password being
    // then kept in the settings file; empty when the keyring took it.
    QString keyringProblem() const { return m_keyringProblem; }
    // After a NoDecision outcome: which connection failed, and why.
    QString failureDetail() const { return m_failureDetail; }
    // After a NoDecision outcome: what the user is told beyond a connection
    // error (a refused certificate, a failing proxy); empty otherwise.
    QString connectionProblem() const { return m_connectionProblem; }

    // The longest time no byte may move before the site's answer decides
    // (0, the default: no limit), from the next start().
    void setStallLimit(int milliseconds);

Q_SIGNALS:
    // The site's answer; NoDecision when the connection failed or was closed
    // before the answer decided.
    void finished(uplark::LoginOutcome outcome);

private:
    void finish(LoginOutcome outcome);

    SettingsStore &m_settings;
    SiteAddress m_site;
    LoginExchange *m_login;
    Account m_typed;
    bool m_stored = false;
    bool m_storing = false; // the accepted account is being stored
    QString m_failureDetail;
    QString m_connectionProblem;
    QString m_keyringProblem;
};

} // namespace uplark
