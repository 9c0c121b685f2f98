#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace videosite {

// A password as stored: PBKDF2-HMAC-SHA256 over the password's bytes with a
// random salt.
struct PasswordHash
{
    QByteArray salt;
    QByteArray hash;
    int rounds = 0;
};

inline constexpr int PasswordRounds = 100000;

PasswordHash hashPassword(QByteArrayView password, int rounds = PasswordRounds);
bool verifyPassword(QByteArrayView password, const PasswordHash &stored);

// bytes random bytes from the system's secure generator, as base64url text
// without padding (letters, digits, "-" and "_": safe in cookies, form values,
// addresses and file names).
QByteArray randomToken(int bytes);

// SHA-256 of a secret token as hex, for storing session keys.
QByteArray tokenDigest(QByteArrayView token);

} // namespace videosite
