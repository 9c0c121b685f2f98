#include "engine/upload/uploadjob.h"

#include "engine/model/categories.h"
#include "engine/model/settings.h"
#include "engine/model/spaces.h"
#include "engine/model/account.h"
#include "engine/net/blockinghttpclient.h"
#include "engine/protocol/textconversion.h"
#include "engine/texts/numbers.h"
#include "engine/upload/uploadchain.h"

#include <QCoreApplication>

using namespace Qt::StringLiterals;

namespace uplark {

namespace {

QString translate(const char *text)
{
    return QCoreApplication::translate("uplark::UploadJob", text);
}

} // namespace

UploadJob::UploadJob(SettingsStore &settings, BlockingHttpClient *http, const RouteTable &routes,
                     const SiteAddresses &addresses, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
    , m_http(http)
    , m_addresses(addresses)
    , m_chain(new UploadChain(routes, addresses.site, this))
{
    m_chain->setObjectName(u"uploadChain"_s);
    connect(m_chain, &UploadChain::stepChanged, this, &UploadJob::stepChanged);
    connect(m_chain, &UploadChain::fileAnnounced, this, &UploadJob::fileAnnounced);
    connect(m_chain, &UploadChain::progressed, this, &UploadJob::progressed);
    connect(m_chain, &UploadChain::finished, this, &UploadJob::finished);
    connect(m_chain, &UploadChain::failed, this, &UploadJob::onChainFailed);
}

UploadJob::~UploadJob() = default;

// ---- The account ----

void UploadJob::loadAccount()
{
    ++m_accountReads;
    readAccount(m_settings, m_addresses.site, this, [this](const AccountReading &reading) {
        --m_accountReads;
        m_account = reading.account;
        m_accountProblem = reading.passwordUnreadable ? reading.keyringProblem : QString();
        Q_EMIT accountLoaded();
    });
}

void UploadJob::setAccount(const Account &account)
{
    m_account = account;
}

void UploadJob::forgetAccount()
{
    m_account = {};
    eraseAccount(m_settings, this);
}

std::optional<QString> UploadJob::checkAccount() const
{
    if (hasAccount())
        return std::nullopt;
    return translate("You must set your YouTube account first.");
}

// ---- The file ----

std::optional<QString> UploadJob::checkFileSize(qint64 bytes) const
{
    // Above 100 MB in hundredths of a megabyte, after rounding; the length
    // is a 64-bit number, so files of 2 GiB and more are refused with their
    // true size.
    constexpr qint64 MaximumHundredths = 100 * 100;
    if (megabytesHundredths(bytes) <= MaximumHundredths)
        return std::nullopt;
    return translate("This file is %1 MB in size. YouTube allows maximum 100 MB.")
        .arg(megabytesText(bytes));
}

// ---- The video information ----

std::optional<VideoInfoProblem> UploadJob::checkVideoTexts(const VideoTexts &texts) const
{
    using Field = VideoInfoField;
    if (onlySpaces(texts.title))
        return VideoInfoProblem{Field::Title, translate("Please enter a TITLE for your video.")};
    if (onlySpaces(texts.description))
        return VideoInfoProblem{Field::Description,
                                translate("Please enter a meaningful description for your video.")};
    if (categoryNumber(texts.category).isEmpty())
        return VideoInfoProblem{Field::Category,
                                translate("Please select a category for your video.")};
    if (onlySpaces(texts.tags))
        return VideoInfoProblem{Field::Tags,
                                translate("Please enter some TAGS in order for your video to be "
                                          "found easily.\r\n\r\nSeperate your tags by spaces.")};
    // The window's boxes take no more than this.
    const struct
    {
        Field field;
        const QString &text;
        int limit;
        const char *name;
    } limits[] = {{Field::Title, texts.title, TitleLimit, "title"},
                  {Field::Description, texts.description, DescriptionLimit, "description"},
                  {Field::Tags, texts.tags, TagsLimit, "tags"}};
    for (const auto &l : limits) {
        if (l.text.size() > l.limit)
            return VideoInfoProblem{l.field, translate("The %1 may have at most %2 characters.")
                                                 .arg(QString::fromLatin1(l.name))
                                                 .arg(l.limit)};
    }
    return std::nullopt;
}

std::optional<VideoInfo> UploadJob::convertTexts(const VideoTexts &texts, QString *failure)
{
    m_conversionProblem.clear();
    const SiteAddress &service = m_addresses.conversion;
    const auto fail = [&](const QString &why) {
        if (failure)
            *failure =
                u"text conversion "_s + endpointText(service.host, service.port) + u": "_s + why;
        return std::nullopt;
    };
    if (!m_http)
        return fail(u"no way to make the request"_s);
    // "<" and ">" leave every text; the description's line breaks travel as CR LF.
    const HttpReply reply = m_http->post(
        conversionUrl(service.authority, service.tls), ConversionContentType,
        conversionBody(encodePlaceholders(removeAngleBrackets(texts.title)),
                       encodePlaceholders(lineBreaksToCrLf(removeAngleBrackets(texts.description))),
                       encodePlaceholders(removeAngleBrackets(texts.tags))));
    m_conversionProblem = reply.problem;
    if (!reply.ok)
        return fail(reply.problem.isEmpty() ? reply.error : reply.problem);
    if (!hasConversionSections(reply.body))
        return fail(u"the answer (status %1) holds no converted texts"_s.arg(reply.status));
    const ConvertedTexts converted = readConversionAnswer(reply.body);
    return VideoInfo{converted.title, converted.description, converted.tags,
                     categoryNumber(texts.category)};
}

QString UploadJob::connectionProblem() const
{
    return m_chain->connectionProblem();
}

UploadJob::ChangedTexts UploadJob::changedTexts(const VideoTexts &typed, const VideoInfo &sent)
{
    ChangedTexts changed;
    const struct
    {
        const char *name;
        const QString &typed;
        const QByteArray &sent;
    } texts[] = {{"title", typed.title, sent.title},
                 {"description", typed.description, sent.description},
                 {"tags", typed.tags, sent.tags}};
    for (const auto &t : texts) {
        const QString asTyped = lineBreaksToCrLf(t.typed);
        if (asTyped.toUtf8() == t.sent)
            continue;
        changed.names.append(QString::fromLatin1(t.name));
        if (removeAngleBrackets(asTyped).toUtf8() != t.sent)
            changed.onlyAngleBrackets = false;
    }
    return changed;
}

// ---- The upload ----

void UploadJob::setStallLimit(int milliseconds)
{
    m_chain->setStallLimit(milliseconds);
}

void UploadJob::setRateLimit(qint64 bytesPerSecond)
{
    m_chain->setRateLimit(bytesPerSecond);
}

void UploadJob::start(const QString &filePath, const VideoInfo &info)
{
    m_chain->start(m_account, filePath, info);
}

void UploadJob::cancel()
{
    m_chain->cancel();
}

void UploadJob::onChainFailed(UploadFailure failure, const QString &detail)
{
    Q_EMIT failed(failure, detail);
    // A rejected account is asked for again. After too many login failures
    // the account may well be right, and forgetting it would lose it.
    if (failure == UploadFailure::AccountRejected) {
        forgetAccount();
        Q_EMIT accountForgotten();
    }
}

} // namespace uplark
