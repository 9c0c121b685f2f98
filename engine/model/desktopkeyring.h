#pragma once

#include "engine/model/keyring.h"

namespace uplark {

// The keyring of the desktop session, through QtKeychain: the Secret
// Service over the session bus (GNOME Keyring, KeePassXC), or KWallet.
// Entries are kept under the service name "uplark". QtKeychain's own plain
// file fallback is never used: where no keyring answers the call reports
// Unavailable, and the settings store keeps the password itself.
class DesktopKeyring : public Keyring
{
public:
    void read(const QString &entry, QObject *context, Done done) override;
    void write(const QString &entry, const QString &secret, QObject *context, Done done) override;
    void remove(const QString &entry, QObject *context, Done done) override;
};

} // namespace uplark
