#include "cli/commands.h"

#include "cli/commandline.h"
#include "cli/terminal.h"
#include "engine/model/account.h"
#include "engine/model/settings.h"
#include "engine/model/videoinfo.h"
#include "engine/texts/messages.h"
#include "engine/texts/progress.h"
#include "engine/upload/accountcheck.h"
#include "engine/upload/uploadjob.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QStringDecoder>

using namespace Qt::StringLiterals;

namespace uplark {

namespace {

int fail(int code, const QString &message)
{
    writeErr(u"uplark: "_s + oneLine(message) + u'\n');
    return code;
}

// Said once, where the password went to the settings file because no
// keyring answered.
void tellPasswordInFile(const CommandContext &context, const QString &why)
{
    writeErr(u"uplark: no desktop keyring answered ("_s + oneLine(why)
             + u"); the password is kept in "_s
             + context.settings->filePath(QString::fromUtf16(SettingsApp))
             + u", readable by you only\n"_s);
}

// Handles events, waiting for each, until a continuation has set
// `finished`; false when Ctrl+C came first.
bool waitUntil(const bool &finished)
{
    while (!finished && !InterruptWatcher::wasInterrupted())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return finished;
}

// The description file's text: UTF-8, without the line breaks at its end.
bool readDescriptionFile(const QString &path, QString *text, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = u"cannot read the description file "_s + path + u": "_s + file.errorString();
        return false;
    }
    const QByteArray bytes = file.readAll();
    QStringDecoder decoder(QStringDecoder::Utf8);
    *text = decoder(bytes);
    if (decoder.hasError()) {
        *error = u"the description file "_s + path + u" is not UTF-8 text"_s;
        return false;
    }
    while (text->endsWith(u'\n') || text->endsWith(u'\r'))
        text->chop(1);
    return true;
}

} // namespace

QString oneLine(const QString &message)
{
    static const QRegularExpression breaks(u"[\\r\\n]+"_s);
    return QString(message).replace(breaks, u" "_s).trimmed();
}

int runUpload(const CommandLine &line, const CommandContext &context)
{
    InterruptWatcher interrupt;
    UploadJob job(*context.settings, context.http, *context.routes, context.addresses);

    // The password may be in the keyring, which answers from the event loop.
    bool loaded = false;
    QObject::connect(&job, &UploadJob::accountLoaded, &job, [&] { loaded = true; });
    job.loadAccount();
    if (!waitUntil(loaded))
        return fail(ExitCode::Interrupted, u"interrupted; nothing was uploaded"_s);
    if (!job.accountProblem().isEmpty())
        return fail(ExitCode::SiteFailed,
                    u"the password of the stored account is in the desktop keyring, which did not "
                    "answer ("_s
                        + job.accountProblem() + u")"_s);
    if (const std::optional<QString> refusal = job.checkAccount())
        return fail(ExitCode::BadUsage, *refusal);

    const QFileInfo info(line.filePath);
    if (!info.exists())
        return fail(ExitCode::BadUsage, line.filePath + u": no such file"_s);
    if (!info.isFile())
        return fail(ExitCode::BadUsage, line.filePath + u": not a file"_s);
    {
        QFile probe(line.filePath);
        if (!probe.open(QIODevice::ReadOnly))
            return fail(ExitCode::BadUsage, line.filePath + u": "_s + probe.errorString());
    }
    if (const std::optional<QString> refusal = job.checkFileSize(info.size()))
        return fail(ExitCode::BadUsage, *refusal);

    VideoTexts texts{line.title, line.description, line.category, line.tags};
    if (!line.descriptionFile.isEmpty()) {
        QString error;
        if (!readDescriptionFile(line.descriptionFile, &texts.description, &error))
            return fail(ExitCode::BadUsage, error);
    }
    if (const std::optional<VideoInfoProblem> problem = job.checkVideoTexts(texts))
        return fail(ExitCode::BadUsage, problem->message);

    StatusLine status;
    status.show(uploadStepText(UploadStep::Connecting));
    const std::optional<VideoInfo> video = job.convertTexts(texts);
    if (InterruptWatcher::wasInterrupted()) {
        status.finish();
        return fail(ExitCode::Interrupted, u"interrupted; nothing was uploaded"_s);
    }
    if (!video) {
        status.finish();
        return fail(ExitCode::SiteFailed, uploadFailureMessage(UploadFailure::ConnectionError,
                                                               job.conversionFailure()));
    }

    QEventLoop loop;
    int code = ExitCode::SiteFailed;
    QString watchAddress;
    QString failure;
    QObject::connect(&job, &UploadJob::stepChanged, &loop,
                     [&](UploadStep step) { status.show(uploadStepText(step)); });
    QObject::connect(&job, &UploadJob::fileAnnounced, &loop,
                     [&](const QString &name, qint64 bytes) {
                         const QLocale locale;
                         status.show(uploadingLine(name, bytes, locale) + u"  "_s
                                     + startingKilobyteLine(bytes, locale));
                     });
    QObject::connect(&job, &UploadJob::progressed, &loop, [&](const UploadProgressView &view) {
        status.show(view.kilobytes + u"  "_s + view.percent);
    });
    QObject::connect(&job, &UploadJob::finished, &loop, [&](const QString &address) {
        watchAddress = address;
        code = ExitCode::Success;
        loop.exit();
    });
    QObject::connect(
        &job, &UploadJob::failed, &loop, [&](UploadFailure why, const QString &detail) {
            failure = uploadFailureMessage(why, detail);
            code = why == UploadFailure::UnreadableFile ? ExitCode::BadUsage : ExitCode::SiteFailed;
            job.cancel();
            loop.exit();
        });
    QObject::connect(&interrupt, &InterruptWatcher::interrupted, &loop, [&] {
        // As Cancel: every connection closed, so the site drops what it got.
        job.cancel();
        code = ExitCode::Interrupted;
        failure = u"interrupted; the upload was cancelled"_s;
        loop.exit();
    });
    job.start(line.filePath, *video);
    loop.exec();
    status.finish();
    if (code == ExitCode::Success) {
        // Once the address is known the video is on the site: the rest of
        // the answer is not waited for.
        job.cancel();
        writeOut(watchAddress + u'\n');
        return code;
    }
    return fail(code, failure);
}

int runAccountSet(const CommandLine &line, const CommandContext &context)
{
    InterruptWatcher interrupt;
    if (const std::optional<QString> refusal = AccountCheck::checkUserName(line.user))
        return fail(ExitCode::BadUsage, *refusal);
    bool interrupted = false;
    const std::optional<QString> password =
        readPassword(u"Password for "_s + line.user + u": "_s, &interrupted);
    if (interrupted)
        return fail(ExitCode::Interrupted, u"interrupted; nothing was stored"_s);
    // No line at all is as good as an empty one.
    if (const std::optional<QString> refusal =
            AccountCheck::checkPassword(password.value_or(QString())))
        return fail(ExitCode::BadUsage, *refusal);

    AccountCheck check(*context.settings, *context.routes, context.addresses.site);
    QEventLoop loop;
    LoginOutcome outcome = LoginOutcome::NoDecision;
    bool stopped = false;
    QObject::connect(&check, &AccountCheck::finished, &loop, [&](LoginOutcome decided) {
        outcome = decided;
        loop.exit();
    });
    QObject::connect(&interrupt, &InterruptWatcher::interrupted, &loop, [&] {
        check.abort();
        stopped = true;
        loop.exit();
    });
    check.start({line.user, *password});
    loop.exec();
    if (stopped)
        return fail(ExitCode::Interrupted, u"interrupted; nothing was stored"_s);
    if (outcome != LoginOutcome::LoggedIn)
        return fail(ExitCode::SiteFailed, loginOutcomeMessage(outcome, check.failureDetail()));
    if (!check.isStored())
        return fail(ExitCode::SiteFailed,
                    u"could not write "_s
                        + context.settings->filePath(QString::fromUtf16(SettingsApp)));
    if (!check.keyringProblem().isEmpty())
        tellPasswordInFile(context, check.keyringProblem());
    writeErr(u"Your YouTube account information has been successfully set on this program.\n"_s);
    return ExitCode::Success;
}

int runAccountForget(const CommandContext &context)
{
    InterruptWatcher interrupt;
    AccountWriting result;
    bool finished = false;
    eraseAccount(*context.settings, nullptr, [&](const AccountWriting &erased) {
        result = erased;
        finished = true;
    });
    if (!waitUntil(finished))
        return fail(ExitCode::Interrupted, u"interrupted"_s);
    if (!result.ok)
        return fail(ExitCode::SiteFailed,
                    u"could not write "_s
                        + context.settings->filePath(QString::fromUtf16(SettingsApp)));
    if (!result.keyringProblem.isEmpty())
        return fail(ExitCode::SiteFailed,
                    u"the password could not be removed from the desktop keyring ("_s
                        + result.keyringProblem + u"); the settings file no longer names it"_s);
    writeErr(accountRemovedMessage() + u'\n');
    return ExitCode::Success;
}

int runAccountShow(const CommandContext &context)
{
    // The settings file tells enough: the user name, and whether a password
    // is kept (in the file or in the keyring).
    const Account inFile = storedAccount(*context.settings);
    const bool stored = !storedKeyringEntry(*context.settings).isEmpty()
                            ? !inFile.user.isEmpty()
                            : inFile.isSet();
    if (!stored)
        return fail(ExitCode::BadUsage, u"No YouTube account is set on this computer."_s);
    writeOut(inFile.user + u'\n');
    return ExitCode::Success;
}

} // namespace uplark
