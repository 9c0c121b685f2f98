#include "engine/upload/uploadchain.h"

#include "engine/net/connection.h"
#include "engine/protocol/filepost.h"
#include "engine/protocol/login.h"
#include "engine/protocol/metadataform.h"
#include "engine/protocol/uploadpage.h"
#include "engine/protocol/uploadresult.h"
#include "engine/protocol/uploadtarget.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLocale>
#include <QTimer>

#include <utility>

using namespace Qt::StringLiterals;

namespace uplark {

QString uploadStepText(UploadStep step)
{
    switch (step) {
    case UploadStep::Connecting:
        return QCoreApplication::translate("uplark::UploadSession",
                                           "Connecting to YouTube server...");
    case UploadStep::LoggingIn:
        return QCoreApplication::translate("uplark::UploadSession", "Logging in...");
    case UploadStep::Uploading:
        return QCoreApplication::translate("uplark::UploadSession", "Uploading... Please wait");
    case UploadStep::PreparingAddress:
        return QCoreApplication::translate("uplark::UploadSession",
                                           "Preparing your video address...");
    }
    return {};
}

QString uploadFailureMessage(UploadFailure failure, const QString &detail)
{
    switch (failure) {
    case UploadFailure::AccountRejected:
    case UploadFailure::TooManyLoginFailures:
        return QCoreApplication::translate(
            "uplark::UploadSession",
            "Either your username or password is wrong. Please check them and set your "
            "account again.");
    case UploadFailure::ConnectionError:
        return QCoreApplication::translate("uplark::UploadSession", "Connection error!");
    case UploadFailure::UnreadableFile:
        return detail;
    case UploadFailure::InvalidHost:
        return QCoreApplication::translate("uplark::UploadSession", "Invalid Host");
    case UploadFailure::NoVideoId:
        return QCoreApplication::translate(
            "uplark::UploadSession", "An error occured. Please re-run the program. Please revise "
                                     "your video description and eliminate the unwanted "
                                     "special characters. Sorry for that!");
    }
    return {};
}

UploadSession::UploadSession(const RouteTable &routes, QObject *parent)
    : UploadSession(routes, defaultSiteAddress(), parent)
{
}

UploadSession::UploadSession(const RouteTable &routes, const SiteAddress &site, QObject *parent)
    : QObject(parent)
    , m_login(new TcpConnection(routes, this))
    , m_upload(new TcpConnection(routes, this))
    , m_page(new TcpConnection(routes, this))
    , m_form(new TcpConnection(routes, this))
    , m_pause(new QTimer(this))
    , m_site(site)
{
    m_login->setObjectName(u"loginConnection"_s);
    m_upload->setObjectName(u"uploadConnection"_s);
    m_page->setObjectName(u"uploadPageConnection"_s);
    m_form->setObjectName(u"metadataConnection"_s);
    m_pause->setObjectName(u"pauseBeforePost"_s);
    // The upload form's ticket is fresh when it comes; the upload server is
    // given a moment before the file post starts.
    m_pause->setInterval(1000);
    m_pause->setSingleShot(true);

    connect(m_login, &TcpConnection::connected, this, &UploadSession::onLoginConnected);
    connect(m_login, &TcpConnection::dataArrived, this, &UploadSession::onLoginAnswer);
    connect(m_login, &TcpConnection::failed, this, &UploadSession::onLoginError);
    connect(m_page, &TcpConnection::connected, this, &UploadSession::onPageConnected);
    connect(m_page, &TcpConnection::dataArrived, this, &UploadSession::onPageAnswer);
    connect(m_page, &TcpConnection::failed, this, &UploadSession::onPageError);
    connect(m_form, &TcpConnection::connected, this, &UploadSession::onFormConnected);
    connect(m_form, &TcpConnection::dataArrived, this, &UploadSession::onFormAnswer);
    connect(m_form, &TcpConnection::failed, this, &UploadSession::onFormError);
    connect(m_upload, &TcpConnection::connected, this, &UploadSession::onUploadConnected);
    connect(m_upload, &TcpConnection::dataArrived, this, &UploadSession::onUploadAnswer);
    connect(m_upload, &TcpConnection::sendProgress, this, &UploadSession::onSendProgress);
    connect(m_upload, &TcpConnection::failed, this, &UploadSession::onUploadError);
    for (const TcpConnection *connection : {m_login, m_page, m_form, m_upload}) {
        connect(connection, &TcpConnection::closedByPeer, this,
                [this, connection] { onPeerClosed(connection); });
    }
    connect(m_pause, &QTimer::timeout, this, &UploadSession::startFilePost);
}

UploadSession::~UploadSession() = default;

void UploadSession::setPauseBeforePost(int milliseconds)
{
    m_pause->setInterval(milliseconds);
}

bool UploadSession::isPostPending() const
{
    return m_pause->isActive();
}

bool UploadSession::allConnectionsClosed() const
{
    return !m_login->isConnected() && !m_upload->isConnected() && !m_page->isConnected()
           && !m_form->isConnected();
}

void UploadSession::start(const Account &account, const QString &filePath, const VideoInfo &info)
{
    cancel();
    m_account = account;
    m_filePath = filePath;
    m_info = info;
    // A new chain: every answer scanner starts afresh.
    m_loginDecided = false;
    m_tokenTaken = false;
    m_addresserTaken = false;
    m_formTaken = false;
    m_resultShown = false;
    m_allSent = false;
    m_uploadConnected = false;
    m_bytesSent = 0;
    m_bar = 0;
    m_active = true;
    Q_EMIT stepChanged(UploadStep::Connecting);
    if (m_active)
        m_login->connectTo(m_site.host, m_site.port);
}

void UploadSession::cancel()
{
    m_active = false;
    m_uploadConnected = false;
    closeAll();
    // A pending file post does not start once the upload is stopped.
    m_pause->stop();
    m_post.reset();
}

void UploadSession::closeAll()
{
    m_login->close();
    m_page->close();
    m_upload->close();
    m_form->close();
}

// ---- Login ----

void UploadSession::onLoginConnected()
{
    if (!m_active)
        return;
    m_login->send(loginRequest(m_site.authority, m_account.user, m_account.password));
}

void UploadSession::onLoginAnswer()
{
    const QByteArray piece = m_login->takeReceived();
    keepAnswer(m_loginAnswers, piece);
    if (m_loginDecided || !m_active)
        return;
    const LoginOutcome outcome = scanLoginAnswer(piece);
    switch (outcome) {
    case LoginOutcome::NoDecision:
        return;
    case LoginOutcome::LoggedIn:
        m_loginDecided = true;
        m_loginCookie = scanLoginCookie(piece);
        fetchUploadPage();
        return;
    case LoginOutcome::TooManyFailures:
    case LoginOutcome::CheckYour:
    case LoginOutcome::Incorrect:
        m_loginDecided = true;
        cancel();
        Q_EMIT failed(outcome == LoginOutcome::TooManyFailures ? UploadFailure::TooManyLoginFailures
                                                               : UploadFailure::AccountRejected,
                      {});
        return;
    }
}

void UploadSession::fetchUploadPage()
{
    m_page->connectTo(m_site.host, m_site.port);
}

// ---- Upload page ----

void UploadSession::onPageConnected()
{
    if (!m_active)
        return;
    m_tokenTaken = false;
    Q_EMIT stepChanged(UploadStep::LoggingIn);
    m_page->send(uploadPageRequest(m_site.authority, m_loginCookie));
}

void UploadSession::onPageAnswer()
{
    const QByteArray chunk = m_page->takeReceived();
    if (m_tokenTaken || !m_active)
        return;
    const std::optional<QByteArray> token = uploadPageToken(chunk);
    if (!token)
        return;
    m_tokenTaken = true;
    m_token = *token;
    postMetadataForm();
}

void UploadSession::postMetadataForm()
{
    m_form->connectTo(m_site.host, m_site.port);
}

// ---- Metadata form ----

void UploadSession::onFormConnected()
{
    if (!m_active)
        return;
    m_addresserTaken = false;
    m_formTaken = false;
    m_form->send(metadataRequest(m_site.authority, m_loginCookie));
}

void UploadSession::onFormAnswer()
{
    const QByteArray chunk = m_form->takeReceived();
    if (!m_active)
        return;
    if (!m_addresserTaken) {
        if (const std::optional<QByteArray> value = uploadFormAddresser(chunk)) {
            m_addresserTaken = true;
            m_addresser = *value;
        }
    }
    if (m_formTaken)
        return;
    const std::optional<QByteArray> target = uploadFormAction(chunk);
    if (!target)
        return;
    m_formTaken = true;
    m_action = *target;
    const QFileInfo file(m_filePath);
    Q_EMIT fileAnnounced(file.fileName(), file.size());
    Q_EMIT stepChanged(UploadStep::Uploading);
    // A receiver may have cancelled the upload meanwhile.
    if (m_active)
        m_pause->start();
}

// ---- File post ----

void UploadSession::startFilePost()
{
    // One post per upload: nothing while the post waits for its connection
    // or is under way.
    if (!m_active || m_uploadConnected || m_post)
        return;
    const UrlParts target = splitUrl(m_action);
    if (target.host.isEmpty()) {
        // The chain stops here; Cancel still returns to the chosen file.
        m_active = false;
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
        Q_EMIT failed(UploadFailure::UnreadableFile, error);
        cancel();
        return;
    }

    m_resultShown = false;
    m_post = std::move(post);
    // The post goes out once the upload server has taken the connection;
    // Cancel, Upload New and the errors close it before that.
    m_upload->connectTo(QString::fromLatin1(target.host), target.port == 0 ? 80 : target.port);
}

void UploadSession::onUploadConnected()
{
    if (!m_active)
        return;
    m_uploadConnected = true;
    m_upload->send(std::move(m_post));
}

void UploadSession::onSendProgress(qint64 bytesSent)
{
    if (!m_active)
        return;
    m_bytesSent += qint32(bytesSent);
    const QFileInfo file(m_filePath);
    // A file that can no longer be measured: nothing to show for this event.
    if (!file.exists())
        return;
    const UploadProgressView view = uploadProgress(m_bytesSent, file.size(), m_bar, QLocale());
    m_bar = view.bar;
    Q_EMIT progressed(view);
    if (view.finished && m_active && !m_allSent) {
        m_allSent = true;
        Q_EMIT stepChanged(UploadStep::PreparingAddress);
    }
}

void UploadSession::onUploadAnswer()
{
    const QByteArray chunk = m_upload->takeReceived();
    keepAnswer(m_uploadAnswers, chunk);
    // Once the address is known, the rest of the answer is only kept.
    if (m_resultShown || !m_active)
        return;
    const std::optional<QByteArray> id = scanVideoId(chunk);
    if (!id) {
        m_upload->close();
        m_active = false;
        Q_EMIT failed(UploadFailure::NoVideoId, {});
        return;
    }
    m_resultShown = true;
    Q_EMIT finished(watchAddress(*id, m_site));
}

void UploadSession::keepAnswer(QByteArray &answers, const QByteArray &chunk)
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

void UploadSession::failWithConnectionError()
{
    m_pause->stop();
    m_active = false;
    Q_EMIT failed(UploadFailure::ConnectionError, {});
}

// A connection the site closes or resets before its exchange has what it
// waits for can never deliver it: that is a failure of the exchange like
// any other error of its connection. After that, a close is the site ending
// a connection that has done its work.
void UploadSession::onPeerClosed(const TcpConnection *connection)
{
    if (!m_active)
        return;
    if (connection == m_login && !m_loginDecided)
        onLoginError();
    else if (connection == m_page && !m_tokenTaken)
        onPageError();
    else if (connection == m_form && !m_formTaken)
        onFormError();
    else if (connection == m_upload && !m_resultShown)
        onUploadError();
}

void UploadSession::onLoginError()
{
    m_login->close();
    failWithConnectionError();
}

void UploadSession::onPageError()
{
    m_login->close();
    m_page->close();
    failWithConnectionError();
}

void UploadSession::onFormError()
{
    closeAll();
    m_post.reset();
    failWithConnectionError();
}

void UploadSession::onUploadError()
{
    // After the watch address the video is uploaded; a late failure changes
    // nothing.
    if (m_resultShown)
        return;
    closeAll();
    m_uploadConnected = false;
    m_post.reset();
    failWithConnectionError();
}

} // namespace uplark
