#include "engine/upload/uploadjob.h"

#include "engine/model/categories.h"
#include "engine/model/settings.h"
#include "engine/model/spaces.h"
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
    readAccount(m_settings, m_addresses.site, this, [this](const AccountReading &reading) {
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

std::optional<VideoInfo> UploadJob::convertTexts(const VideoTexts &texts)
{
    m_conversionFailure.clear();
    if (!m_http)
        return std::nullopt;
    // "<" and ">" leave every text; the description's line breaks travel as CR LF.
    const HttpReply reply = m_http->post(
        conversionUrl(m_addresses.conversion.authority, m_addresses.conversion.tls),
        ConversionContentType,
        conversionBody(encodePlaceholders(removeAngleBrackets(texts.title)),
                       encodePlaceholders(lineBreaksToCrLf(removeAngleBrackets(texts.description))),
                       encodePlaceholders(removeAngleBrackets(texts.tags))));
    m_conversionFailure = reply.detail;
    if (!reply.ok || !hasConversionSections(reply.body))
        return std::nullopt;
    const ConvertedTexts converted = readConversionAnswer(reply.body);
    return VideoInfo{converted.title, converted.description, converted.tags,
                     categoryNumber(texts.category)};
}

// ---- The upload ----

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
