#pragma once

#include "engine/model/account.h"
#include "engine/model/videoinfo.h"
#include "engine/net/siteaddress.h"
#include "engine/texts/progress.h"
#include "engine/upload/reports.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

namespace uplark {

class BlockingHttpClient;
class RouteTable;
class SettingsStore;
class UploadChain;

// One upload with every rule that decides it, for whichever front end
// collects the input. The front end asks at each step, in this order, shows
// what the job refuses and displays what the job reports:
//
//   checkAccount()     an account must be stored;
//   checkFileSize()    the file may have at most 100 MB;
//   checkVideoTexts()  no text of nothing but spaces, a category, and no
//                      text longer than its limit;
//   convertTexts()     the texts become the bytes the site is sent, through
//                      the conversion service (one request that blocks);
//   start()            the chain of exchanges with the site.
//
// A rejected account is forgotten, here and in the settings store, once the
// failure has been reported. After "too many login failures" it is kept:
// the site then refuses every login for a while, the right one too.
class UploadJob : public QObject
{
    Q_OBJECT
public:
    // `http` may be null: every conversion then fails.
    UploadJob(SettingsStore &settings, BlockingHttpClient *http, const RouteTable &routes,
              const SiteAddresses &addresses, QObject *parent = nullptr);
    ~UploadJob() override;

    // The account the uploads go to.
    Account account() const { return m_account; }
    bool hasAccount() const { return m_account.isSet(); }
    // Takes the account from the settings store and its keyring: at once
    // when the store has no keyring, otherwise once the keyring answers;
    // accountLoaded() says when. Until then the account of before stays.
    void loadAccount();
    // Why the stored account could not be taken: its password is in a
    // keyring that did not answer. Empty otherwise.
    QString accountProblem() const { return m_accountProblem; }
    // A loadAccount() has not answered yet.
    bool isLoadingAccount() const { return m_accountReads > 0; }
    // Takes an account the site has accepted (and that is stored).
    void setAccount(const Account &account);
    // Forgets the account, here and in the settings store and its keyring,
    // with the site it was stored with.
    void forgetAccount();

    std::optional<QString> checkAccount() const;
    std::optional<QString> checkFileSize(qint64 bytes) const;
    std::optional<VideoInfoProblem> checkVideoTexts(const VideoTexts &texts) const;
    // The information the site is sent for texts that passed the checks;
    // nothing when the service gave no usable answer, and then `failure`, if
    // given, says where and why, as a connection error's detail. No event is
    // handled while the request runs.
    std::optional<VideoInfo> convertTexts(const VideoTexts &texts, QString *failure = nullptr);
    // After a failed conversion: what the user is told beyond a connection
    // error (a refused certificate, a failing proxy); empty otherwise.
    QString conversionProblem() const { return m_conversionProblem; }
    // After a connection error of the upload: the same.
    QString connectionProblem() const;

    // Which of the texts the site is sent differ from what the user typed
    // ("title", "description", "tags"), line breaks aside; and whether
    // taking out "<" and ">" is all that changed them.
    struct ChangedTexts
    {
        QStringList names;
        bool onlyAngleBrackets = true;
    };
    static ChangedTexts changedTexts(const VideoTexts &typed, const VideoInfo &sent);

    // The stall limit of every step of the chain (0: none), from the next start.
    void setStallLimit(int milliseconds);
    // The most bytes a second the file post may send (0: no limit).
    void setRateLimit(qint64 bytesPerSecond);

    // Uploads the file at `filePath` to the account with this information;
    // an upload under way is dropped first.
    void start(const QString &filePath, const VideoInfo &info);
    // Stops whatever runs: every connection closed, no post pending.
    void cancel();

    UploadChain &chain() const { return *m_chain; }

Q_SIGNALS:
    // The chain's reports.
    void stepChanged(uplark::UploadStep step);
    void fileAnnounced(const QString &fileName, qint64 fileSize);
    void progressed(const uplark::UploadProgressView &view);
    void finished(const QString &watchAddress);
    void failed(uplark::UploadFailure failure, const QString &detail);
    // After a rejection's failure: the account is forgotten.
    void accountForgotten();
    // loadAccount() has taken the stored account.
    void accountLoaded();

private:
    void onChainFailed(UploadFailure failure, const QString &detail);

    SettingsStore &m_settings;
    BlockingHttpClient *m_http;
    SiteAddresses m_addresses;
    UploadChain *m_chain;
    Account m_account;
    QString m_accountProblem;
    int m_accountReads = 0; // loadAccount() calls not answered yet
    QString m_conversionProblem;
};

} // namespace uplark
