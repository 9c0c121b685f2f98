#include "app/form1.h"

#include "account/form2.h"
#include "account/settings.h"
#include "platform/mediapreview.h"
#include "platform/messagebox.h"
#include "platform/platform.h"
#include "platform/widgets.h"
#include "site/winsock.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScreen>
#include <QShortcut>
#include <QTextLayout>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

const QString HelpText = u"This program was designed to upload your video files to your YouTube account directly \r\n"
                         "from your computer. You just select your video file and click on the Upload button. The \r\n"
                         "program will upload your video to your YouTube account. \r\n"
                         "\r\n"
                         "Before uploading your video, you must set your YouTube account first. To do this, click \r\n"
                         "on the Set account button in the top-right corner. Select the video file you want to \r\n"
                         "upload by clicking the Browse button.  According to YouTube, your video must be \r\n"
                         "maximum 100 MB in size. Also it shouldn't be longer than 10 minutes in time. \r\n"
                         "\r\n"
                         "Click on the Upload button to start the upload process. The program will show you a \r\n"
                         "progress bar, also the remaining bytes. Wait for the upload process to complete. \r\n"
                         "When your upload finishes, you will be informed.\r\n"
                         "\r\n"
                         "When you first get your video URL, it may not be available for some time. You will be \r\n"
                         "informed about this. Please wait a few minutes until the YouTube system will complete \r\n"
                         "processing your video file.\r\n"_s;

QFont boldFont(QFont font)
{
    font.setBold(true);
    return font;
}

} // namespace

QString Form1::FileFilter()
{
    return u"Video files|*.MPG;*.MPEG;*.WMV;*.AVI;*.MOV|MPG files (*.mpg,*.mpeg)|*.MPG;*.MPEG|"
           "WMV files (*.wmv)|*.WMV|AVI files (*.avi)|*.AVI|MOV files (*.mov)|*.MOV|"
           "All files (*.*)|*.*|"_s;
}

Form1::Form1(Platform &platform, QWidget *parent)
    : QMainWindow(parent)
    , Picture15(BannerImage(u"Connecting to YouTube server..."_s))
    , Picture14(BannerImage(u"Logging in..."_s))
    , Picture12(BannerImage(u"Uploading... Please wait"_s))
    , Picture16(BannerImage(u"Preparing your video address..."_s))
    , Picture17(BannerImage(u"Video successfully uploaded."_s))
    , Picture5(ButtonFace(u"Set account"_s, Faces::Red))
    , Picture3(ButtonFace(u"My account"_s, Faces::Green))
    , m_platform(platform)
{
    setObjectName(u"Form1"_s);
    buildWindow();
    connectHandlers();
    Form_Load();
}

Form1::~Form1() = default;

void Form1::buildWindow()
{
    setWindowTitle(u"Uplark"_s);

    QMenu *file = menuBar()->addMenu(u"File"_s);
    file->setObjectName(u"mnuFile"_s);
    QAction *exit = file->addAction(u"Exit (esc)"_s);
    exit->setObjectName(u"exit"_s);
    connect(exit, &QAction::triggered, this, &Form1::exit_Click);

    auto *client = ColourBox(nullptr, Qt::white);
    client->setObjectName(u"client"_s);
    client->setFixedSize(601, 379);
    setCentralWidget(client);

    Picture1 = Place(ColourBox(client, Qt::black), "Picture1", -7, 0, 611, 81, true);
    Picture6 = Place(new PictureBox(Picture1), "Picture6", 13, 2, 220, 68, true);
    Picture6->setPicture(LogoImage(QSize(220, 68), Qt::black));
    Picture2 = Place(new ImageButton(Picture5, u"Label10"_s, Picture1), "Picture2", 488, 8, 117, 32,
                     false);
    Label14 = Place(new LinkLabel(u"Forget me on this computer"_s, QColor(128, 128, 255), Picture1),
                    "Label14", 445, 38, 158, 13, false);
    Label13 = Place(new LinkLabel(u"YouTube Terms of Use"_s, QColor(128, 255, 128), Picture1),
                    "Label13", 475, 64, 129, 13, false);

    Label1 = Place(new QLabel(u"Uplark 1.0"_s, client), "Label1", 12, 93, 295, 29, true);
    QFont titleFont(u"Verdana"_s, 18);
    titleFont.setBold(true);
    Label1->setFont(titleFont);
    SetTextColour(Label1, QColor(64, 64, 64));

    Label2 = Place(new QLabel(u"Please read"_s, client), "Label2", 12, 144, 387, 18, true);
    Label2->setFont(boldFont(Label2->font()));
    SetTextColour(Label2, QColor(192, 0, 0));

    Text5 = Place(new QPlainTextEdit(client), "Text5", 13, 161, 578, 156, true);
    Text5->setFont(QFont(u"Verdana"_s, 9));
    Text5->setPlainText(HelpText);
    Text5->setReadOnly(true);
    Text5->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    Text5->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text5->setLineWrapMode(QPlainTextEdit::NoWrap);

    Picture7 = Place(new ImageButton(ButtonFace(u"Understood sir!"_s, Faces::Blue), u"Label3"_s,
                                     client),
                     "Picture7", 243, 322, 117, 32, true);
    Check1 = Place(new QCheckBox(u"I don't want to see that again"_s, client), "Check1", 12, 356,
                   265, 19, true);

    Picture4 = Place(ColourBox(client, Qt::white), "Picture4", 7, 127, 606, 250, false);
    buildFrame();

    Timer1 = new QTimer(this);
    Timer1->setObjectName(u"Timer1"_s);
    Timer1->setInterval(200);
    Timer2 = new QTimer(this);
    Timer2->setObjectName(u"Timer2"_s);
    Timer2->setInterval(1);
    Timer3 = new QTimer(this);
    Timer3->setObjectName(u"Timer3"_s);
    Timer3->setInterval(1000);

    const auto makeWinsock = [this](const char *name) {
        auto *w = new Winsock(m_platform.routes, this);
        w->setObjectName(QString::fromLatin1(name));
        return w;
    };
    Winsock1 = makeWinsock("Winsock1");
    Winsock2 = makeWinsock("Winsock2");
    Winsock3 = makeWinsock("Winsock3");
    Winsock4 = makeWinsock("Winsock4");

    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setObjectName(u"Command1"_s);
    connect(escape, &QShortcut::activated, this, &Form1::Command1_Click);

    layout()->setSizeConstraint(QLayout::SetFixedSize);
    adjustSize();
    if (const QScreen *s = screen())
        move(s->availableGeometry().center() - rect().center());
}

void Form1::buildFrame()
{
    Frame1 = Place(new QGroupBox(u"Upload Video"_s, Picture4), "Frame1", 1, -2, 586, 247, true);
    Frame1->setFont(boldFont(Frame1->font()));
    // Only the frame's caption is bold.
    QFont plain = font();
    plain.setBold(false);
    plain.setItalic(false);

    Label7 = Place(new QLabel(u"Video file:"_s, Frame1), "Label7", 11, 26, 58, 13, true);
    Picture9 = Place(new ImageButton(ButtonFace(u"Browse file..."_s, Faces::Blue), u"Label4"_s,
                                     Frame1),
                     "Picture9", 8, 41, 117, 32, true);
    Text1 = Place(new QLineEdit(Frame1), "Text1", 12, 43, 340, 19, false);
    Picture10 = Place(new ImageButton(ButtonFace(u"UPLOAD!"_s, Faces::Orange), u"Label5"_s, Frame1),
                      "Picture10", 8, 69, 117, 32, false);
    Picture8 = Place(new ImageButton(RedCrossIcon(QSize(27, 25)), u"Picture8Hotspot"_s, Frame1),
                     "Picture8", 126, 72, 27, 25, false);
    Picture8->setToolTip(u"Clear"_s);
    Picture11 = Place(new PictureBox(Frame1), "Picture11", 11, 75, 377, 25, false);
    Label12 = Place(new LinkLabel(u"Cancel"_s, QColor(0, 0, 128), Frame1), "Label12", 11, 98, 39,
                    13, false);
    Label6 = Place(new QLabel(u"..."_s, Frame1), "Label6", 11, 129, 12, 13, false);
    ProgressBar1 = Place(new QProgressBar(Frame1), "ProgressBar1", 11, 146, 339, 25, false);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    // The kilobyte line and the percentage are wide enough for six-digit
    // figures and "100%".
    Label9 = Place(new QLabel(u"0 Kb uploaded so far, remaining 0 Kb"_s, Frame1), "Label9", 11,
                   173, 290, 13, false);
    Label11 = Place(new QLabel(u"0%"_s, Frame1), "Label11", 307, 173, 42, 13, false);
    Label11->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    Picture13 = Place(new QWidget(Frame1), "Picture13", 359, 7, 225, 238, true);
    WindowsMediaPlayer1 = m_platform.makePreview(Picture13);
    WindowsMediaPlayer1->setObjectName(u"WindowsMediaPlayer1"_s);
    WindowsMediaPlayer1->setGeometry(0, 0, 225, 238);

    buildResultPanel();

    Picture23 = Place(new ImageButton(ButtonFace(u"Upload New"_s, Faces::Blue), u"Label21"_s,
                                      Frame1),
                      "Picture23", 235, 14, 117, 32, false);

    for (QWidget *w : Frame1->findChildren<QWidget *>())
        w->setFont(plain);
    Label11->setFont(boldFont(plain));
    Label16->setFont(boldFont(plain));
    QFont myVideos = boldFont(plain);
    myVideos.setItalic(true);
    Label17->setFont(myVideos);
    SetTextColour(Label17, QColor(0, 0, 192));
    placeMyVideos();
}

void Form1::placeMyVideos()
{
    // "My Videos" covers the gap of spaces in Label8's text, so that the two
    // read as one sentence. Where the gap falls depends on the font's widths
    // and on the wrapping, so it is measured, not fixed.
    const QString text = Label8->text();
    const qsizetype gap = text.indexOf(QString(18, u' '));
    QTextLayout layout(text, Label8->font());
    QTextOption option;
    option.setWrapMode(QTextOption::WordWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    qreal y = 0;
    QPointF at(-1, -1);
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(Label8->width());
        line.setPosition(QPointF(0, y));
        y += line.height();
        if (gap >= line.textStart() && gap < line.textStart() + line.textLength())
            at = QPointF(line.cursorToX(gap + 1), line.y());
    }
    layout.endLayout();
    if (at.x() >= 0)
        Label17->move(Label8->pos() + at.toPoint());
}

void Form1::buildResultPanel()
{
    Picture18 = Place(ColourBox(Frame1, Qt::white), "Picture18", 9, 102, 346, 135, false);
    Picture19 = Place(new PictureBox(Picture18), "Picture19", 10, 4, 13, 13, true);
    Picture19->setPicture(TickIcon(QSize(13, 13)));
    Label8 = Place(new QLabel(u"Your video has been successfully uploaded to the YouTube server. "
                              "It is located in"_s
                                  + QString(18, u' ') + u"section in your YouTube account."_s,
                              Picture18),
                   "Label8", 28, 2, 301, 49, true);
    Label8->setWordWrap(true);
    Label8->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label17 = Place(new QLabel(u"My Videos"_s, Picture18), "Label17", 211, 15, 65, 13, true);
    Label16 = Place(new QLabel(u"Your video URL:"_s, Picture18), "Label16", 28, 53, 102, 13, true);
    Picture20 = Place(new ImageButton(BrowserIcon(QSize(16, 16)), u"Picture20Hotspot"_s, Picture18,
                                      QRect(0, 0, 16, 16)),
                      "Picture20", 133, 50, 16, 16, true);
    Picture20->setToolTip(u"Open in default browser"_s);
    Text4 = Place(new QLineEdit(Picture18), "Text4", 28, 69, 291, 19, true);
    Picture22 = Place(new ImageButton(CopyIcon(QSize(15, 13)), u"Picture22Hotspot"_s, Picture18,
                                      QRect(0, 0, 15, 13)),
                      "Picture22", 322, 72, 15, 13, true);
    Picture22->setToolTip(u"Copy to memory"_s);
    Label19 = Place(new QLabel(u"It may take a few minutes before you can reach your video on "
                               "YouTube system."_s,
                               Picture18),
                    "Label19", 30, 94, 309, 40, true);
    Label19->setWordWrap(true);
    Label19->setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void Form1::connectHandlers()
{
    connect(Timer1, &QTimer::timeout, this, &Form1::Timer1_Timer);
    connect(Timer2, &QTimer::timeout, this, &Form1::Timer2_Timer);
    connect(Timer3, &QTimer::timeout, this, &Form1::Timer3_Timer);

    connect(Picture7, &ImageButton::clicked, this, &Form1::Label3_Click);
    connect(Picture2, &ImageButton::clicked, this, &Form1::Label10_Click);
    connect(Label14, &LinkLabel::clicked, this, &Form1::Label14_Click);
    connect(Label13, &LinkLabel::clicked, this, &Form1::Label13_Click);

    connect(Picture9, &ImageButton::clicked, this, &Form1::Label4_Click);
    connect(Picture8, &ImageButton::clicked, this, &Form1::Picture8_Click);
    connect(Text1, &QLineEdit::textChanged, this, &Form1::Text1_Change);
    connect(Picture10, &ImageButton::clicked, this, &Form1::Label5_Click);

    connect(Label12, &LinkLabel::clicked, this, &Form1::Label12_Click);
    connect(Picture23, &ImageButton::clicked, this, &Form1::Label21_Click);
    connect(Picture22, &ImageButton::clicked, this, &Form1::Picture22_Click);
    connect(Picture20, &ImageButton::clicked, this, &Form1::Picture20_Click);
    connect(Text4, &QLineEdit::textChanged, this, &Form1::Text4_Change);
    Text4->installEventFilter(this);

    connect(Winsock1, &Winsock::connected, this, &Form1::Winsock1_Connect);
    connect(Winsock1, &Winsock::dataArrival, this, &Form1::Winsock1_DataArrival);
    connect(Winsock1, &Winsock::error, this, &Form1::Winsock1_Error);
    connect(Winsock2, &Winsock::connected, this, &Form1::Winsock2_Connect);
    connect(Winsock2, &Winsock::dataArrival, this, &Form1::Winsock2_DataArrival);
    connect(Winsock2, &Winsock::sendProgress, this, &Form1::Winsock2_SendProgress);
    connect(Winsock2, &Winsock::error, this, &Form1::Winsock2_Error);
    connect(Winsock3, &Winsock::connected, this, &Form1::Winsock3_Connect);
    connect(Winsock3, &Winsock::dataArrival, this, &Form1::Winsock3_DataArrival);
    connect(Winsock3, &Winsock::error, this, &Form1::Winsock3_Error);
    connect(Winsock4, &Winsock::connected, this, &Form1::Winsock4_Connect);
    connect(Winsock4, &Winsock::dataArrival, this, &Form1::Winsock4_DataArrival);
    connect(Winsock4, &Winsock::error, this, &Form1::Winsock4_Error);
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Text4) {
        if (event->type() == QEvent::FocusIn)
            Text4_GotFocus();
        else if (event->type() == QEvent::MouseButtonRelease)
            QTimer::singleShot(0, this, &Form1::Text4_Click);
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---- Start-up ----

void Form1::Form_Load()
{
    SettingsStore &store = *m_platform.settings;
    const QString app = QString::fromUtf16(SettingsApp);
    un = store.GetSetting(app, app, u"un"_s);
    pw = store.GetSetting(app, app, u"pw"_s);
    if (store.GetSetting(app, app, u"check1"_s) == u"1") {
        Picture4->setVisible(true);
        RefreshAccount();
    }
    Timer1->start();
    Timer2->start();
}

void Form1::Timer2_Timer()
{
    Timer2->stop();
    // Does nothing when the help text is hidden.
    Text5->setFocus();
}

void Form1::Timer1_Timer()
{
    WindowsMediaPlayer1->setStretchToFit(true);
}

void Form1::Label3_Click()
{
    const QString app = QString::fromUtf16(SettingsApp);
    m_platform.settings->SaveSetting(app, app, u"check1"_s,
                                     Check1->isChecked() ? u"1"_s : u"0"_s);
    RefreshAccount();
}

void Form1::RefreshAccount()
{
    const QString app = QString::fromUtf16(SettingsApp);
    un = m_platform.settings->GetSetting(app, app, u"un"_s);
    pw = m_platform.settings->GetSetting(app, app, u"pw"_s);
    if (pw.size() + un.size() > 1) {
        Picture2->setPicture(Picture3);
        Label14->setVisible(true);
    }
    Picture2->setVisible(true);
    Label13->setVisible(true);
    Text5->setVisible(false);
    Picture7->setVisible(false);
    Check1->setVisible(false);
    Picture4->setVisible(true);
}

void Form1::Label10_Click()
{
    if (Picture9->isHidden())
        return;
    Form2 dialog(*this);
    dialog.exec();
}

void Form1::Label14_Click()
{
    MessageBox &box = *m_platform.messages;
    const MsgAnswer answer = box.show(
        u"Do you want to remove your YouTube account information on this computer? (We will "
        "remove your account settings ON THIS COMPUTER ONLY. We don't have any relation with "
        "your real YouTube account.)"_s,
        MsgButtons::YesNo, MsgIcon::Question);
    if (answer != MsgAnswer::Yes)
        return;
    Picture2->setPicture(Picture5);
    Label14->setVisible(false);
    const QString app = QString::fromUtf16(SettingsApp);
    m_platform.settings->SaveSetting(app, app, u"un"_s, QString());
    m_platform.settings->SaveSetting(app, app, u"pw"_s, QString());
    box.show(u"We removed your YouTube account information on this computer."_s, MsgButtons::Ok,
             MsgIcon::Information);
}

void Form1::ClearStoredAccount()
{
    Picture2->setPicture(Picture5);
    Label14->setVisible(false);
    const QString app = QString::fromUtf16(SettingsApp);
    m_platform.settings->SaveSetting(app, app, u"un"_s, QString());
    m_platform.settings->SaveSetting(app, app, u"pw"_s, QString());
    Picture9->setVisible(true);
    Picture10->setVisible(false);
    Text1->setVisible(false);
    Picture8->setVisible(false);
}

// ---- Ending the program ----

void Form1::exit_Click()
{
    Form_Unload();
}

void Form1::Command1_Click()
{
    Form_Unload();
}

void Form1::closeEvent(QCloseEvent *event)
{
    event->accept();
    Form_Unload();
}

void Form1::Form_Unload()
{
    if (m_ending)
        return;
    m_ending = true;
    m_platform.endProgram();
}
