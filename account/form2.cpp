#include "account/form2.h"

#include "account/login.h"
#include "account/settings.h"
#include "account/typinglimit.h"
#include "app/form1.h"
#include "platform/messagebox.h"
#include "platform/platform.h"
#include "platform/widgets.h"
#include "site/winsock.h"
#include "uplark_config.h"

#include <QApplication>
#include <QEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

// The text with leading and trailing space characters removed; tabs and
// other white space stay.
QString TrimSpaces(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == u' ')
        ++begin;
    while (end > begin && text.at(end - 1) == u' ')
        --end;
    return text.mid(begin, end - begin);
}

bool OnlySpaces(const QString &text)
{
    return QString(text).remove(u' ').isEmpty();
}

const QColor FocusColour(192, 255, 192);

} // namespace

Form2::Form2(Form1 &main, QWidget *parent)
    : QDialog(parent ? parent : &main)
    , m_main(main)
{
    setObjectName(u"Form2"_s);
    buildWindow();
    connectHandlers();
    Form_Load();
}

Form2::~Form2()
{
    // The fields outlive this part of the dialog while it is taken down.
    Text1->removeEventFilter(this);
    Text2->removeEventFilter(this);
}

void Form2::buildWindow()
{
    setWindowTitle(u"My You Tube Account"_s);
    setFixedSize(402, 241);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);

    Picture2 = Place(ColourBox(this, QColor(64, 64, 64)), "Picture2", -3, 0, 412, 40, true);
    Picture1 = Place(new PictureBox(Picture2), "Picture1", 4, 1, 127, 39, true);
    Picture1->setPicture(LogoImage(QSize(127, 39), QColor(64, 64, 64)));
    Label5 = Place(new QLabel(u"Set your YouTube Account"_s, Picture2), "Label5", 200, 5, 198, 18,
                   true);
    QFont headFont = Label5->font();
    headFont.setPointSize(10);
    headFont.setBold(true);
    Label5->setFont(headFont);
    SetTextColour(Label5, QColor(0, 192, 0));

    Label1 = Place(new QLabel(u"Enter your YouTube account information and click on the SAVE "
                              "button. This information will be used whenever you upload a video "
                              "to your account."_s,
                              this),
                   "Label1", 18, 63, 355, 41, true);
    Label1->setWordWrap(true);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    Label2 = Place(new QLabel(u"Your You Tube &Username:"_s, this), "Label2", 15, 143, 150, 13,
                   true);
    Label2->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Text1 = Place(new QLineEdit(this), "Text1", 173, 139, 211, 20, true);
    Label2->setBuddy(Text1);

    Label3 = Place(new QLabel(u"Your You Tube &Password:"_s, this), "Label3", 19, 165, 146, 13,
                   true);
    Label3->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Text2 = Place(new QLineEdit(this), "Text2", 173, 161, 211, 20, true);
    Text2->setEchoMode(QLineEdit::Password);
    Label3->setBuddy(Text2);

    m_limit1 = new TypingLimit(Text1, MaxTyped);
    m_limit2 = new TypingLimit(Text2, MaxTyped);
    m_fieldBackground = Text1->palette().color(QPalette::Base);

    Picture5 = Place(new ImageButton(ButtonFace(u"Save"_s, Faces::BlueGreen), u"Label7"_s, this,
                                     QRect(6, 4, 110, 24)),
                     "Picture5", 85, 204, 117, 32, true);
    Label7 = Picture5->hotspot();
    Picture3 = Place(new ImageButton(ButtonFace(u"Cancel"_s, Faces::Red), u"Label6"_s, this,
                                     QRect(7, 4, 110, 24)),
                     "Picture3", 201, 204, 117, 32, true);
    Label6 = Picture3->hotspot();

    Picture4 = Place(ColourBox(this, QColor(255, 192, 192)), "Picture4", -3, 116, 410, 70, false);
    // The border lies inside the part of the panel the dialog shows.
    Shape1 = Place(new QFrame(Picture4), "Shape1", 8, 5, 394, 60, true);
    Shape1->setFrameShape(QFrame::Box);
    Shape1->setLineWidth(1);
    SetTextColour(Shape1, QColor(192, 0, 0));
    Label4 = Place(new QLabel(u"Please wait... Checking your account"_s, Picture4), "Label4", 85, 29,
                   239, 13, true);
    QFont bold = Label4->font();
    bold.setBold(true);
    Label4->setFont(bold);
    Label4->setAlignment(Qt::AlignCenter);

    // Below the client area, so it is never seen; Escape presses it.
    Command1 = Place(new QPushButton(u"Command1"_s, this), "Command1", 376, 250, 51, 13, true);
    Command1->setFocusPolicy(Qt::NoFocus);
    Command1->setAutoDefault(false);
    Command1->setDefault(false);
    Command1->setShortcut(QKeySequence(Qt::Key_Escape));

    setTabOrder(Text1, Text2);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(u"Timer1"_s);
    Timer1->setInterval(1);

    Winsock1 = new Winsock(m_main.platform().routes, this);
    Winsock1->setObjectName(u"Winsock1"_s);

    // Centred on the screen rather than over the main window.
    if (const QScreen *s = m_main.screen())
        move(s->availableGeometry().center() - rect().center());
}

void Form2::connectHandlers()
{
    connect(Timer1, &QTimer::timeout, this, &Form2::Timer1_Timer);
    connect(Picture5, &ImageButton::clicked, this, &Form2::Label7_Click);
    connect(Picture3, &ImageButton::clicked, this, &Form2::Label6_Click);
    connect(Command1, &QPushButton::clicked, this, &Form2::Command1_Click);
    connect(Winsock1, &Winsock::connected, this, &Form2::Winsock1_Connect);
    connect(Winsock1, &Winsock::dataArrival, this, &Form2::Winsock1_DataArrival);
    connect(Winsock1, &Winsock::error, this, &Form2::Winsock1_Error);
    Text1->installEventFilter(this);
    Text2->installEventFilter(this);
}

bool Form2::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Text1 || watched == Text2) {
        const bool first = watched == Text1;
        switch (event->type()) {
        case QEvent::FocusIn:
            first ? Text1_GotFocus() : Text2_GotFocus();
            break;
        case QEvent::FocusOut:
            first ? Text1_LostFocus() : Text2_LostFocus();
            break;
        case QEvent::KeyPress: {
            const auto *key = static_cast<QKeyEvent *>(event);
            int KeyAscii = 0;
            if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
                KeyAscii = 13;
            else if (!key->text().isEmpty())
                KeyAscii = key->text().at(0).unicode();
            if (KeyAscii == 0)
                break;
            first ? Text1_KeyPress(KeyAscii) : Text2_KeyPress(KeyAscii);
            if (KeyAscii == 0)
                return true;
            break;
        }
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

// ---- Opening ----

void Form2::Form_Load()
{
    SettingsStore &store = *m_main.platform().settings;
    const QString app = QString::fromUtf16(SettingsApp);
    m_limit1->setText(store.GetSetting(app, app, u"un"_s));
    m_limit2->setText(store.GetSetting(app, app, u"pw"_s));
    Timer1->start();
}

void Form2::Timer1_Timer()
{
    Timer1->stop();
    SelectAndFocus(Text1);
}

void Form2::SelectAndFocus(QLineEdit *field)
{
    field->setSelection(0, int(field->text().size()));
    field->setFocus();
}

// ---- The fields ----

void Form2::SetFieldColour(QLineEdit *field, const QColor &colour)
{
    QPalette pal = field->palette();
    pal.setColor(QPalette::Base, colour);
    field->setPalette(pal);
}

void Form2::Text1_GotFocus()
{
    SetFieldColour(Text1, FocusColour);
}

void Form2::Text1_LostFocus()
{
    SetFieldColour(Text1, m_fieldBackground);
}

void Form2::Text2_GotFocus()
{
    SetFieldColour(Text2, FocusColour);
}

void Form2::Text2_LostFocus()
{
    SetFieldColour(Text2, m_fieldBackground);
}

void Form2::Text1_KeyPress(int &KeyAscii)
{
    if (KeyAscii == 13) {
        KeyAscii = 0;
        SelectAndFocus(Text2);
    }
}

void Form2::Text2_KeyPress(int &KeyAscii)
{
    if (KeyAscii == 13) {
        KeyAscii = 0;
        SelectAndFocus(Text1);
    }
}

// ---- Save: the account check ----

void Form2::Label7_Click()
{
    MessageBox &box = *m_main.platform().messages;
    if (OnlySpaces(Text1->text())) {
        box.show(u"Please enter your username."_s, MsgButtons::Ok, MsgIcon::Critical);
        SelectAndFocus(Text1);
        return;
    }
    if (OnlySpaces(Text2->text())) {
        box.show(u"Please enter your password."_s, MsgButtons::Ok, MsgIcon::Critical);
        SelectAndFocus(Text2);
        return;
    }
    Picture5->setVisible(false);
    Picture4->setVisible(true);
    // The fields lie under the busy panel; they keep what was checked.
    Text1->setReadOnly(true);
    Text2->setReadOnly(true);
    Winsock1->Connect(QString::fromLatin1(SiteHost), SitePort);
    Picture4->move(Picture4->x(), 121);
}

void Form2::Winsock1_Connect()
{
    Winsock1->SendData(LoginRequest(Winsock1->RemoteHost().toLatin1(), TrimSpaces(Text1->text()),
                                    TrimSpaces(Text2->text())));
}

void Form2::Winsock1_DataArrival(qint64)
{
    switch (ScanLoginAnswer(Winsock1->GetData())) {
    case LoginOutcome::NoDecision:
        break;
    case LoginOutcome::TooManyFailures:
        RejectAccount(u"You had too many login failures. Please wait before trying to login "
                      "again."_s);
        break;
    case LoginOutcome::CheckYour:
        RejectAccount(u"Please check your username or password."_s);
        break;
    case LoginOutcome::Incorrect:
        RejectAccount(u"Sorry, your login was incorrect."_s);
        break;
    case LoginOutcome::LoggedIn:
        AcceptAccount();
        break;
    }
}

void Form2::Winsock1_Error(int, const QString &)
{
    RejectAccount(u"Connection error!"_s);
}

// A rejection or a connection error: the dialog returns to input with what
// the user typed, and nothing is stored.
void Form2::RejectAccount(const QString &message)
{
    Winsock1->Close();
    m_main.platform().messages->show(message, MsgButtons::Ok, MsgIcon::Critical);
    Picture4->setVisible(false);
    Picture5->setVisible(true);
    Text1->setReadOnly(false);
    Text2->setReadOnly(false);
    SelectAndFocus(Text1);
}

// The site accepted the account: store it as typed, close, and show it on the
// main window.
void Form2::AcceptAccount()
{
    const QString user = Text1->text();
    const QString password = Text2->text();
    Platform &platform = m_main.platform();
    const QString app = QString::fromUtf16(SettingsApp);
    platform.settings->SaveSetting(app, app, u"un"_s, user);
    platform.settings->SaveSetting(app, app, u"pw"_s, password);

    // Closing ends the connection. The dialog stays in memory until the one
    // who opened it lets it go, but nothing below touches it any more.
    accept();

    Form1 &main = m_main;
    main.Picture2->setPicture(main.Picture3);
    main.Label14->setVisible(true);
    platform.messages->show(u"Your YouTube account information has been successfully set on "
                            "this program. You can start uploading videos to your account now."_s,
                            MsgButtons::Ok, MsgIcon::Information);
    main.un = user;
    main.pw = password;
    main.show();
    main.raise();
    main.activateWindow();
}

// ---- Closing without saving ----

void Form2::Label6_Click()
{
    reject();
}

void Form2::Command1_Click()
{
    reject();
}

void Form2::done(int result)
{
    Timer1->stop();
    Winsock1->Close();
    QDialog::done(result);
}
