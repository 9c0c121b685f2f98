#pragma once

#include <QByteArray>
#include <QString>

namespace uplark {

class SettingsStore;

// The site the stored account was checked against, kept next to the account
// under the key "site": its address as it was given ("HOST" or "HOST:PORT"),
// or nothing for the build's site.
QString storedSite(const SettingsStore &store);
// False when the settings file could not be written.
bool storeSite(SettingsStore &store, const QByteArray &authority);

} // namespace uplark
