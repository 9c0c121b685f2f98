#pragma once

#include "engine/model/account.h"
#include "engine/model/videoinfo.h"
#include "engine/net/siteaddress.h"
#include "engine/texts/progress.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>

class QTimer;

namespace uplark {

class FilePostSource;
class RouteTable;
class TcpConnection;

// The steps of an upload that the user is shown.
enum class UploadStep {
    Connecting,       // to the site, for the login
    LoggingIn,        // the login is through; the upload page is fetched
    Uploading,        // the upload form has come; the file post follows
    PreparingAddress, // the whole file has gone out; the video id is awaited
};

// Why an upload stopped before its watch address.
enum class UploadFailure {
    AccountRejected,      // the site refused the account
    TooManyLoginFailures, // the site refused the login after too many failures
    ConnectionError,      // a connection of the chain failed
    UnreadableFile,       // the file could not be read for the post
    InvalidHost,          // the upload form's address names no host
    NoVideoId,            // the upload server's answer carries no video id
};

// What the user is shown for a step: "Connecting to YouTube server..." and so on.
QString uploadStepText(UploadStep step);

// The message that tells the user about a failure; `detail` is the system's
// description of an unreadable file.
QString uploadFailureMessage(UploadFailure failure, const QString &detail = {});

// One upload: the login, the upload page with its anti-forgery token, the
// metadata form with the upload form in its answer, a pause of a second,
// and the file post to the upload server named by that form, each started
// from the answer of the one before. It owns the four connections and
// reports what the user is to be shown through its signals.
//
// Each answer scanner acts on the first complete match on its connection:
// later chunks repeating a marker change nothing. A marker split between
// two chunks is not found.
class UploadSession : public QObject
{
    Q_OBJECT
public:
    // Uploads to the build's site address.
    explicit UploadSession(const RouteTable &routes, QObject *parent = nullptr);
    // Uploads to the site at `site`.
    UploadSession(const RouteTable &routes, const SiteAddress &site, QObject *parent = nullptr);
    ~UploadSession() override;

    // The pause between the upload form and the file post (1000 ms).
    void setPauseBeforePost(int milliseconds);

    // Starts an upload of the file at `filePath` with this account and
    // information; an upload under way is dropped first.
    void start(const Account &account, const QString &filePath, const VideoInfo &info);
    // Stops whatever runs: every connection closed, no post pending. Also
    // what "Upload New" does before the next upload.
    void cancel(); // Label12_Click, Label21_Click

    // What the chain has taken from the site's answers so far.
    QByteArray loginCookie() const { return m_loginCookie; }   // logininfo
    QByteArray uploadToken() const { return m_token; }         // sessiontoken
    QByteArray uploadAddresser() const { return m_addresser; } // addresser
    QByteArray uploadAction() const { return m_action; }       // action
    // The last bytes of the login answers and of the upload server's answers
    // (at most AnswerKept of each).
    QByteArray loginAnswers() const { return m_loginAnswers; }   // Text3
    QByteArray uploadAnswers() const { return m_uploadAnswers; } // text6

    static constexpr qsizetype AnswerKept = 64 * 1024;

    // The pause before the file post is running.
    bool isPostPending() const;
    // No connection of the chain is open.
    bool allConnectionsClosed() const;

Q_SIGNALS:
    void stepChanged(uplark::UploadStep step);
    // The upload form has come: the file's name and size, just before the
    // step changes to Uploading.
    void fileAnnounced(const QString &fileName, qint64 fileSize);
    void progressed(const uplark::UploadProgressView &view);
    void finished(const QString &watchAddress);
    void failed(uplark::UploadFailure failure, const QString &detail);

private:
    void onLoginConnected();               // Winsock1_Connect
    void onLoginAnswer();                  // Winsock1_DataArrival
    void fetchUploadPage();                // Command4_Click
    void onPageConnected();                // Winsock3_Connect
    void onPageAnswer();                   // Winsock3_DataArrival
    void postMetadataForm();               // Command5_Click
    void onFormConnected();                // Winsock4_Connect
    void onFormAnswer();                   // Winsock4_DataArrival
    void startFilePost();                  // Command3_Click
    void onUploadConnected();              // Winsock2_Connect
    void onSendProgress(qint64 bytesSent); // Winsock2_SendProgress
    void onUploadAnswer();                 // Winsock2_DataArrival
    void onLoginError();                   // Winsock1_Error
    void onPageError();                    // Winsock3_Error
    void onFormError();                    // Winsock4_Error
    void onUploadError();                  // Winsock2_Error
    void onPeerClosed(const TcpConnection *connection);
    void keepAnswer(QByteArray &answers, const QByteArray &chunk);
    void closeAll();
    void failWithConnectionError();

    TcpConnection *m_login;  // Winsock1
    TcpConnection *m_upload; // Winsock2
    TcpConnection *m_page;   // Winsock3
    TcpConnection *m_form;   // Winsock4
    QTimer *m_pause;         // Timer3
    SiteAddress m_site;

    Account m_account;
    QString m_filePath; // fname
    VideoInfo m_info;

    QByteArray m_loginCookie;   // logininfo
    QByteArray m_token;         // sessiontoken
    QByteArray m_addresser;     // addresser
    QByteArray m_action;        // action
    QByteArray m_loginAnswers;  // Text3
    QByteArray m_uploadAnswers; // text6
    // The file post with its file open, until the upload connection is up.
    std::unique_ptr<FilePostSource> m_post;
    qint32 m_bytesSent = 0; // bytessent: bytes of the post handed to the network
    int m_bar = 0;          // the progress bar's value

    // The chain is under way: cleared by Cancel and by every failure, so
    // that nothing that still arrives moves it on.
    bool m_active = false;
    bool m_uploadConnected = false; // uploadconnected
    bool m_loginDecided = false;    // cookie taken or account rejected
    bool m_tokenTaken = false;
    bool m_addresserTaken = false;
    bool m_formTaken = false;
    bool m_allSent = false; // the step moved to PreparingAddress
    bool m_resultShown = false;
};

} // namespace uplark
