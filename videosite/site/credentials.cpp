#include "videosite/site/credentials.h"

#include <QCryptographicHash>
#include <QList>
#include <QPasswordDigestor>
#include <QRandomGenerator>

namespace videosite {

namespace {

QByteArray randomBytes(int count)
{
    QList<quint32> words((count + 3) / 4);
    QRandomGenerator::system()->fillRange(words.data(), words.size());
    return QByteArray(reinterpret_cast<const char *>(words.constData()), count);
}

// Compares without stopping at the first difference, so the time taken does
// not tell how much of a guess was right.
bool constantTimeEqual(QByteArrayView a, QByteArrayView b)
{
    if (a.size() != b.size())
        return false;
    uchar diff = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        diff |= uchar(a.at(i)) ^ uchar(b.at(i));
    return diff == 0;
}

QByteArray derive(QByteArrayView password, const QByteArray &salt, int rounds)
{
    return QPasswordDigestor::deriveKeyPbkdf2(QCryptographicHash::Sha256, password.toByteArray(),
                                              salt, rounds, 32);
}

} // namespace

PasswordHash hashPassword(QByteArrayView password, int rounds)
{
    PasswordHash stored;
    stored.salt = randomBytes(16);
    stored.rounds = rounds;
    stored.hash = derive(password, stored.salt, rounds);
    return stored;
}

bool verifyPassword(QByteArrayView password, const PasswordHash &stored)
{
    if (stored.rounds <= 0 || stored.hash.isEmpty())
        return false;
    return constantTimeEqual(derive(password, stored.salt, stored.rounds), stored.hash);
}

QByteArray randomToken(int bytes)
{
    return randomBytes(bytes).toBase64(QByteArray::Base64UrlEncoding
                                       | QByteArray::OmitTrailingEquals);
}

QByteArray tokenDigest(QByteArrayView token)
{
    return QCryptographicHash::hash(token, QCryptographicHash::Sha256).toHex();
}

} // namespace videosite
