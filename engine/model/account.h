#pragma once

#include <QString>

#include <functional>

class QObject;

namespace uplark {

class SettingsStore;
struct SiteAddress;

// The site account the uploads go to, as the user typed it.
struct Account
{
    QString user;
    QString password;

    // An account counts as stored when name and password together are longer
    // than one character.
    bool isSet() const { return user.size() + password.size() > 1; }
};

// Where the account is kept. The settings file holds the user name ("un")
// and the name of the keyring entry that holds the password ("keyring");
// where no keyring answered when the account was stored, the file holds the
// password itself ("pw") instead, readable by its owner only, as it always
// did. One entry per site and user: keyringEntry().
//
// The functions below read and change the account as a whole: the keys of
// the file are written in one replacement, and a change holds the file's
// lock from before the keyring is written until the file is, so that two
// programs storing an account at once never leave one's user name with the
// other's password. Each answers through `done` once: at once when the
// store has no keyring, otherwise from the event loop once the keyring has
// answered; not at all when `context` is gone by then (the change itself is
// still completed).

// "https://USER@HOST:PORT": the site's address with the user name
// (percent-encoded) in it.
QString keyringEntry(const SiteAddress &site, const QString &user);

struct AccountReading
{
    // Empty when none is stored, or when its password is in a keyring that
    // did not answer.
    Account account;
    bool passwordUnreadable = false; // the keyring holding the password did not answer
    QString keyringProblem;          // why the keyring did not answer; empty when it did
};

struct AccountWriting
{
    bool ok = true;         // false: the settings file could not be written
    bool inFile = false;    // the password went to the file: no keyring answered
    QString keyringProblem; // why the keyring did not answer
};

using AccountRead = std::function<void(const AccountReading &)>;
using AccountWritten = std::function<void(const AccountWriting &)>;

// Reads the stored account. A password still in the file moves into the
// keyring, under the entry for `site`, the first time a keyring answers.
// Without a password to read the keyring is still asked, so that
// keyringProblem tells whether one answers.
void readAccount(SettingsStore &store, const SiteAddress &site, QObject *context, AccountRead done);
// Stores the account checked with `site`, with that site (storedSite()),
// the password in the keyring when one answers, in the file otherwise; an
// entry of an earlier account is removed from the keyring.
void writeAccount(SettingsStore &store, const Account &account, const SiteAddress &site,
                  QObject *context, AccountWritten done);
// Forgets the stored account: empty strings in the file, the site stored
// with it too, and its keyring entry removed.
void eraseAccount(SettingsStore &store, QObject *context, AccountWritten done = {});

// The settings file alone, without the keyring: its user name and its
// password (empty when the password is in the keyring), and writing both
// keys at once. For the user name and for tests.
Account storedAccount(const SettingsStore &store);
bool storeAccount(SettingsStore &store, const Account &account);
bool forgetStoredAccount(SettingsStore &store);
// The site the stored account was checked against, kept next to it under
// the key "site": its address as it was given ("HOST", "HOST:PORT", with
// "https://" in front for a site over TLS), or nothing for the build's site.
QString storedSite(const SettingsStore &store);
// The keyring entry the file names for the password; empty when none.
QString storedKeyringEntry(const SettingsStore &store);

// Whether the intro is to be skipped at start ("check1" holds exactly "1"),
// and storing that choice.
bool introSkipped(const SettingsStore &store);
void setIntroSkipped(SettingsStore &store, bool skipped);

} // namespace uplark
