#pragma once

#include "desktop/seams/singleinstance.h"
#include "desktop/widgets/pictures.h"
#include "engine/model/account.h"
#include "engine/model/videoinfo.h"

#include <QMainWindow>
#include <QString>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QTimer;

namespace uplark {

class ImageButton;
class LinkButton;
class MediaPreview;
class PictureBox;
class UploadJob;
struct Platform;
struct UploadProgressView;
enum class UploadFailure;
enum class UploadStep;

// The main window: the intro on first start, then the upload panel with the
// chosen file, the progress of an upload and its result. The upload job
// decides what is refused and runs the upload; the window collects the
// input and decides what to show for each of the job's reports.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    // What the window shows; the panel's controls follow from it.
    enum class Display {
        Intro,      // the help text with "Understood sir!"
        NoFile,     // "Browse file..."
        FileChosen, // the file with "UPLOAD!" and the red X
        Uploading,  // a status banner, Cancel, and the figures once the post is near
        Sent,       // all sent: the banner waits for the video's address
        Result,     // the watch address with its actions, and "Upload New"
    };

    explicit MainWindow(Platform &platform, QWidget *parent = nullptr);
    ~MainWindow() override;

    Display display() const { return m_display; }
    // The account the uploads use, as loaded or last set in the account dialog.
    Account account() const;
    // The chosen file's full path; the watch address of the last upload.
    QString chosenFile() const { return m_filePath; }
    QString watchAddress() const { return m_watchAddress; }
    // The upload engine, for tests that follow the upload.
    UploadJob &job() const { return *m_job; }

    // The file dialog's filter.
    static QString fileFilter();

    // A file from outside the window (the command line, a drop, a later
    // start) is taken as Browse takes the one its dialog gives, through the
    // same checks and messages. On the intro it waits until the intro is
    // left; while an upload is under way it is not taken.
    void offerFile(const QString &path);
    // A later start's request: the window comes to the front and, when it
    // is idle, takes `path` (empty: none).
    HandOverAnswer handOver(const QString &path);
    // From the video information's OK to the result or the failure.
    bool uploadUnderWay() const;
    void bringToFront();

protected:
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void buildWindow();
    void buildFrame();
    void buildResultPanel();
    void placeMyVideos();
    void connectHandlers();
    void setDisplay(Display display);
    void applyDisplay();

    // Start-up, intro, account, ending.
    void loadSettings();
    void focusHelpText();
    void stretchPreview();
    MediaPreview *previewPlayer();
    void dismissIntro();
    void showMainPanel();
    void openAccountDialog();
    void forgetAccount();
    // Esc and File > Exit: ask first while an upload is under way.
    void exitProgram();
    // True when the program may end: nothing under way, or the user chose
    // to cancel the upload.
    bool confirmLeaving();
    void endProgram();

    // File choice and the video information.
    void browseFile();
    void takeFile(const QString &path);
    void clearChosenFile();
    void restoreFileText();
    void openVideoInformation();

    // The upload and what it reports.
    void startUpload(const VideoInfo &info);
    void cancelUpload();
    void uploadNew();
    void onStepChanged(UploadStep step);
    void onFileAnnounced(const QString &fileName, qint64 fileSize);
    void onProgress(const UploadProgressView &view);
    void onUploadFinished(const QString &address);
    void onUploadFailed(UploadFailure failure, const QString &detail);
    // A notification, when the window is not the active one.
    void notifyInBackground(const QString &summary, const QString &body);

    // The result panel and the links.
    void copyWatchAddress();
    void openWatchAddress();
    void selectWatchAddress();
    void restoreWatchAddress();
    void openTerms();
    // Opens an address in the default browser, with "http://" in front when
    // it does not begin with "http"; true when the desktop accepted it.
    bool openInBrowser(QString address);

    Platform &m_platform;
    UploadJob *m_job;

    // Banners and account button faces.
    Picture m_connectingBanner;
    Picture m_loggingInBanner;
    Picture m_uploadingBanner;
    Picture m_preparingBanner;
    Picture m_uploadedBanner;
    Picture m_setAccountFace;
    Picture m_myAccountFace;

    QWidget *m_headerBand;
    PictureBox *m_logo;
    ImageButton *m_accountButton;
    LinkButton *m_forgetAccountLink;
    LinkButton *m_termsLink;
    QLabel *m_titleLabel;
    QLabel *m_introHeading;
    QPlainTextEdit *m_helpText;
    ImageButton *m_understoodButton;
    QCheckBox *m_skipIntroCheck;
    QWidget *m_mainPanel;
    QGroupBox *m_uploadFrame;
    QLabel *m_videoFileLabel;
    ImageButton *m_browseButton;
    QLineEdit *m_fileEdit;
    ImageButton *m_uploadButton;
    ImageButton *m_clearFileButton;
    PictureBox *m_statusBanner;
    LinkButton *m_cancelLink;
    QLabel *m_statusLine;
    QProgressBar *m_progressBar;
    QLabel *m_kilobyteLine;
    QLabel *m_percentLabel;
    QWidget *m_previewBox;
    QWidget *m_previewPlaceholder;     // looks like the player until a file is chosen
    MediaPreview *m_preview = nullptr; // made when a file is first chosen
    QWidget *m_resultPanel;
    PictureBox *m_tickIcon;
    QLabel *m_resultText;
    QLabel *m_myVideosLabel;
    QLabel *m_watchAddressCaption;
    ImageButton *m_openAddressButton;
    QLineEdit *m_watchAddressEdit;
    ImageButton *m_copyAddressButton;
    QLabel *m_availabilityNote;
    ImageButton *m_uploadNewButton;

    QTimer *m_stretchTimer;    // keeps the preview stretched, every 200 ms
    QTimer *m_introFocusTimer; // focus to the help text at start, once

    Display m_display = Display::Intro;
    bool m_figuresShown = false; // the upload's figures are shown while Uploading
    QString m_filePath;
    QString m_fileText; // "name (size MB)"
    QString m_watchAddress;
    QString m_pendingFile; // given while the intro shows or the account loads
    bool m_ending = false;
};

} // namespace uplark
