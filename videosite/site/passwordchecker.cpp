#include "videosite/site/passwordchecker.h"

namespace videosite {

namespace {

const PasswordHash &decoyHash()
{
    static const PasswordHash decoy = hashPassword("decoy");
    return decoy;
}

} // namespace

PasswordChecker::PasswordChecker(int maxThreads, QObject *parent)
    : QObject(parent)
{
    m_pool.setMaxThreadCount(qMax(1, maxThreads));
}

PasswordChecker::~PasswordChecker()
{
    m_pool.clear();
    m_pool.waitForDone();
}

void PasswordChecker::check(const QByteArray &password, const std::optional<PasswordHash> &stored,
                            std::function<void(bool)> done)
{
    m_pool.start([this, password, stored, done = std::move(done)]() mutable {
        const bool correct = stored ? verifyPassword(password, *stored)
                                    : (verifyPassword(password, decoyHash()), false);
        // Delivered through the event loop; dropped if this object goes first.
        QMetaObject::invokeMethod(
            this, [correct, done = std::move(done)] { done(correct); }, Qt::QueuedConnection);
    });
}

} // namespace videosite
