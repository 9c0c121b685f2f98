#pragma once

#include "videosite/site/credentials.h"

#include <QByteArray>
#include <QObject>
#include <QThreadPool>

#include <functional>
#include <optional>

namespace videosite {

// Checks passwords on threads of its own, so that the event loop goes on
// serving other clients while a check takes its fraction of a second. At
// most maxThreads checks run at once; the others wait their turn in order.
class PasswordChecker : public QObject
{
    Q_OBJECT

public:
    explicit PasswordChecker(int maxThreads, QObject *parent = nullptr);
    // Waits for the checks that are running; their results, and those of the
    // checks still waiting, are dropped.
    ~PasswordChecker() override;

    // Calls done on this object's thread with whether password matches
    // stored. Without a stored hash it is checked against a decoy and never
    // matches, so that an unknown user name takes as long as a known one.
    void check(const QByteArray &password, const std::optional<PasswordHash> &stored,
               std::function<void(bool)> done);

private:
    QThreadPool m_pool;
};

} // namespace videosite
