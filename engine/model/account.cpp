#include "engine/model/account.h"

#include "engine/model/keyring.h"
#include "engine/model/settings.h"
#include "engine/net/siteaddress.h"

#include <QLockFile>
#include <QObject>
#include <QPointer>
#include <QUrl>

#include <memory>
#include <optional>

using namespace Qt::StringLiterals;

namespace uplark {

namespace {

const QString App = QString::fromUtf16(SettingsApp);
const QString UserKey = u"un"_s;
const QString PasswordKey = u"pw"_s;
const QString EntryKey = u"keyring"_s;
const QString SiteKey = u"site"_s;

// One change or reading of the stored account while the keyring is asked.
// It lives on its own, whatever becomes of the caller, until it has
// finished: the keyring's answers come to it, and the caller's `done` is
// called only while the caller is still there.
template<typename Result>
class Operation : public QObject
{
public:
    Operation(QObject *caller, std::function<void(const Result &)> done)
        : m_caller(caller)
        , m_hasCaller(caller != nullptr)
        , m_done(std::move(done))
    {
    }

    void finish()
    {
        m_lock.reset();
        if (m_done && (!m_hasCaller || m_caller))
            m_done(result);
        deleteLater();
    }

    Result result;
    std::unique_ptr<QLockFile> m_lock;

private:
    QPointer<QObject> m_caller;
    bool m_hasCaller;
    std::function<void(const Result &)> m_done;
};

// The account's keys in one replacement of the file, under `lock` (taken
// already; false when it could not be). With `site`, the site it was
// checked against goes in the same replacement; the build's site needs no
// key, and a file without one stays without.
bool writeKeys(SettingsStore &store, const QLockFile *lock, const QString &user,
               const QString &password, const QString &entry,
               const std::optional<QString> &site = std::nullopt)
{
    if (!lock)
        return false;
    SettingsStore::Values values{{UserKey, user}, {PasswordKey, password}, {EntryKey, entry}};
    if (site && !(site->isEmpty() && storedSite(store).isEmpty()))
        values.append({SiteKey, *site});
    return store.setValues(App, App, values, lock);
}

// Answers a change that needed no keyring, once the file's lock is let go.
void answerAtOnce(std::unique_ptr<QLockFile> lock, const AccountWritten &done,
                  const AccountWriting &result)
{
    lock.reset();
    if (done)
        done(result);
}

// The site as the "site" key keeps it: nothing for the build's site.
QString siteToStore(const SiteAddress &site)
{
    if (site == defaultSiteAddress())
        return {};
    return QString::fromLatin1(site.tls ? site.schemePrefix() + site.authority : site.authority);
}

} // namespace

QString keyringEntry(const SiteAddress &site, const QString &user)
{
    return QString::fromLatin1(site.schemePrefix() + QUrl::toPercentEncoding(user) + '@'
                               + site.authority);
}

Account storedAccount(const SettingsStore &store)
{
    const QStringList both = store.values(App, App, {UserKey, PasswordKey});
    return {both[0], both[1]};
}

QString storedSite(const SettingsStore &store)
{
    return store.value(App, App, SiteKey);
}

QString storedKeyringEntry(const SettingsStore &store)
{
    return store.value(App, App, EntryKey);
}

bool storeAccount(SettingsStore &store, const Account &account)
{
    const std::unique_ptr<QLockFile> lock = store.lockForChange(App);
    return writeKeys(store, lock.get(), account.user, account.password, {});
}

bool forgetStoredAccount(SettingsStore &store)
{
    return storeAccount(store, {});
}

void readAccount(SettingsStore &store, const SiteAddress &site, QObject *context, AccountRead done)
{
    const QStringList keys = store.values(App, App, {UserKey, PasswordKey, EntryKey});
    const Account inFile{keys[0], keys[1]};
    const QString entry = keys[2];
    Keyring *keyring = store.keyring();
    if (!keyring) {
        done({inFile, false, {}});
        return;
    }

    auto *op = new Operation<AccountReading>(context, std::move(done));
    if (!entry.isEmpty()) {
        keyring->read(entry, op, [op, inFile, entry](Keyring::Result result, const QString &text) {
            if (result == Keyring::Result::Done) {
                op->result.account = {inFile.user, text};
            } else {
                op->result.passwordUnreadable = true;
                op->result.keyringProblem = result == Keyring::Result::NotFound
                                                ? u"the keyring has no entry %1"_s.arg(entry)
                                                : text;
            }
            op->finish();
        });
        return;
    }

    op->result.account = inFile;
    if (inFile.password.isEmpty()) {
        // Nothing to move: the keyring is only asked whether it answers.
        keyring->read(keyringEntry(site, inFile.user), op,
                      [op](Keyring::Result result, const QString &text) {
                          if (result == Keyring::Result::Unavailable)
                              op->result.keyringProblem = text;
                          op->finish();
                      });
        return;
    }

    // A password left in the file by an earlier version, or stored while no
    // keyring answered, moves into the keyring; the file keeps it when the
    // keyring does not answer, or when another program holds the file.
    op->m_lock = store.lockForChange(App);
    const Account underLock = op->m_lock ? storedAccount(store) : Account();
    if (underLock.user != inFile.user || underLock.password != inFile.password) {
        // Answered from the event loop all the same, as with the keyring.
        QMetaObject::invokeMethod(
            op, [op] { op->finish(); }, Qt::QueuedConnection);
        return;
    }
    const QString newEntry = keyringEntry(site, inFile.user);
    keyring->write(newEntry, inFile.password, op,
                   [op, &store, inFile, newEntry](Keyring::Result result, const QString &text) {
                       if (result == Keyring::Result::Done)
                           writeKeys(store, op->m_lock.get(), inFile.user, {}, newEntry);
                       else
                           op->result.keyringProblem = text;
                       op->finish();
                   });
}

void writeAccount(SettingsStore &store, const Account &account, const SiteAddress &site,
                  QObject *context, AccountWritten done)
{
    std::unique_ptr<QLockFile> lock = store.lockForChange(App);
    const QString siteText = siteToStore(site);
    Keyring *keyring = store.keyring();
    if (!lock || !keyring) {
        AccountWriting result;
        result.ok = writeKeys(store, lock.get(), account.user, account.password, {}, siteText);
        result.inFile = true;
        answerAtOnce(std::move(lock), done, result);
        return;
    }

    auto *op = new Operation<AccountWriting>(context, std::move(done));
    op->m_lock = std::move(lock);
    const QString oldEntry = storedKeyringEntry(store);
    const QString entry = keyringEntry(site, account.user);
    keyring->write(entry, account.password, op,
                   [op, &store, keyring, account, entry, oldEntry, siteText](Keyring::Result result,
                                                                             const QString &text) {
                       const QLockFile *lock = op->m_lock.get();
                       if (result != Keyring::Result::Done) {
                           op->result.ok =
                               writeKeys(store, lock, account.user, account.password, {}, siteText);
                           op->result.inFile = true;
                           op->result.keyringProblem = text;
                           op->finish();
                           return;
                       }
                       op->result.ok = writeKeys(store, lock, account.user, {}, entry, siteText);
                       if (!op->result.ok || oldEntry.isEmpty() || oldEntry == entry) {
                           op->finish();
                           return;
                       }
                       keyring->remove(oldEntry, op,
                                       [op](Keyring::Result, const QString &) { op->finish(); });
                   });
}

void eraseAccount(SettingsStore &store, QObject *context, AccountWritten done)
{
    std::unique_ptr<QLockFile> lock = store.lockForChange(App);
    const QString entry = storedKeyringEntry(store);
    AccountWriting result;
    result.ok = writeKeys(store, lock.get(), {}, {}, {}, QString());
    Keyring *keyring = store.keyring();
    if (!result.ok || !keyring || entry.isEmpty()) {
        answerAtOnce(std::move(lock), done, result);
        return;
    }
    auto *op = new Operation<AccountWriting>(context, std::move(done));
    op->m_lock = std::move(lock);
    op->result = result;
    keyring->remove(entry, op, [op](Keyring::Result result, const QString &text) {
        if (result == Keyring::Result::Unavailable)
            op->result.keyringProblem = text;
        op->finish();
    });
}

bool introSkipped(const SettingsStore &store)
{
    return store.value(App, App, u"check1"_s) == u"1";
}

void setIntroSkipped(SettingsStore &store, bool skipped)
{
    store.setValue(App, App, u"check1"_s, skipped ? u"1"_s : u"0"_s);
}

} // namespace uplark
