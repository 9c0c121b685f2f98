#pragma once

#include <QString>

namespace uplark {

class SettingsStore;

// The site account the uploads go to, as the user typed it.
struct Account
{
    QString user;
    QString password;

    // An account counts as stored when name and password together are longer
    // than one character.
    bool isSet() const { return user.size() + password.size() > 1; }
};

// The stored account ("un" and "pw"); empty strings when none is stored.
Account storedAccount(const SettingsStore &store);
// False when the settings file could not be written.
bool storeAccount(SettingsStore &store, const Account &account);
// Stores empty strings for both keys.
bool forgetStoredAccount(SettingsStore &store);

// Whether the intro is to be skipped at start ("check1" holds exactly "1"),
// and storing that choice.
bool introSkipped(const SettingsStore &store);
void setIntroSkipped(SettingsStore &store, bool skipped);

} // namespace uplark
