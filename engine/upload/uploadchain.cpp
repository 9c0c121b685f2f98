#include "engine/upload/uploadchain.h"

#include "engine/net/connection.h"
#include "engine/net/pacedsource.h"
#include "engine/protocol/filepost.h"
#include "engine/protocol/metadataform.h"
#include "engine/protocol/uploadpage.h"
#include "engine/protocol/uploadresult.h"
#include "engine/protocol/uploadtarget.h"
#include "engine/texts/messages.h"
#include "engine/upload/loginexchange.h"

#include <QFileInfo>
#include <QLocale>
#include <QTimer>

#include <utility>

using namespace Qt::StringLiterals;

namespace uplark {

UploadChain::UploadChain(const RouteTable &routes, QObject *parent)
    : UploadChain(routes, defaultSiteAddress(), parent)
{
}

UploadChain::UploadChain(const RouteTable &routes, const SiteAddress &site, QObject *parent)
    : QObject(parent)
    , m_login(new LoginExchange(routes, site, this))
    , m_upload(new TcpConnection(routes, this))
    , m_page(new TcpConnection(routes, this))
    , m_form(new TcpConnection(routes, this))
    , m_pause(new QTimer(this))
    , m_site(site)
{
    m_upload->setObjectName(u"uploadConnection"_s);
    m_page->setObjectName(u"uploadPageConnection"_s);
    m_form->setObjectName(u"metadataConnection"_s);
    m_pause->setObjectName(u"pauseBeforePost"_s);
    // The upload form's ticket is fresh when it comes; the upload server is
    // given a moment before the file post starts.
    m_pause->setInterval(1000);
    m_pause->setSingleShot(true);

    connect(m_login, &LoginExchange::answered, this,
            [this](const QByteArray &piece) { keepAnswer(m_loginAnswers, piece); });
    connect(m_login, &LoginExchange::decided, this, &UploadChain::onLoginDecided);
    // A connection error, or a close before the answer has decided.
    connect(m_login, &LoginExchange::failed, this, &UploadChain::onLoginError);
    connect(m_page, &TcpConnection::connected, this, &UploadChain::onPageConnected);
    connect(m_page, &TcpConnection::dataArrived, this, &UploadChain::onPageAnswer);
    connect(m_page, &TcpConnection::failed, this,
            [this](int, const QString &reason) { onPageError(reason); });
    connect(m_form, &TcpConnection::connected, this, &UploadChain::onFormConnected);
    connect(m_form, &TcpConnection::dataArrived, this, &UploadChain::onFormAnswer);
    connect(m_form, &TcpConnection::failed, this,
            [this](int, const QString &reason) { onFormError(reason); });
    connect(m_upload, &TcpConnection::connected, this, &UploadChain::onUploadConnected);
    connect(m_upload, &TcpConnection::dataArrived, this, &UploadChain::onUploadAnswer);
    connect(m_upload, &TcpConnection::sendProgress, this, &UploadChain::onSendProgress);
    connect(m_upload, &TcpConnection::failed, this,
            [this](int, const QString &reason) { onUploadError(reason); });
    for (const TcpConnection *connection : {m_page, m_form, m_upload}) {
        connect(connection, &TcpConnection::closedByPeer, this,
                [this, connection] { onPeerClosed(connection); });
    }
    connect(m_pause, &QTimer::timeout, this, &UploadChain::startFilePost);
}

UploadChain::~UploadChain() = default;

void UploadChain::setPauseBeforePost(int milliseconds)
{
    m_pause->setInterval(milliseconds);
}

void UploadChain::setStallLimit(int milliseconds)
{
    m_stallLimit = milliseconds;
    m_login->setStallLimit(milliseconds);
}

void UploadChain::makeCurrent(TcpConnection *connection)
{
    for (TcpConnection *c : {m_page, m_form, m_upload})
        c->setStallLimit(c == connection ? m_stallLimit : 0);
}

bool UploadChain::isPostPending() const
{
    return m_pause->isActive();
}

bool UploadChain::allConnectionsClosed() const
{
    return !m_login->isConnected() && !m_upload->isConnected() && !m_page->isConnected()
           && !m_form->isConnected();
}

bool UploadChain::isRunning() const
{
    return m_stage != Stage::Idle && m_stage != Stage::Failed;
}

void UploadChain::start(const Account &account, const QString &filePath, const VideoInfo &info)
{
    cancel();
    m_account = account;
    m_filePath = filePath;
    m_info = info;
    m_addresserTaken = false;
    m_bytesSent = 0;
    m_bar = 0;
    m_requestSent = 0;
    m_requestSize = 0;
    m_connectionProblem.clear();
    makeCurrent(nullptr);
    m_stage = Stage::LoggingIn;
    Q_EMIT stepChanged(UploadStep::Connecting);
    // A receiver may have cancelled the upload meanwhile.
    if (m_stage == Stage::LoggingIn)
        m_login->start(m_account);
}

void UploadChain::cancel()
{
    m_stage = Stage::Idle;
    closeAll();
    // A pending file post does not start once the upload is stopped.
    m_pause->stop();
    m_post.reset();
}

void UploadChain::closeAll()
{
    m_login->close();
    m_page->close();
    m_upload->close();
    m_form->close();
}

// ---- Login ----

void UploadChain::onLoginDecided(LoginOutcome outcome, const QByteArray &cookie)
{
    if (m_stage != Stage::LoggingIn)
        return;
    switch (outcome) {
    case LoginOutcome::NoDecision:
        return;
    case LoginOutcome::LoggedIn:
        m_loginCookie = cookie;
        fetchUploadPage();
        return;
    case LoginOutcome::TooManyFailures:
    case LoginOutcome::CheckYour:
    case LoginOutcome::Incorrect:
        cancel();
        Q_EMIT failed(outcome == LoginOutcome::TooManyFailures ? UploadFailure::TooManyLoginFailures
                                                               : UploadFailure::AccountRejected,
                      {});
        return;
    }
}

void UploadChain::fetchUploadPage()
{
    m_stage = Stage::FetchingPage;
    m_pageAnswer.clear();
    makeCurrent(m_page);
    m_page->connectTo(m_site.host, m_site.port, m_site.tls);
}

// ---- Upload page ----

void UploadChain::onPageConnected()
{
    if (m_stage != Stage::FetchingPage)
        return;
    Q_EMIT stepChanged(UploadStep::LoggingIn);
    m_page->send(uploadPageRequest(m_site.authority, m_loginCookie));
}

void UploadChain::onPageAnswer()
{
    const QByteArray chunk = m_page->takeReceived();
    if (m_stage != Stage::FetchingPage)
        return;
    m_pageAnswer.append(chunk);
    const std::optional<QByteArray> token = uploadPageToken(m_pageAnswer.text());
    if (!token)
        return;
    m_token = *token;
    postMetadataForm();
}

void UploadChain::postMetadataForm()
{
    m_stage = Stage::PostingForm;
    m_formAnswer.clear();
    makeCurrent(m_form);
    m_form->connectTo(m_site.host, m_site.port, m_site.tls);
}

// ---- Metadata form ----

void UploadChain::onFormConnected()
{
    if (m_stage != Stage::PostingForm)
        return;
    m_addresserTaken = false;
    m_form->send(metadataRequest(m_site.authority, m_loginCookie));
}

void UploadChain::onFormAnswer()
{
    const QByteArray chunk = m_form->takeReceived();
    if (!isRunning())
        return;
    m_formAnswer.append(chunk);
    if (!m_addresserTaken) {
        if (const std::optional<QByteArray> value = uploadFormAddresser(m_formAnswer.text())) {
            m_addresserTaken = true;
            m_addresser = *value;
        }
    }
    if (m_stage != Stage::PostingForm)
        return;
    const std::optional<QByteArray> target = uploadFormAction(m_formAnswer.text());
    if (!target)
        return;
    m_stage = Stage::Pausing;
    makeCurrent(nullptr);
    m_action = *target;
    const QFileInfo file(m_filePath);
    Q_EMIT fileAnnounced(file.fileName(), file.size());
    Q_EMIT stepChanged(UploadStep::Uploading);
    // A receiver may have cancelled the upload meanwhile.
    if (m_stage == Stage::Pausing)
        m_pause->start();
}

// ---- File post ----

void UploadChain::startFilePost()
{
    // One post per upload.
    if (m_stage != Stage::Pausing)
        return;
    const UrlParts target = splitUrl(m_action);
    if (target.host.isEmpty()) {
        // The chain stops here; Cancel still returns to the chosen file.
        m_stage = Stage::Failed;
        Q_EMIT failed(UploadFailure::InvalidHost, {});
        return;
    }

    // The file is opened and measured now, and read slice by slice as the
    // connection drains; a file that then changes its length fails the
    // upload connection.
    QString error;
    std::unique_ptr<FilePostSource> post =
        FilePostSource::open(m_filePath, quotedPath(m_filePath), target,
                             {m_info.tags, m_info.title, m_info.description, m_info.category,
                              m_addresser, m_loginCookie},
                             &error);
    if (!post) {
        // Posting a video without its bytes would report an empty video as
        // uploaded: stop here instead.
        m_stage = Stage::Failed;
        Q_EMIT failed(UploadFailure::UnreadableFile, error);
        cancel();
        return;
    }

    m_stage = Stage::Posting;
    m_requestSize = post->size();
    m_post = std::move(post);
    m_uploadAnswer.clear();
    makeCurrent(m_upload);
    // The post goes out once the upload server has taken the connection;
    // Cancel, Upload New and the errors close it before that.
    m_upload->connectTo(QString::fromLatin1(target.host), targetPort(target), isTlsTarget(target));
}

void UploadChain::onUploadConnected()
{
    if (m_stage != Stage::Posting || !m_post)
        return;
    std::unique_ptr<SendSource> source = std::move(m_post);
    if (m_rate > 0)
        source = std::make_unique<PacedSource>(std::move(source), m_rate);
    m_upload->send(std::move(source));
}

void UploadChain::onSendProgress(qint64 bytesSent)
{
    if (m_stage != Stage::Posting && m_stage != Stage::AwaitingId)
        return;
    m_bytesSent += qint32(bytesSent);
    m_requestSent += bytesSent;
    const QFileInfo file(m_filePath);
    // A file that can no longer be measured: nothing to show for this event.
    if (!file.exists())
        return;
    UploadProgressView view = uploadProgress(m_bytesSent, file.size(), m_bar, QLocale());
    view.requestSent = m_requestSent;
    view.requestSize = m_requestSize;
    m_bar = view.bar;
    Q_EMIT progressed(view);
    if (view.finished && m_stage == Stage::Posting) {
        m_stage = Stage::AwaitingId;
        Q_EMIT stepChanged(UploadStep::PreparingAddress);
    }
}

void UploadChain::onUploadAnswer()
{
    const QByteArray chunk = m_upload->takeReceived();
    keepAnswer(m_uploadAnswers, chunk);
    // Once the address is known, the rest of the answer is only kept.
    if (m_stage != Stage::Posting && m_stage != Stage::AwaitingId)
        return;
    m_uploadAnswer.append(chunk);
    judgeUploadAnswer(false);
}

void UploadChain::judgeUploadAnswer(bool closed)
{
    const UploadVerdict verdict = scanUploadAnswer(m_uploadAnswer, closed);
    switch (verdict.kind) {
    case UploadVerdict::Kind::Waiting:
        if (closed)
            onUploadError(closedBeforeAnswerText());
        return;
    case UploadVerdict::Kind::ServerError:
        failAtUploadServer(UploadFailure::NotStored, u"status %1"_s.arg(verdict.status));
        return;
    case UploadVerdict::Kind::NoVideoId:
        failAtUploadServer(UploadFailure::NoVideoId,
                           verdict.status == NoStatus
                               ? u"the answer holds no video id"_s
                               : u"the answer (status %1) holds no video id"_s.arg(verdict.status));
        return;
    case UploadVerdict::Kind::VideoId:
        break;
    }
    // Whatever the site sends goes into an address that is shown, copied and
    // opened: one that could carry anything but an address is refused.
    if (!isAddressSafe(verdict.videoId)) {
        failAtUploadServer(UploadFailure::NoVideoId,
                           u"the video id holds characters an address cannot hold"_s);
        return;
    }
    m_stage = Stage::Done;
    makeCurrent(nullptr);
    Q_EMIT finished(watchAddress(verdict.videoId, m_site));
}

void UploadChain::failAtUploadServer(UploadFailure failure, const QString &what)
{
    m_upload->close();
    m_stage = Stage::Failed;
    Q_EMIT failed(failure, u"upload server "_s + m_upload->endpointText() + u": "_s + what);
}

void UploadChain::keepAnswer(QByteArray &answers, const QByteArray &chunk)
{
    // Nothing reads the answers; a bound keeps a site that never stops
    // talking from filling the memory.
    answers += chunk;
    if (answers.size() > AnswerKept)
        answers.remove(0, answers.size() - AnswerKept);
}

// ---- Connection errors ----
//
// Each error handler closes the connections that the chain has opened by
// the time its own connection is in use: at the login only the login
// connection, at the upload page the login's too, from the metadata form on
// all four (the upload connection may be opening in the pause). Every one
// stops a pending file post, and the message comes once they are closed.

void UploadChain::failWithConnectionError(const QString &detail, const QString &problem)
{
    m_connectionProblem = problem;
    m_pause->stop();
    m_stage = Stage::Failed;
    Q_EMIT failed(UploadFailure::ConnectionError, detail);
}

// A connection the site closes or resets before its exchange has what it
// waits for can never deliver it: that is a failure of the exchange like
// any other error of its connection. After that, a close is the site ending
// a connection that has done its work. (The login exchange tells a close
// before its decision as a failure itself.)
//
// The upload server's close ends its answer: what has come is judged whole.
void UploadChain::onPeerClosed(const TcpConnection *connection)
{
    if (connection == m_page && m_stage == Stage::FetchingPage)
        onPageError(closedBeforeAnswerText());
    else if (connection == m_form && m_stage == Stage::PostingForm)
        onFormError(closedBeforeAnswerText());
    else if (connection == m_upload && (m_stage == Stage::Posting || m_stage == Stage::AwaitingId))
        judgeUploadAnswer(true);
}

void UploadChain::onLoginError(const QString &detail)
{
    const QString problem = m_login->problem();
    m_login->close();
    failWithConnectionError(detail, problem);
}

void UploadChain::onPageError(const QString &reason)
{
    const QString detail = u"upload page "_s + m_page->endpointText() + u": "_s + reason;
    const QString problem = m_page->problem();
    m_login->close();
    m_page->close();
    failWithConnectionError(detail, problem);
}

void UploadChain::onFormError(const QString &reason)
{
    const QString detail = u"metadata form "_s + m_form->endpointText() + u": "_s + reason;
    const QString problem = m_form->problem();
    closeAll();
    m_post.reset();
    failWithConnectionError(detail, problem);
}

void UploadChain::onUploadError(const QString &reason)
{
    // After the watch address the video is uploaded; a late failure changes
    // nothing.
    if (m_stage == Stage::Done)
        return;
    const QString detail = u"upload server "_s + m_upload->endpointText() + u": "_s + reason;
    const QString problem = m_upload->problem();
    closeAll();
    m_post.reset();
    failWithConnectionError(detail, problem);
}

} // namespace uplark
