#pragma once

#include "platform/pictures.h"

#include <QByteArray>
#include <QMainWindow>
#include <QString>

class ClickLabel;
class ImageButton;
class LinkLabel;
class MediaPreview;
class PictureBox;
class QCheckBox;
class QEventLoop;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QTimer;
class Winsock;
struct Platform;

// The main window. It also holds all state of an upload: the stored account,
// the login cookie, the upload form's fields, the chosen file and the video
// information. The dialogs read and write these fields directly.
class Form1 : public QMainWindow
{
    Q_OBJECT
public:
    explicit Form1(Platform &platform, QWidget *parent = nullptr);
    ~Form1() override;

    Platform &platform() const { return m_platform; }

    // ---- State fields ----
    QString un;               // stored user name
    QString pw;               // stored password
    QByteArray logininfo;     // login cookie pair, "LOGIN_INFO=..."
    QByteArray sessiontoken;  // anti-forgery token of the upload page
    QByteArray addresser;     // the upload form's addresser value
    QByteArray action;        // the upload form's action address
    QString fname;            // full path of the chosen video file
    QByteArray videotitle;    // video title, UTF-8 bytes
    QByteArray videodscr;     // video description, UTF-8 bytes
    QByteArray videotags;     // video tags, UTF-8 bytes
    QByteArray videocat;      // category number as text
    QString Label20;          // display string of the chosen file: "name (size MB)"
    QString Label18;          // watch address of the uploaded video
    QByteArray Text3;         // every piece of the login answers, appended
    QByteArray text6;         // every piece of the upload server's answers, appended
    qint32 bytessent = 0;     // bytes of the file post handed to the upload connection
    bool uploadconnected = false; // the upload connection is up

    // ---- Image stores: banners and account button faces ----
    Picture Picture15; // "Connecting to YouTube server..."
    Picture Picture14; // "Logging in..."
    Picture Picture12; // "Uploading... Please wait"
    Picture Picture16; // "Preparing your video address..."
    Picture Picture17; // "Video successfully uploaded."
    Picture Picture5;  // "Set account"
    Picture Picture3;  // "My account"

    // ---- Controls ----
    QWidget *Picture1;         // header band
    PictureBox *Picture6;      // logo
    ImageButton *Picture2;     // account button, hotspot Label10
    LinkLabel *Label14;        // "Forget me on this computer"; shown while an account is stored
    LinkLabel *Label13;        // "YouTube Terms of Use"
    QLabel *Label1;            // title
    QLabel *Label2;            // intro heading
    QPlainTextEdit *Text5;     // intro help text
    ImageButton *Picture7;     // "Understood sir!", hotspot Label3
    QCheckBox *Check1;         // "I don't want to see that again"
    QWidget *Picture4;         // main panel
    QGroupBox *Frame1;         // "Upload Video"
    QLabel *Label7;            // "Video file:"
    ImageButton *Picture9;     // "Browse file...", hotspot Label4; shown while no file is chosen
    QLineEdit *Text1;          // the chosen file's display string
    ImageButton *Picture10;    // "UPLOAD!", hotspot Label5
    ImageButton *Picture8;     // red X: clear the chosen file
    PictureBox *Picture11;     // status banner
    LinkLabel *Label12;        // "Cancel"
    QLabel *Label6;            // status line
    QProgressBar *ProgressBar1;
    QLabel *Label9;            // kilobytes sent and remaining
    QLabel *Label11;           // percentage
    QWidget *Picture13;        // preview box
    MediaPreview *WindowsMediaPlayer1;
    QWidget *Picture18;        // result panel
    PictureBox *Picture19;     // tick
    QLabel *Label8;
    QLabel *Label17;           // "My Videos"
    QLabel *Label16;           // "Your video URL:"
    ImageButton *Picture20;    // open in the browser
    QLineEdit *Text4;          // the watch address
    ImageButton *Picture22;    // copy
    QLabel *Label19;
    ImageButton *Picture23;    // "Upload New", hotspot Label21

    QTimer *Timer1; // keeps the preview stretched, every 200 ms
    QTimer *Timer2; // focus to the help text at start, once
    QTimer *Timer3; // one second between the upload form and the file post

    Winsock *Winsock1; // login
    Winsock *Winsock2; // file post to the upload server
    Winsock *Winsock3; // upload page
    Winsock *Winsock4; // metadata form

    // The file dialog's filter.
    static QString FileFilter();

public Q_SLOTS:
    // Start-up, intro panel, account display, ending the program.
    void Form_Load();
    void Timer2_Timer();
    void Timer1_Timer();
    void Label3_Click();
    void RefreshAccount();
    void Label10_Click();
    void exit_Click();
    void Command1_Click();
    void Label14_Click();
    void ClearStoredAccount();

    // File selection.
    void Label4_Click();
    void Picture8_Click();
    void Text1_Change();
    void Label5_Click();

    // The upload chain.
    void Winsock1_Connect();
    void Winsock1_DataArrival(qint64 bytesTotal);
    void Command4_Click();
    void Winsock3_Connect();
    void Winsock3_DataArrival(qint64 bytesTotal);
    void Command5_Click();
    void Winsock4_Connect();
    void Winsock4_DataArrival(qint64 bytesTotal);
    void Timer3_Timer();
    void Command3_Click();
    void Winsock2_Connect();
    void Winsock2_SendProgress(qint64 bytesSent, qint64 bytesRemaining);
    void Winsock2_DataArrival(qint64 bytesTotal);
    void Label12_Click();
    void Label21_Click();
    void Winsock1_Error();
    void Winsock2_Error();
    void Winsock3_Error();
    void Winsock4_Error();

    // The result panel and the links.
    void Picture22_Click();
    void Picture20_Click();
    void Text4_Click();
    void Text4_GotFocus();
    void Text4_Change();
    void Label13_Click();

public:
    // Opens an address in the default browser, with "http://" in front when
    // it does not begin with "http"; true when the desktop accepted it.
    bool OpenBrowser(QString address);

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildWindow();
    void buildFrame();
    void buildResultPanel();
    void placeMyVideos();
    void connectHandlers();
    void Form_Unload();

    Platform &m_platform;
    bool m_ending = false;

    // The upload chain acts on the first complete match of each answer
    // scanner per connection: later chunks repeating a marker change nothing.
    bool m_loginDecided = false;   // Winsock1: cookie taken or account rejected
    bool m_tokenTaken = false;     // Winsock3: anti-forgery token taken
    bool m_addresserTaken = false; // Winsock4: addresser value taken
    bool m_formTaken = false;      // Winsock4: upload form found, Timer3 started
    bool m_resultShown = false;    // Winsock2: the watch address is shown
    // Command3_Click's wait for the upload connection, while it runs, and
    // whether something has ended it (possibly before the wait began).
    QEventLoop *m_uploadWait = nullptr;
    bool m_uploadWaitEnded = false;
    void EndUploadWait();
};
