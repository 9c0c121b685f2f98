#include "engine/model/desktopkeyring.h"

#include <QObject>
#include <QPointer>

#include <qt6keychain/keychain.h>

using namespace Qt::StringLiterals;

namespace uplark {

namespace {

const QString Service = u"uplark"_s;

// Starts `job` and answers `done` in `context` once it has finished.
void run(QKeychain::Job *job, const QString &entry, QObject *context, Keyring::Done done,
         std::function<QString(QKeychain::Job *)> result = {})
{
    job->setAutoDelete(true);
    job->setInsecureFallback(false);
    job->setKey(entry);
    QObject::connect(job, &QKeychain::Job::finished, context,
                     [done = std::move(done), result = std::move(result)](QKeychain::Job *j) {
                         switch (j->error()) {
                         case QKeychain::NoError:
                             done(Keyring::Result::Done, result ? result(j) : QString());
                             return;
                         case QKeychain::EntryNotFound:
                             done(Keyring::Result::NotFound, {});
                             return;
                         default:
                             done(Keyring::Result::Unavailable, j->errorString().isEmpty()
                                                                    ? u"no keyring answered"_s
                                                                    : j->errorString());
                             return;
                         }
                     });
    job->start();
}

} // namespace

void DesktopKeyring::read(const QString &entry, QObject *context, Done done)
{
    run(new QKeychain::ReadPasswordJob(Service), entry, context, std::move(done),
        [](QKeychain::Job *job) {
            return static_cast<QKeychain::ReadPasswordJob *>(job)->textData();
        });
}

void DesktopKeyring::write(const QString &entry, const QString &secret, QObject *context, Done done)
{
    auto *job = new QKeychain::WritePasswordJob(Service);
    job->setTextData(secret);
    run(job, entry, context, std::move(done));
}

void DesktopKeyring::remove(const QString &entry, QObject *context, Done done)
{
    run(new QKeychain::DeletePasswordJob(Service), entry, context, std::move(done));
}

} // namespace uplark
