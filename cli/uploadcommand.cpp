// The upload command: every file checked first, then one upload after
// another with the same account, each tried again after the failures that
// may pass, with what a person or a script needs to follow it.
#include "cli/commandline.h"
#include "cli/commands.h"
#include "cli/metadata.h"
#include "cli/progressline.h"
#include "cli/terminal.h"
#include "engine/model/settings.h"
#include "engine/model/videoinfo.h"
#include "engine/texts/messages.h"
#include "engine/texts/progress.h"
#include "engine/upload/retrypolicy.h"
#include "engine/upload/uploadjob.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringDecoder>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace uplark {

namespace {

// One file of the run, checked and with its texts.
struct Upload
{
    QString path;
    QString name;  // the file's name, for messages
    QString label; // the name, with its number in a run of several
    qint64 size = 0;
    VideoTexts texts;
};

// How one file ended.
struct Result
{
    enum class Status { Done, Failed, Cancelled } status = Status::Failed;
    QString address;
    std::optional<UploadFailure> failure; // none when cancelled
    QString message;
    QStringList changed; // the texts the site was sent changed
    int tries = 0;
    double seconds = 0;
};

QString statusName(Result::Status status)
{
    switch (status) {
    case Result::Status::Done:
        return u"done"_s;
    case Result::Status::Failed:
        return u"failed"_s;
    case Result::Status::Cancelled:
        return u"cancelled"_s;
    }
    return {};
}

// The failure kinds as --json names them.
QString failureName(UploadFailure failure)
{
    switch (failure) {
    case UploadFailure::AccountRejected:
        return u"account-rejected"_s;
    case UploadFailure::TooManyLoginFailures:
        return u"too-many-login-failures"_s;
    case UploadFailure::ConnectionError:
        return u"connection-error"_s;
    case UploadFailure::UnreadableFile:
        return u"unreadable-file"_s;
    case UploadFailure::InvalidHost:
        return u"invalid-host"_s;
    case UploadFailure::NoVideoId:
        return u"no-video-id"_s;
    case UploadFailure::NotStored:
        return u"not-stored"_s;
    }
    return {};
}

// A JSON object on one line. Besides what JSON escapes itself, DEL and the
// C1 controls are written as \u escapes, so that the line is safe on a
// terminal too.
QByteArray jsonLine(const QJsonObject &object)
{
    const QString text = QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
    QString safe;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == 0x7F || (u >= 0x80 && u <= 0x9F))
            safe += u"\\u%1"_s.arg(int(u), 4, 16, QChar(u'0'));
        else
            safe += c;
    }
    return safe.toUtf8() + '\n';
}

// "title", "title and tags", "title, description and tags".
QString listed(const QStringList &names)
{
    if (names.size() <= 1)
        return names.value(0);
    return names.mid(0, names.size() - 1).join(u", "_s) + u" and "_s + names.constLast();
}

// In one pass, so that a file name holding "{n}" stays as it is.
QString withPlaceholders(const QString &text, const QString &name, int n, int total)
{
    const std::pair<QString, QString> placeholders[] = {{u"{name}"_s, name},
                                                        {u"{n}"_s, QString::number(n)},
                                                        {u"{total}"_s, QString::number(total)}};
    QString result;
    for (qsizetype i = 0; i < text.size();) {
        bool replaced = false;
        for (const auto &[placeholder, value] : placeholders) {
            if (QStringView(text).sliced(i).startsWith(placeholder)) {
                result += value;
                i += placeholder.size();
                replaced = true;
                break;
            }
        }
        if (!replaced)
            result += text.at(i++);
    }
    return result;
}

// The description file's text: UTF-8, without the line breaks at its end.
bool readDescriptionFile(const QString &path, QString *text, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = u"cannot read the description file "_s + path + u": "_s + file.errorString();
        return false;
    }
    QStringDecoder decoder(QStringDecoder::Utf8);
    *text = decoder(file.readAll());
    if (decoder.hasError()) {
        *error = u"the description file "_s + path + u" is not UTF-8 text"_s;
        return false;
    }
    while (text->endsWith(u'\n') || text->endsWith(u'\r'))
        text->chop(1);
    return true;
}

// The progress of the current file on the terminal: its steps, then the
// post's figures redrawn at most five times a second, and the last line
// kept once the file is done.
class ProgressDisplay
{
public:
    explicit ProgressDisplay(bool wanted)
        : m_line(wanted)
    {
    }

    void begin(const QString &label)
    {
        m_label = label;
        m_posting = false;
    }

    void step(UploadStep step)
    {
        if (step == UploadStep::Uploading) {
            // The figures come with the first bytes of the post, which
            // starts its clock: the pause before it is not counted.
            m_posting = false;
            m_figures = {};
        }
        if (step == UploadStep::PreparingAddress && m_posting) {
            m_figures.end = u"sent"_s;
            draw();
        } else {
            m_line.show(m_label + u": "_s + uploadStepText(step));
        }
    }

    void progress(const UploadProgressView &view)
    {
        if (!m_posting) {
            m_posting = true;
            m_meter.start();
        }
        m_meter.add(view.requestSent);
        m_figures.sent = view.requestSent;
        m_figures.total = view.requestSize;
        m_figures.speed = m_meter.speed();
        m_figures.secondsLeft =
            m_figures.speed > 0
                ? qint64((view.requestSize - view.requestSent) / m_figures.speed + 0.5)
                : -1;
        // Redrawn a few times a second: enough to follow, little to write.
        if (!m_drawn.isValid() || m_drawn.elapsed() >= 200 || view.requestSent == view.requestSize)
            draw();
    }

    // The file is done: its last line stays.
    void done()
    {
        if (m_posting) {
            m_figures.speed = m_meter.averageSpeed();
            m_figures.end =
                u"done in "_s + durationText((m_meter.elapsedMilliseconds() + 500) / 1000);
            draw();
        }
        m_line.finish();
    }

    // The file has ended otherwise: what the line shows stays above the message.
    void end() { m_line.finish(); }
    // A message is to go out: the line is taken away, and drawn again later.
    void clear() { m_line.clear(); }

private:
    void draw()
    {
        m_drawn.start();
        m_line.show(progressLine(m_label, m_figures, m_line.columns()));
    }

    StatusLine m_line;
    QString m_label;
    bool m_posting = false;
    SpeedMeter m_meter;
    ProgressFigures m_figures;
    QElapsedTimer m_drawn;
};

class UploadRun
{
public:
    UploadRun(const CommandLine &line, UploadJob &job, InterruptWatcher &interrupt)
        : m_line(line)
        , m_job(job)
        , m_interrupt(interrupt)
        , m_display(!line.quiet)
    {
    }

    // Checks every file and its texts; false when any is refused, each
    // refusal said on its own line.
    bool prepare();
    int run();

private:
    Result upload(const Upload &u);
    // One try of the chain; false when Ctrl+C stopped it.
    bool tryChain(const Upload &u, const VideoInfo &info, Result *result);
    // Waits before a retry; false when Ctrl+C stopped the wait.
    bool wait(int seconds);
    void report(const Upload &u, const Result &result);
    QString prefix(const Upload &u) const
    {
        return m_uploads.size() > 1 ? u.name + u": "_s : QString();
    }
    void say(const QString &message) const
    {
        if (!m_line.quiet)
            writeErr(u"uplark: "_s + oneLine(message) + u'\n');
    }

    const CommandLine &m_line;
    UploadJob &m_job;
    InterruptWatcher &m_interrupt;
    ProgressDisplay m_display;
    QList<Upload> m_uploads;
    bool m_interrupted = false;
};

bool UploadRun::prepare()
{
    bool good = true;
    const auto refuse = [&](const QString &message) {
        writeErr(u"uplark: "_s + oneLine(message) + u'\n');
        good = false;
    };

    VideoTexts flags{m_line.title, m_line.description, m_line.category, m_line.tags};
    if (!m_line.descriptionFile.isEmpty()) {
        QString error;
        if (!readDescriptionFile(m_line.descriptionFile, &flags.description, &error)) {
            refuse(error);
            return false;
        }
    }
    QList<FileMetadata> metadata;
    QList<int> entryOf;
    if (!m_line.metadataFile.isEmpty()) {
        QString error;
        if (!readMetadata(m_line.metadataFile, &metadata, &error)
            || !matchMetadata(m_line.filePaths, metadata, &entryOf, &error)) {
            refuse(error);
            return false;
        }
    }

    const int total = int(m_line.filePaths.size());
    for (int i = 0; i < total; ++i) {
        Upload u;
        u.path = m_line.filePaths.at(i);
        const QFileInfo info(u.path);
        u.name = info.fileName();
        u.label = total > 1 ? u"[%1/%2] %3"_s.arg(i + 1).arg(total).arg(u.name) : u.name;
        // The options' texts with the placeholders filled in; the file's own
        // metadata wins over them.
        const auto fill = [&](const QString &text) {
            return withPlaceholders(text, info.completeBaseName(), i + 1, total);
        };
        u.texts = {fill(flags.title), fill(flags.description), fill(flags.category),
                   fill(flags.tags)};
        if (!entryOf.isEmpty() && entryOf.at(i) >= 0) {
            const FileMetadata &own = metadata.at(entryOf.at(i));
            u.texts.title = own.title.value_or(u.texts.title);
            u.texts.description = own.description.value_or(u.texts.description);
            u.texts.category = own.category.value_or(u.texts.category);
            u.texts.tags = own.tags.value_or(u.texts.tags);
        }
        const QString where = total > 1 ? u.path + u": "_s : QString();

        if (!info.exists()) {
            refuse(u.path + u": no such file"_s);
            continue;
        }
        if (!info.isFile()) {
            refuse(u.path + u": not a file"_s);
            continue;
        }
        QFile probe(u.path);
        if (!probe.open(QIODevice::ReadOnly)) {
            refuse(u.path + u": "_s + probe.errorString());
            continue;
        }
        u.size = info.size();
        if (const std::optional<QString> refusal = m_job.checkFileSize(u.size)) {
            refuse(where + *refusal);
            continue;
        }
        if (const std::optional<VideoInfoProblem> problem = m_job.checkVideoTexts(u.texts)) {
            refuse(where + problem->message);
            continue;
        }
        m_uploads.append(u);
    }
    return good;
}

int UploadRun::run()
{
    int done = 0;
    int failed = 0;
    int cancelled = 0;
    int code = ExitCode::Success;
    // After a rejected account (forgotten now) or too many login failures,
    // every later login would be refused too.
    std::optional<Result> stopped;
    for (const Upload &u : std::as_const(m_uploads)) {
        Result result;
        if (m_interrupted) {
            result.status = Result::Status::Cancelled;
            result.message = u"not started: interrupted"_s;
        } else if (stopped) {
            result.failure = stopped->failure;
            result.message = u"not tried: "_s + stopped->message;
        } else {
            result = upload(u);
            report(u, result);
        }
        if (result.failure
            && (*result.failure == UploadFailure::AccountRejected
                || *result.failure == UploadFailure::TooManyLoginFailures))
            stopped = result;

        switch (result.status) {
        case Result::Status::Done:
            ++done;
            break;
        case Result::Status::Failed:
            ++failed;
            if (result.failure == UploadFailure::UnreadableFile)
                code = ExitCode::BadUsage;
            else if (code == ExitCode::Success)
                code = ExitCode::SiteFailed;
            break;
        case Result::Status::Cancelled:
            ++cancelled;
            break;
        }
        if (m_line.json) {
            QJsonObject object{{u"file"_s, u.path},
                               {u"status"_s, statusName(result.status)},
                               {u"bytes"_s, u.size},
                               {u"seconds"_s, qRound(result.seconds * 1000) / 1000.0},
                               {u"tries"_s, result.tries}};
            if (!result.address.isEmpty())
                object.insert(u"address"_s, result.address);
            if (result.failure)
                object.insert(u"failure"_s, failureName(*result.failure));
            if (!result.message.isEmpty())
                object.insert(u"message"_s, result.message);
            if (!result.changed.isEmpty())
                object.insert(u"changed"_s, QJsonArray::fromStringList(result.changed));
            writeOut(QString::fromUtf8(jsonLine(object)));
        }
    }
    if (m_uploads.size() > 1) {
        QString summary = u"%1 of %2 uploaded"_s.arg(done).arg(m_uploads.size());
        if (failed > 0)
            summary += u", %1 failed"_s.arg(failed);
        if (cancelled > 0)
            summary += u", %1 cancelled"_s.arg(cancelled);
        say(summary);
    }
    return m_interrupted ? ExitCode::Interrupted : code;
}

Result UploadRun::upload(const Upload &u)
{
    Result result;
    QElapsedTimer clock;
    clock.start();
    m_display.begin(u.label);
    std::optional<VideoInfo> info;
    for (;;) {
        ++result.tries;
        // The conversion is asked once it has answered; a connection error of
        // its own is tried again like one of the chain.
        if (!info) {
            m_display.step(UploadStep::Connecting);
            QString detail;
            info = m_job.convertTexts(u.texts, &detail);
            if (InterruptWatcher::wasInterrupted()) {
                m_display.end();
                m_interrupted = true;
                result.status = Result::Status::Cancelled;
                result.message = u"interrupted; nothing was uploaded"_s;
                break;
            }
            if (!info) {
                m_display.end();
                result.failure = UploadFailure::ConnectionError;
                result.message = uploadFailureLine(UploadFailure::ConnectionError, detail);
            } else {
                const UploadJob::ChangedTexts changed = UploadJob::changedTexts(u.texts, *info);
                result.changed = changed.names;
                m_display.clear();
                if (!changed.names.isEmpty())
                    say(prefix(u)
                        + (changed.onlyAngleBrackets ? u"\"<\" and \">\" are taken out of the "_s
                                                     : u"the text conversion changed the "_s)
                        + listed(changed.names));
            }
        }
        if (info && !tryChain(u, *info, &result))
            break;
        if (result.status == Result::Status::Done || !isWorthRetrying(*result.failure)
            || result.tries > m_line.retries)
            break;
        const int delay = retryDelaySeconds(result.tries);
        say(prefix(u) + result.message
            + u"; trying again in %1 s (try %2 of %3)"_s.arg(delay)
                  .arg(result.tries + 1)
                  .arg(m_line.retries + 1));
        if (!wait(delay)) {
            result.status = Result::Status::Cancelled;
            result.failure.reset();
            result.message = u"interrupted; the upload was cancelled"_s;
            break;
        }
        result.failure.reset();
    }
    result.seconds = clock.elapsed() / 1000.0;
    return result;
}

bool UploadRun::tryChain(const Upload &u, const VideoInfo &info, Result *result)
{
    QEventLoop loop;
    QObject scope; // the connections below end with it
    bool interrupted = false;
    QObject::connect(&m_job, &UploadJob::stepChanged, &scope,
                     [&](UploadStep step) { m_display.step(step); });
    QObject::connect(&m_job, &UploadJob::progressed, &scope,
                     [&](const UploadProgressView &view) { m_display.progress(view); });
    QObject::connect(&m_job, &UploadJob::finished, &scope, [&](const QString &address) {
        // What an earlier try failed with is past.
        result->status = Result::Status::Done;
        result->failure.reset();
        result->message.clear();
        result->address = address;
        loop.exit();
    });
    QObject::connect(&m_job, &UploadJob::failed, &scope,
                     [&](UploadFailure failure, const QString &detail) {
                         result->status = Result::Status::Failed;
                         result->failure = failure;
                         result->message = uploadFailureLine(failure, detail);
                         m_job.cancel();
                         loop.exit();
                     });
    QObject::connect(&m_interrupt, &InterruptWatcher::interrupted, &scope, [&] {
        // As Cancel: every connection closed, so the site drops what it got.
        m_job.cancel();
        interrupted = true;
        loop.exit();
    });
    m_job.start(u.path, info);
    loop.exec();
    // Once the address is known the video is on the site: the rest of the
    // answer is not waited for.
    m_job.cancel();
    if (result->status == Result::Status::Done)
        m_display.done();
    else
        m_display.end();
    if (interrupted) {
        m_interrupted = true;
        result->status = Result::Status::Cancelled;
        result->failure.reset();
        result->message = u"interrupted; the upload was cancelled"_s;
        return false;
    }
    return true;
}

bool UploadRun::wait(int seconds)
{
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    QObject::connect(&m_interrupt, &InterruptWatcher::interrupted, &loop, [&] {
        m_interrupted = true;
        loop.quit();
    });
    loop.exec();
    return !m_interrupted;
}

void UploadRun::report(const Upload &u, const Result &result)
{
    switch (result.status) {
    case Result::Status::Done:
        if (!m_line.json)
            writeOut(result.address + u'\n');
        return;
    case Result::Status::Failed:
    case Result::Status::Cancelled:
        writeErr(u"uplark: "_s + oneLine(prefix(u) + result.message) + u'\n');
        return;
    }
}

} // namespace

int runUpload(const CommandLine &line, const CommandContext &context)
{
    InterruptWatcher interrupt;
    SiteAddresses addresses;
    QString error;
    if (!commandAddresses(line, *context.settings, &addresses, &error)) {
        writeErr(u"uplark: "_s + oneLine(error) + u'\n');
        return ExitCode::BadUsage;
    }
    UploadJob job(*context.settings, context.http, *context.routes, addresses);
    job.setStallLimit(line.stallSeconds * 1000);
    job.setRateLimit(line.rateLimit);
    // The password may be in the keyring, which answers from the event loop.
    const bool loaded = waitForAnswer(interrupt, [&job](QObject *owner, auto done) {
        QObject::connect(&job, &UploadJob::accountLoaded, owner, [done] { done(); });
        job.loadAccount();
    });
    if (!loaded) {
        writeErr(u"uplark: interrupted; nothing was uploaded\n"_s);
        return ExitCode::Interrupted;
    }
    if (!job.accountProblem().isEmpty()) {
        writeErr(u"uplark: "_s
                 + oneLine(u"the password of the stored account is in the desktop keyring, "
                           "which did not answer ("_s
                           + job.accountProblem() + u")"_s)
                 + u'\n');
        return ExitCode::SiteFailed;
    }
    if (const std::optional<QString> refusal = job.checkAccount()) {
        writeErr(u"uplark: "_s + oneLine(*refusal) + u'\n');
        return ExitCode::BadUsage;
    }
    UploadRun run(line, job, interrupt);
    if (!run.prepare())
        return ExitCode::BadUsage;
    return run.run();
}

} // namespace uplark
