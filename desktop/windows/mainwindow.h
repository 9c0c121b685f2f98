#pragma once

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
class MainWindow : public QMainWindow // Form1
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

protected:
    void closeEvent(QCloseEvent *event) override;
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
    void loadSettings();   // Form_Load
    void focusHelpText();  // Timer2_Timer
    void stretchPreview(); // Timer1_Timer
    MediaPreview &previewPlayer();
    void dismissIntro();      // Label3_Click
    void showMainPanel();     // RefreshAccount
    void openAccountDialog(); // Label10_Click
    void forgetAccount();     // Label14_Click
    void endProgram();        // exit_Click, Command1_Click, Form_Unload

    // File choice and the video information.
    void browseFile();           // Label4_Click
    void clearChosenFile();      // Picture8_Click
    void restoreFileText();      // Text1_Change
    void openVideoInformation(); // Label5_Click

    // The upload and what it reports.
    void startUpload(const VideoInfo &info);
    void cancelUpload(); // Label12_Click
    void uploadNew();    // Label21_Click
    void onStepChanged(UploadStep step);
    void onFileAnnounced(const QString &fileName, qint64 fileSize);
    void onProgress(const UploadProgressView &view); // Winsock2_SendProgress
    void onUploadFinished(const QString &address);   // Winsock2_DataArrival
    void onUploadFailed(UploadFailure failure, const QString &detail);

    // The result panel and the links.
    void copyWatchAddress();    // Picture22_Click
    void openWatchAddress();    // Picture20_Click
    void selectWatchAddress();  // Text4_Click, Text4_GotFocus
    void restoreWatchAddress(); // Text4_Change
    void openTerms();           // Label13_Click
    // Opens an address in the default browser, with "http://" in front when
    // it does not begin with "http"; true when the desktop accepted it.
    bool openInBrowser(QString address); // OpenBrowser

    Platform &m_platform;
    UploadJob *m_job;

    // Banners and account button faces.
    Picture m_connectingBanner; // Picture15
    Picture m_loggingInBanner;  // Picture14
    Picture m_uploadingBanner;  // Picture12
    Picture m_preparingBanner;  // Picture16
    Picture m_uploadedBanner;   // Picture17
    Picture m_setAccountFace;   // Picture5
    Picture m_myAccountFace;    // Picture3

    QWidget *headerBand;             // Picture1
    PictureBox *logo;                // Picture6
    ImageButton *accountButton;      // Picture2, click area Label10
    LinkButton *forgetAccountLink;   // Label14
    LinkButton *termsLink;           // Label13
    QLabel *titleLabel;              // Label1
    QLabel *introHeading;            // Label2
    QPlainTextEdit *helpText;        // Text5
    ImageButton *understoodButton;   // Picture7, click area Label3
    QCheckBox *skipIntroCheck;       // Check1
    QWidget *mainPanel;              // Picture4
    QGroupBox *uploadFrame;          // Frame1
    QLabel *videoFileLabel;          // Label7
    ImageButton *browseButton;       // Picture9, click area Label4
    QLineEdit *fileEdit;             // Text1
    ImageButton *uploadButton;       // Picture10, click area Label5
    ImageButton *clearFileButton;    // Picture8
    PictureBox *statusBanner;        // Picture11
    LinkButton *cancelLink;          // Label12
    QLabel *statusLine;              // Label6
    QProgressBar *progressBar;       // ProgressBar1
    QLabel *kilobyteLine;            // Label9
    QLabel *percentLabel;            // Label11
    QWidget *previewBox;             // Picture13
    QWidget *previewPlaceholder;     // looks like the player until a file is chosen
    MediaPreview *preview = nullptr; // WindowsMediaPlayer1, made when a file is first chosen
    QWidget *resultPanel;            // Picture18
    PictureBox *tickIcon;            // Picture19
    QLabel *resultText;              // Label8
    QLabel *myVideosLabel;           // Label17
    QLabel *watchAddressCaption;     // Label16
    ImageButton *openAddressButton;  // Picture20
    QLineEdit *watchAddressEdit;     // Text4
    ImageButton *copyAddressButton;  // Picture22
    QLabel *availabilityNote;        // Label19
    ImageButton *uploadNewButton;    // Picture23, click area Label21

    QTimer *m_stretchTimer;    // Timer1: keeps the preview stretched, every 200 ms
    QTimer *m_introFocusTimer; // Timer2: focus to the help text at start, once

    Display m_display = Display::Intro;
    bool m_figuresShown = false; // the upload's figures are shown while Uploading
    QString m_filePath;          // fname
    QString m_fileText;          // Label20: "name (size MB)"
    QString m_watchAddress;      // Label18
    bool m_ending = false;
};

} // namespace uplark
