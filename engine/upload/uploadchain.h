#pragma once

#include "engine/model/account.h"
#include "engine/model/videoinfo.h"
#include "engine/net/siteaddress.h"
#include "engine/protocol/login.h"
#include "engine/protocol/receivedanswer.h"
#include "engine/texts/progress.h"
#include "engine/upload/reports.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>

class QTimer;

namespace uplark {

class FilePostSource;
class LoginExchange;
class RouteTable;
class TcpConnection;

// The exchanges of one upload: the login, the upload page with its
// anti-forgery token, the metadata form with the upload form in its answer,
// a pause of a second, and the file post to the upload server named by that
// form, each started from the answer of the one before. It owns the four
// connections and reports what the user is to be shown through its signals.
//
// Each answer is scanned after every chunk over what has arrived of it so
// far (its newest 64 KiB), so that a marker or a value split between chunks
// is found whole; a value counts only once its end has arrived. The first
// complete match on a connection acts: later chunks repeating a marker
// change nothing. The upload server's answer decides on a 5xx status as
// soon as that has come, on a video id once its end has come, and without
// one only once the answer is whole (its Content-Length, or its connection
// closed).
//
// With a stall limit, the connection of the step under way fails when no
// byte moves on it for that long; connections whose exchange is over stay
// open without a limit. A connection error reports, as its detail, the step,
// the host and port and the reason.
class UploadChain : public QObject
{
    Q_OBJECT
public:
    // Where the chain is. Every answer handler acts only in its own stage, so
    // that nothing that still arrives after Cancel or a failure moves it on.
    enum class Stage {
        Idle,         // not started, or cancelled
        LoggingIn,    // the login is under way
        FetchingPage, // the cookie is taken; the upload page is fetched
        PostingForm,  // the token is taken; the metadata form is posted
        Pausing,      // the upload form has come; the file post waits
        Posting,      // the file post goes to the upload server
        AwaitingId,   // all of the file has gone out; the video id is awaited
        Done,         // the watch address is known
        Failed,       // stopped by a failure; connections may still be open
    };

    // Uploads to the build's site address.
    explicit UploadChain(const RouteTable &routes, QObject *parent = nullptr);
    // Uploads to the site at `site`.
    UploadChain(const RouteTable &routes, const SiteAddress &site, QObject *parent = nullptr);
    ~UploadChain() override;

    Stage stage() const { return m_stage; }

    // The pause between the upload form and the file post (1000 ms).
    void setPauseBeforePost(int milliseconds);
    // The stall limit of each step (0, the default: none), from the next start.
    void setStallLimit(int milliseconds);
    // The most bytes a second the file post may send (0, the default: no limit).
    void setRateLimit(qint64 bytesPerSecond) { m_rate = bytesPerSecond; }

    // Starts an upload of the file at `filePath` with this account and
    // information; an upload under way is dropped first.
    void start(const Account &account, const QString &filePath, const VideoInfo &info);
    // Stops whatever runs: every connection closed, no post pending. Also
    // what "Upload New" does before the next upload.
    void cancel();

    // What the chain has taken from the site's answers so far.
    QByteArray loginCookie() const { return m_loginCookie; }
    QByteArray uploadToken() const { return m_token; }
    QByteArray uploadAddresser() const { return m_addresser; }
    QByteArray uploadAction() const { return m_action; }
    // The last bytes of the login answers and of the upload server's answers
    // (at most AnswerKept of each).
    QByteArray loginAnswers() const { return m_loginAnswers; }
    QByteArray uploadAnswers() const { return m_uploadAnswers; }

    static constexpr qsizetype AnswerKept = 64 * 1024;

    // The pause before the file post is running.
    bool isPostPending() const;
    // No connection of the chain is open.
    bool allConnectionsClosed() const;
    // After a connection error: what the user is told beyond it (a refused
    // certificate, a failing proxy); empty for the other failures.
    QString connectionProblem() const { return m_connectionProblem; }

Q_SIGNALS:
    void stepChanged(uplark::UploadStep step);
    // The upload form has come: the file's name and size, just before the
    // step changes to Uploading.
    void fileAnnounced(const QString &fileName, qint64 fileSize);
    void progressed(const uplark::UploadProgressView &view);
    void finished(const QString &watchAddress);
    void failed(uplark::UploadFailure failure, const QString &detail);

private:
    bool isRunning() const;
    void onLoginDecided(LoginOutcome outcome, const QByteArray &cookie);
    void fetchUploadPage();
    void onPageConnected();
    void onPageAnswer();
    void postMetadataForm();
    void onFormConnected();
    void onFormAnswer();
    void startFilePost();
    void onUploadConnected();
    void onSendProgress(qint64 bytesSent);
    void onUploadAnswer();
    void judgeUploadAnswer(bool closed);
    void onLoginError(const QString &detail);
    void onPageError(const QString &reason);
    void onFormError(const QString &reason);
    void onUploadError(const QString &reason);
    void onPeerClosed(const TcpConnection *connection);
    void keepAnswer(QByteArray &answers, const QByteArray &chunk);
    // The connection whose exchange is under way gets the stall limit; the others none.
    void makeCurrent(TcpConnection *connection);
    void closeAll();
    // `detail`: which step failed and why; `problem`: a refused certificate
    // or a failing proxy, for the message.
    void failWithConnectionError(const QString &detail, const QString &problem = {});
    void failAtUploadServer(UploadFailure failure, const QString &what);

    LoginExchange *m_login;
    TcpConnection *m_upload;
    TcpConnection *m_page;
    TcpConnection *m_form;
    QTimer *m_pause;
    SiteAddress m_site;
    Stage m_stage = Stage::Idle;

    Account m_account;
    QString m_filePath;
    QString m_connectionProblem;
    VideoInfo m_info;

    QByteArray m_loginCookie;
    QByteArray m_token;
    QByteArray m_addresser;
    QByteArray m_action;
    QByteArray m_loginAnswers;
    QByteArray m_uploadAnswers;
    // What has arrived of the current answer of each step.
    ReceivedAnswer m_pageAnswer;
    ReceivedAnswer m_formAnswer;
    ReceivedAnswer m_uploadAnswer;
    int m_stallLimit = 0;
    qint64 m_rate = 0;
    qint64 m_requestSent = 0;
    qint64 m_requestSize = 0;
    // The addresser may come in any chunk of the metadata form's answer,
    // before or after the upload form itself; the first one is taken. An
    // answer without one leaves the value of the upload before.
    bool m_addresserTaken = false;
    // The file post with its file open, until the upload connection is up.
    std::unique_ptr<FilePostSource> m_post;
    qint32 m_bytesSent = 0; // bytes of the post handed to the network, as a 32-bit count
    int m_bar = 0;          // the progress bar's value
};

} // namespace uplark
