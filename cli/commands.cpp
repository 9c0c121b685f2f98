#include "cli/commands.h"

#include "cli/commandline.h"
#include "cli/terminal.h"
#include "engine/model/account.h"
#include "engine/model/settings.h"
#include "engine/texts/messages.h"
#include "engine/upload/accountcheck.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace uplark {

namespace {

int fail(int code, const QString &message)
{
    writeErr(u"uplark: "_s + oneLine(message) + u'\n');
    return code;
}

// Said once, where the password went to the settings file because no
// keyring answered.
void tellPasswordInFile(const CommandContext &context, const QString &why)
{
    writeErr(u"uplark: no desktop keyring answered ("_s + oneLine(why)
             + u"); the password is kept in "_s
             + context.settings->filePath(QString::fromUtf16(SettingsApp))
             + u", readable by you only\n"_s);
}

} // namespace

QString oneLine(const QString &message)
{
    static const QRegularExpression breaks(u"[\\r\\n]+"_s);
    return terminalSafe(QString(message).replace(breaks, u" "_s).trimmed());
}

bool commandAddresses(const CommandLine &line, const SettingsStore &settings,
                      SiteAddresses *addresses, QString *error)
{
    *addresses = line.addresses;
    if (line.siteGiven)
        return true;
    const QString stored = storedSite(settings);
    if (stored.isEmpty())
        return true;
    QString why;
    if (!parseSiteAddress(stored, &addresses->site, &why)) {
        *error = u"the site stored with the account, \"%1\", is not an address (%2); set the "
                 "account again with --site"_s.arg(stored, why);
        return false;
    }
    if (!line.conversionGiven)
        addresses->conversion = addresses->site;
    return true;
}

bool waitForAnswer(InterruptWatcher &interrupt,
                   const std::function<void(QObject *context, std::function<void()> done)> &start)
{
    QEventLoop loop;
    bool finished = false;
    QObject::connect(&interrupt, &InterruptWatcher::interrupted, &loop, &QEventLoop::quit);
    start(&loop, [&finished, &loop] {
        finished = true;
        loop.quit();
    });
    if (!finished && !InterruptWatcher::wasInterrupted())
        loop.exec();
    return finished;
}

HttpTimeouts conversionTimeouts(const CommandLine &line)
{
    HttpTimeouts timeouts;
    // The stall limit holds for each phase of the request (opening it,
    // sending it, waiting for the answer); without one the request keeps its
    // own limits. The deadline of the whole request is never shorter than
    // one stall.
    if (line.stallSeconds > 0) {
        timeouts.connect = timeouts.send = timeouts.receive = line.stallSeconds;
        timeouts.total = qMax(timeouts.total, line.stallSeconds);
    }
    return timeouts;
}

int runAccountSet(const CommandLine &line, const CommandContext &context)
{
    InterruptWatcher interrupt;
    if (const std::optional<QString> refusal = AccountCheck::checkUserName(line.user))
        return fail(ExitCode::BadUsage, *refusal);
    SiteAddresses addresses;
    QString error;
    if (!commandAddresses(line, *context.settings, &addresses, &error))
        return fail(ExitCode::BadUsage, error);
    bool interrupted = false;
    const std::optional<QString> password =
        readPassword(u"Password for "_s + line.user + u": "_s, &interrupted);
    if (interrupted)
        return fail(ExitCode::Interrupted, u"interrupted; nothing was stored"_s);
    // No line at all is as good as an empty one.
    if (const std::optional<QString> refusal =
            AccountCheck::checkPassword(password.value_or(QString())))
        return fail(ExitCode::BadUsage, *refusal);

    AccountCheck check(*context.settings, *context.routes, addresses.site);
    check.setStallLimit(line.stallSeconds * 1000);
    QEventLoop loop;
    LoginOutcome outcome = LoginOutcome::NoDecision;
    bool stopped = false;
    QObject::connect(&check, &AccountCheck::finished, &loop, [&](LoginOutcome decided) {
        outcome = decided;
        loop.exit();
    });
    QObject::connect(&interrupt, &InterruptWatcher::interrupted, &loop, [&] {
        check.abort();
        stopped = true;
        loop.exit();
    });
    check.start({line.user, *password});
    loop.exec();
    if (stopped)
        return fail(ExitCode::Interrupted, u"interrupted; nothing was stored"_s);
    if (outcome == LoginOutcome::NoDecision)
        return fail(ExitCode::SiteFailed,
                    uploadFailureLine(UploadFailure::ConnectionError, check.failureDetail()));
    if (outcome != LoginOutcome::LoggedIn)
        return fail(ExitCode::SiteFailed, loginOutcomeMessage(outcome));
    if (!check.isStored())
        return fail(ExitCode::SiteFailed,
                    u"could not write "_s
                        + context.settings->filePath(QString::fromUtf16(SettingsApp)));
    if (!check.keyringProblem().isEmpty())
        tellPasswordInFile(context, check.keyringProblem());
    if (!line.quiet)
        writeErr(
            u"Your YouTube account information has been successfully set on this program.\n"_s);
    return ExitCode::Success;
}

int runAccountForget(const CommandLine &line, const CommandContext &context)
{
    InterruptWatcher interrupt;
    AccountWriting result;
    const bool finished = waitForAnswer(interrupt, [&](QObject *owner, auto done) {
        eraseAccount(*context.settings, owner, [&result, done](const AccountWriting &erased) {
            result = erased;
            done();
        });
    });
    if (!finished)
        return fail(ExitCode::Interrupted, u"interrupted"_s);
    if (!result.ok)
        return fail(ExitCode::SiteFailed,
                    u"could not write "_s
                        + context.settings->filePath(QString::fromUtf16(SettingsApp)));
    if (!result.keyringProblem.isEmpty())
        return fail(ExitCode::SiteFailed,
                    u"the password could not be removed from the desktop keyring ("_s
                        + result.keyringProblem + u"); the settings file no longer names it"_s);
    if (!line.quiet)
        writeErr(accountRemovedMessage() + u'\n');
    return ExitCode::Success;
}

int runAccountShow(const CommandContext &context)
{
    // The settings file tells enough: the user name, and whether a password
    // is kept (in the file or in the keyring).
    const Account inFile = storedAccount(*context.settings);
    const bool stored =
        !storedKeyringEntry(*context.settings).isEmpty() ? !inFile.user.isEmpty() : inFile.isSet();
    if (!stored)
        return fail(ExitCode::BadUsage, u"No YouTube account is set on this computer."_s);
    writeOut(inFile.user + u'\n');
    return ExitCode::Success;
}

} // namespace uplark
