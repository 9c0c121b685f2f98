#include "account/form2.h"

#include "account/login.h"
#include "dialogdriver.h"
#include "doubles.h"
#include "uplark_config.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

// The main window and the site behind it, with the intro panel skipped.
struct Setup
{
    explicit Setup(quint16 sitePort)
    {
        t.platform.routes.add(QString::fromLatin1(SiteHost), SitePort, u"127.0.0.1"_s, sitePort);
        t.setSetting(u"check1"_s, u"1"_s);
    }
    void storeAccount(const QString &user, const QString &password)
    {
        t.setSetting(u"un"_s, user);
        t.setSetting(u"pw"_s, password);
    }
    Form1 &main()
    {
        if (!form1)
            form1 = std::make_unique<Form1>(t.platform);
        return *form1;
    }

    TestPlatform t;
    std::unique_ptr<Form1> form1;
};

bool Checking(const Form2 &d)
{
    return d.Picture5->isHidden() && !d.Picture4->isHidden();
}

bool Input(const Form2 &d)
{
    return !d.Picture5->isHidden() && d.Picture4->isHidden();
}

QColor Background(const QLineEdit *field)
{
    return field->palette().color(QPalette::Base);
}

// A port on which nothing listens.
quint16 ClosedPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

const QString Success = u"Your YouTube account information has been successfully set on this "
                        "program. You can start uploading videos to your account now."_s;

} // namespace

class TestForm2 : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void layout_data();
    void layout();
    void opening_data();
    void opening();
    void typingLimit_data();
    void typingLimit();
    void focusColoursTabAndAccessKeys();
    void enterMovesAndNeverSaves_data();
    void enterMovesAndNeverSaves();
    void emptyFields_data();
    void emptyFields();
    void requestCarriesTrimmedFields_data();
    void requestCarriesTrimmedFields();
    void rejection_data();
    void rejection();
    void undecidedAnswerKeepsChecking_data();
    void undecidedAnswerKeepsChecking();
    void connectionErrorReturnsToInput();
    void acceptance();
    void acceptedFromMainWindow();
    void closingAbandonsTheCheck_data();
    void closingAbandonsTheCheck();
};

void TestForm2::initTestCase()
{
    // The program's own font, for which the rectangles are laid out.
    QFont font(u"Liberation Sans"_s);
    font.setPointSize(8);
    QApplication::setFont(font);
}

void TestForm2::layout_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QRect>("rect");
    QTest::addColumn<QString>("text");
    QTest::newRow("Picture2") << u"Picture2"_s << u"Form2"_s << QRect(-3, 0, 412, 40) << QString();
    QTest::newRow("Picture1") << u"Picture1"_s << u"Picture2"_s << QRect(4, 1, 127, 39) << QString();
    QTest::newRow("Label5") << u"Label5"_s << u"Picture2"_s << QRect(200, 5, 198, 18)
                            << u"Set your YouTube Account"_s;
    QTest::newRow("Label1") << u"Label1"_s << u"Form2"_s << QRect(18, 63, 355, 41)
                            << u"Enter your YouTube account information and click on the SAVE "
                               "button. This information will be used whenever you upload a "
                               "video to your account."_s;
    QTest::newRow("Label2") << u"Label2"_s << u"Form2"_s << QRect(15, 143, 150, 13)
                            << u"Your You Tube &Username:"_s;
    QTest::newRow("Text1") << u"Text1"_s << u"Form2"_s << QRect(173, 139, 211, 20) << QString();
    QTest::newRow("Label3") << u"Label3"_s << u"Form2"_s << QRect(19, 165, 146, 13)
                            << u"Your You Tube &Password:"_s;
    QTest::newRow("Text2") << u"Text2"_s << u"Form2"_s << QRect(173, 161, 211, 20) << QString();
    QTest::newRow("Picture5") << u"Picture5"_s << u"Form2"_s << QRect(85, 204, 117, 32) << u"Save"_s;
    QTest::newRow("Label7") << u"Label7"_s << u"Picture5"_s << QRect(6, 4, 110, 24) << QString();
    QTest::newRow("Picture3") << u"Picture3"_s << u"Form2"_s << QRect(201, 204, 117, 32)
                              << u"Cancel"_s;
    QTest::newRow("Label6") << u"Label6"_s << u"Picture3"_s << QRect(7, 4, 110, 24) << QString();
    QTest::newRow("Picture4") << u"Picture4"_s << u"Form2"_s << QRect(-3, 116, 410, 70) << QString();
    QTest::newRow("Label4") << u"Label4"_s << u"Picture4"_s << QRect(85, 29, 239, 13)
                            << u"Please wait... Checking your account"_s;
    QTest::newRow("Command1") << u"Command1"_s << u"Form2"_s << QRect(376, 250, 51, 13)
                              << u"Command1"_s;
}

void TestForm2::layout()
{
    QFETCH(QString, name);
    QFETCH(QString, parent);
    QFETCH(QRect, rect);
    QFETCH(QString, text);
    Setup s(ClosedPort());
    Form2 d(s.main());
    d.show();
    QCOMPARE(d.windowTitle(), u"My You Tube Account"_s);
    QCOMPARE(d.size(), QSize(402, 241));
    QCOMPARE(d.palette().color(QPalette::Window), QColor(Qt::white));

    auto *w = d.findChild<QWidget *>(name);
    QVERIFY(w);
    QCOMPARE(w->parentWidget()->objectName(), parent);
    QCOMPARE(w->geometry(), rect);
    QCOMPARE(w->isHidden(), name == u"Picture4");
    if (auto *button = qobject_cast<PictureBox *>(w); button && !text.isEmpty()) {
        QCOMPARE(button->pictureText(), text);
    } else if (auto *label = qobject_cast<QLabel *>(w); label && !text.isEmpty()) {
        QCOMPARE(label->text(), text);
        // The whole text is seen: it fits its rectangle in the program's font.
        QString shown = text;
        shown.remove(u'&');
        const int flags = int(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0);
        const QRect needed = label->fontMetrics().boundingRect(QRect(QPoint(0, 0), rect.size()),
                                                               flags, shown);
        QVERIFY2(needed.width() <= rect.width() && needed.height() <= rect.height(),
                 qPrintable(u"needs %1 x %2"_s.arg(needed.width()).arg(needed.height())));
    }
    if (auto *button = qobject_cast<QPushButton *>(w))
        QCOMPARE(button->text(), text);

    if (name == u"Picture2")
        QCOMPARE(w->palette().color(QPalette::Window), QColor(64, 64, 64));
    if (name == u"Picture4") {
        QCOMPARE(w->palette().color(QPalette::Window), QColor(255, 192, 192));
        QVERIFY(d.Shape1->parentWidget() == w);
        QCOMPARE(d.Shape1->frameShape(), QFrame::Box);
    }
    if (name == u"Label5")
        QCOMPARE(w->palette().color(QPalette::WindowText), QColor(0, 192, 0));
    if (name == u"Label4") {
        QVERIFY(d.Label4->font().bold());
        QCOMPARE(d.Label4->alignment(), Qt::AlignCenter);
    }
    if (name == u"Label2" || name == u"Label3")
        QVERIFY(static_cast<QLabel *>(w)->alignment() & Qt::AlignRight);
    if (name == u"Command1")
        QVERIFY(!d.rect().intersects(w->geometry()));
}

void TestForm2::opening_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::newRow("nothing stored") << QString() << QString();
    QTest::newRow("an account") << u"someone"_s << u"pass word"_s;
    QTest::newRow("after forget me") << u""_s << u""_s;
    QTest::newRow("longer than can be typed")
        << u"  a_name_of_24_chars__  "_s << u"a password of 30 characters..."_s;
}

void TestForm2::opening()
{
    QFETCH(QString, user);
    QFETCH(QString, password);
    Setup s(ClosedPort());
    if (!user.isNull())
        s.storeAccount(user, password);
    Form2 d(s.main());
    QCOMPARE(d.Text1->text(), user);
    QCOMPARE(d.Text2->text(), password);
    QCOMPARE(d.Text1->echoMode(), QLineEdit::Normal);
    QCOMPARE(d.Text2->echoMode(), QLineEdit::Password);
    QVERIFY(Input(d));

    d.show();
    QTRY_VERIFY(!d.Timer1->isActive());
    QCOMPARE(d.focusWidget(), d.Text1);
    QCOMPARE(d.Text1->selectionStart(), user.isEmpty() ? -1 : 0);
    QCOMPARE(d.Text1->selectedText(), user);
}

void TestForm2::typingLimit_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("cursor");
    QTest::addColumn<QString>("keys"); // "<" is Backspace
    QTest::addColumn<QString>("inserted");
    QTest::addColumn<QString>("expected");
    QTest::newRow("typing stops at 20")
        << QString() << 0 << u"abcdefghijklmnopqrstuvwxy"_s << QString()
        << u"abcdefghijklmnopqrst"_s;
    QTest::newRow("a longer stored value takes no more")
        << u"0123456789012345678901"_s << 22 << u"xy"_s << QString() << u"0123456789012345678901"_s;
    QTest::newRow("nor after it was shortened")
        << u"0123456789012345678901"_s << 22 << u"<xy"_s << QString() << u"012345678901234567890"_s;
    QTest::newRow("shortened to the limit: full")
        << u"0123456789012345678901"_s << 22 << u"<<<x"_s << QString() << u"0123456789012345678x"_s;
    QTest::newRow("insertion cut to fit, in the middle")
        << u"aaaaaaaaaaaaaaaaaa"_s << 5 << QString() << u"XYZ"_s << u"aaaaaXYaaaaaaaaaaaaa"_s;
    QTest::newRow("insertion into a full field refused")
        << u"aaaaaaaaaaaaaaaaaaaa"_s << 3 << QString() << u"XYZ"_s << u"aaaaaaaaaaaaaaaaaaaa"_s;
}

void TestForm2::typingLimit()
{
    QFETCH(QString, stored);
    QFETCH(int, cursor);
    QFETCH(QString, keys);
    QFETCH(QString, inserted);
    QFETCH(QString, expected);
    Setup s(ClosedPort());
    s.storeAccount(stored, stored);
    Form2 d(s.main());
    for (QLineEdit *field : {d.Text1, d.Text2}) {
        QCOMPARE(field->text(), stored);
        field->setCursorPosition(cursor);
        for (QChar c : keys) {
            if (c == u'<')
                QTest::keyClick(field, Qt::Key_Backspace);
            else
                QTest::keyClicks(field, QString(c));
        }
        if (!inserted.isEmpty())
            field->insert(inserted);
        QCOMPARE(field->text(), expected);
    }
}

void TestForm2::focusColoursTabAndAccessKeys()
{
    Setup s(ClosedPort());
    Form2 d(s.main());
    const QColor plain = Background(d.Text1);
    QVERIFY(plain != QColor(192, 255, 192));
    d.show();
    QApplication::setActiveWindow(&d);
    QVERIFY(QTest::qWaitForWindowActive(&d));
    QTRY_VERIFY(d.Text1->hasFocus());
    QCOMPARE(Background(d.Text1), QColor(192, 255, 192));
    QCOMPARE(Background(d.Text2), plain);

    QTest::keyClick(d.Text1, Qt::Key_Tab);
    QVERIFY(d.Text2->hasFocus());
    QCOMPARE(Background(d.Text2), QColor(192, 255, 192));
    QCOMPARE(Background(d.Text1), plain);
    // Nothing else takes the focus: Tab goes back to the user name.
    QTest::keyClick(d.Text2, Qt::Key_Tab);
    QVERIFY(d.Text1->hasFocus());

    QTest::keyClick(&d, Qt::Key_P, Qt::AltModifier);
    QVERIFY(d.Text2->hasFocus());
    QTest::keyClick(&d, Qt::Key_U, Qt::AltModifier);
    QVERIFY(d.Text1->hasFocus());
    QCOMPARE(Background(d.Text2), plain);
}

void TestForm2::enterMovesAndNeverSaves_data()
{
    QTest::addColumn<int>("key");
    QTest::newRow("Return") << int(Qt::Key_Return);
    QTest::newRow("Enter on the keypad") << int(Qt::Key_Enter);
}

void TestForm2::enterMovesAndNeverSaves()
{
    QFETCH(int, key);
    FakeLoginSite site;
    QVERIFY(site.listening);
    Setup s(site.port());
    s.storeAccount(u"user"_s, u"secret"_s);
    Form2 d(s.main());
    d.show();
    QTRY_VERIFY(!d.Timer1->isActive());

    QTest::keyClick(d.Text1, Qt::Key(key));
    QCOMPARE(d.focusWidget(), d.Text2);
    QCOMPARE(d.Text2->selectedText(), u"secret"_s);
    QTest::keyClick(d.Text2, Qt::Key(key));
    QCOMPARE(d.focusWidget(), d.Text1);
    QCOMPARE(d.Text1->selectedText(), u"user"_s);

    QCOMPARE(d.Text1->text(), u"user"_s);
    QCOMPARE(d.Text2->text(), u"secret"_s);
    QTest::qWait(100);
    QVERIFY(Input(d));
    QVERIFY(!d.isHidden());
    QCOMPARE(site.connections, 0);
    QVERIFY(s.t.messages.shown.isEmpty());
}

void TestForm2::emptyFields_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("field");
    QTest::newRow("no user name") << QString() << u"pw"_s << u"Please enter your username."_s
                                  << u"Text1"_s;
    QTest::newRow("user name of spaces") << u"   "_s << u"pw"_s << u"Please enter your username."_s
                                         << u"Text1"_s;
    QTest::newRow("both of spaces") << u" "_s << u"  "_s << u"Please enter your username."_s
                                    << u"Text1"_s;
    QTest::newRow("no password") << u"user"_s << QString() << u"Please enter your password."_s
                                 << u"Text2"_s;
    QTest::newRow("password of spaces") << u"user"_s << u"    "_s
                                        << u"Please enter your password."_s << u"Text2"_s;
}

void TestForm2::emptyFields()
{
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, message);
    QFETCH(QString, field);
    FakeLoginSite site;
    QVERIFY(site.listening);
    Setup s(site.port());
    s.storeAccount(u"old"_s, u"oldpw"_s);
    Form2 d(s.main());
    d.show();
    QTRY_VERIFY(!d.Timer1->isActive());
    d.Text1->setText(user);
    d.Text2->setText(password);
    d.Text2->setFocus();

    QTest::mouseClick(d.Label7, Qt::LeftButton);
    QCOMPARE(s.t.messages.texts(), QStringList{message});
    QCOMPARE(s.t.messages.shown[0].icon, MsgIcon::Critical);
    QCOMPARE(s.t.messages.shown[0].buttons, MsgButtons::Ok);
    QCOMPARE(s.t.messages.shown[0].title, u"Uplark"_s);
    auto *expected = d.findChild<QLineEdit *>(field);
    QCOMPARE(d.focusWidget(), expected);
    QCOMPARE(expected->selectedText(), expected->text());

    QTest::qWait(100);
    QCOMPARE(site.connections, 0);
    QVERIFY(Input(d));
    QCOMPARE(s.t.setting(u"un"_s), u"old"_s);
    QCOMPARE(s.t.setting(u"pw"_s), u"oldpw"_s);
}

void TestForm2::requestCarriesTrimmedFields_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QByteArray>("fields");
    QTest::newRow("surrounding spaces dropped")
        << u"  demo  "_s << u" pass word "_s << QByteArray("username=demo&password=pass+word");
    QTest::newRow("inner spaces kept") << u"a b"_s << u"x"_s << QByteArray("username=a+b&password=x");
    QTest::newRow("only spaces are trimmed")
        << u"\tdemo "_s << u" pw\t"_s << QByteArray("username=%09demo&password=pw%09");
    QTest::newRow("form characters escaped")
        << u"a&b=c"_s << u"+%é"_s << QByteArray("username=a%26b%3Dc&password=%2B%25%C3%A9");
}

void TestForm2::requestCarriesTrimmedFields()
{
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QByteArray, fields);
    FakeLoginSite site;
    QVERIFY(site.listening);
    Setup s(site.port());
    Form2 d(s.main());
    d.show();
    d.Text1->setText(user);
    d.Text2->setText(password);
    QTest::mouseClick(d.Label7, Qt::LeftButton);
    QVERIFY(Checking(d));
    QCOMPARE(d.Picture4->geometry(), QRect(-3, 121, 410, 70));
    QTRY_COMPARE_WITH_TIMEOUT(site.requests.size(), 1, 10000);

    const QByteArray request = site.requests.at(0);
    QVERIFY(request.startsWith("POST /signup?next=/my_account HTTP/1.1\r\n"));
    QVERIFY(request.contains("\r\nHost: " + QByteArray(SiteHost) + "\r\n"));
    QVERIFY2(request.endsWith("&next=%2Fmy_account&" + fields + "&action_login=Log+In\r\n\r\n"),
             request.constData());
    QCOMPARE(site.connections, 1);
    // What was typed stays in the fields.
    QCOMPARE(d.Text1->text(), user);
    QCOMPARE(d.Text2->text(), password);
    QVERIFY(s.t.messages.shown.isEmpty());
}

void TestForm2::rejection_data()
{
    QTest::addColumn<QList<QByteArray>>("answer");
    QTest::addColumn<QString>("message");
    const QByteArray head = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n";
    QTest::newRow("too many failures")
        << QList<QByteArray>{head + "<p>You had too many login failures. Please wait.</p>"}
        << u"You had too many login failures. Please wait before trying to login again."_s;
    QTest::newRow("check your")
        << QList<QByteArray>{head + "<p>Please check your username and password.</p>"}
        << u"Please check your username or password."_s;
    QTest::newRow("incorrect") << QList<QByteArray>{head + "Sorry, your login was incorrect."}
                               << u"Sorry, your login was incorrect."_s;
    QTest::newRow("rejection and cookie in one piece")
        << QList<QByteArray>{"HTTP/1.1 200 OK\r\nSet-Cookie: LOGIN_INFO=abc; path=/;\r\n\r\n"
                             "Please check your username"}
        << u"Please check your username or password."_s;
    QTest::newRow("marker in a later piece")
        << QList<QByteArray>{head + "<html><body>", "Sorry, your login was incorrect.</body>"}
        << u"Sorry, your login was incorrect."_s;
}

void TestForm2::rejection()
{
    QFETCH(QList<QByteArray>, answer);
    QFETCH(QString, message);
    FakeLoginSite site;
    QVERIFY(site.listening);
    site.answer = answer;
    site.gapMs = 150;
    Setup s(site.port());
    s.storeAccount(u"old"_s, u"oldpw"_s);
    Form1 &f = s.main();
    Form2 d(f);
    d.show();
    d.Text1->setText(u" new "_s);
    d.Text2->setText(u"newpw"_s);
    QTest::mouseClick(d.Label7, Qt::LeftButton);

    QTRY_COMPARE_WITH_TIMEOUT(s.t.messages.shown.size(), 1, 10000);
    QCOMPARE(s.t.messages.shown[0].text, message);
    QCOMPARE(s.t.messages.shown[0].icon, MsgIcon::Critical);
    QCOMPARE(s.t.messages.shown[0].title, u"Uplark"_s);
    QVERIFY(Input(d));
    QVERIFY(!d.isHidden());
    QCOMPARE(d.focusWidget(), d.Text1);
    QCOMPARE(d.Text1->selectedText(), u" new "_s);
    QCOMPARE(d.Text2->text(), u"newpw"_s);
    // The dialog let its connection go.
    QTRY_COMPARE_WITH_TIMEOUT(site.disconnections, 1, 10000);
    // The stored account and the main window are as they were.
    QCOMPARE(s.t.setting(u"un"_s), u"old"_s);
    QCOMPARE(s.t.setting(u"pw"_s), u"oldpw"_s);
    QCOMPARE(f.un, u"old"_s);
    QVERIFY(!f.Label14->isHidden());

    // A second Save asks again, on a new connection.
    QTest::mouseClick(d.Label7, Qt::LeftButton);
    QVERIFY(Checking(d));
    QTRY_COMPARE_WITH_TIMEOUT(s.t.messages.shown.size(), 2, 10000);
    QCOMPARE(site.connections, 2);
    QCOMPARE(s.t.messages.shown[1].text, message);
}

void TestForm2::undecidedAnswerKeepsChecking_data()
{
    QTest::addColumn<QList<QByteArray>>("answer");
    QTest::addColumn<bool>("siteCloses");
    QTest::newRow("cookie marker split across two pieces")
        << QList<QByteArray>{"HTTP/1.1 302 Found\r\nSet-Cookie: LOGIN_", "INFO=abc; path=/;\r\n\r\n"}
        << false;
    QTest::newRow("rejection split across two pieces")
        << QList<QByteArray>{"HTTP/1.1 200 OK\r\n\r\nSorry, your login", " was incorrect."} << false;
    QTest::newRow("other page, then the site closes")
        << QList<QByteArray>{"HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n"} << true;
    QTest::newRow("markers in another letter case")
        << QList<QByteArray>{"HTTP/1.1 200 OK\r\nSet-Cookie: login_info=abc\r\n\r\n"
                             "SORRY, YOUR LOGIN WAS INCORRECT."}
        << false;
}

void TestForm2::undecidedAnswerKeepsChecking()
{
    QFETCH(QList<QByteArray>, answer);
    QFETCH(bool, siteCloses);
    FakeLoginSite site;
    QVERIFY(site.listening);
    site.answer = answer;
    site.gapMs = 300;
    site.closeAfterAnswer = siteCloses;
    Setup s(site.port());
    Form2 d(s.main());
    d.show();
    d.Text1->setText(u"demo"_s);
    d.Text2->setText(u"pw"_s);
    QTest::mouseClick(d.Label7, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(site.chunksSent, answer.size(), 10000);
    QTest::qWait(300);
    QVERIFY(Checking(d));
    QVERIFY(!d.isHidden());
    QVERIFY(s.t.messages.shown.isEmpty());
    QCOMPARE(s.t.setting(u"un"_s), QString());
    QVERIFY(s.main().Label14->isHidden());
}

void TestForm2::connectionErrorReturnsToInput()
{
    Setup s(ClosedPort());
    s.storeAccount(u"old"_s, u"oldpw"_s);
    Form2 d(s.main());
    d.show();
    d.Text1->setText(u"user"_s);
    d.Text2->setText(u"pw"_s);
    for (int attempt = 1; attempt <= 2; ++attempt) {
        QTest::mouseClick(d.Label7, Qt::LeftButton);
        QVERIFY(Checking(d));
        QTRY_COMPARE_WITH_TIMEOUT(s.t.messages.shown.size(), attempt, 10000);
        QCOMPARE(s.t.messages.shown.last().text, u"Connection error!"_s);
        QCOMPARE(s.t.messages.shown.last().icon, MsgIcon::Critical);
        QVERIFY(Input(d));
        QCOMPARE(d.focusWidget(), d.Text1);
        QCOMPARE(d.Text1->selectedText(), u"user"_s);
    }
    QCOMPARE(s.t.setting(u"un"_s), u"old"_s);
    QCOMPARE(s.t.setting(u"pw"_s), u"oldpw"_s);
}

void TestForm2::acceptance()
{
    FakeLoginSite site;
    QVERIFY(site.listening);
    site.answer = {"HTTP/1.1 302 Found\r\nSet-Cookie: LOGIN_INFO=abc; path=/; HttpOnly\r\n"
                   "Location: /my_account\r\n\r\n"};
    Setup s(site.port());
    Form1 &f = s.main();
    QVERIFY(f.Label14->isHidden());
    QCOMPARE(f.Picture2->pictureText(), u"Set account"_s);
    Form2 d(f);
    d.show();
    d.Text1->setText(u"  demo  "_s);
    d.Text2->setText(u" pw x "_s);

    // What has already happened when the success message shows.
    struct Seen
    {
        bool dialogClosed = false;
        QString storedUser, storedPassword;
        bool forgetMeShown = false;
        QString accountButton;
        QString mainUser;
    } seen;
    s.t.messages.onShow = [&](const RecordingMessageBox::Shown &) {
        seen.dialogClosed = d.isHidden() && d.result() == QDialog::Accepted;
        seen.storedUser = s.t.setting(u"un"_s);
        seen.storedPassword = s.t.setting(u"pw"_s);
        seen.forgetMeShown = !f.Label14->isHidden();
        seen.accountButton = f.Picture2->pictureText();
        seen.mainUser = f.un;
    };
    QTest::mouseClick(d.Label7, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(s.t.messages.shown.size(), 1, 10000);
    QCOMPARE(s.t.messages.shown[0].text, Success);
    QCOMPARE(s.t.messages.shown[0].icon, MsgIcon::Information);
    QCOMPARE(s.t.messages.shown[0].buttons, MsgButtons::Ok);
    QCOMPARE(s.t.messages.shown[0].title, u"Uplark"_s);
    QVERIFY(seen.dialogClosed);
    QCOMPARE(seen.storedUser, u"  demo  "_s);
    QCOMPARE(seen.storedPassword, u" pw x "_s);
    QVERIFY(seen.forgetMeShown);
    QCOMPARE(seen.accountButton, u"My account"_s);
    QCOMPARE(seen.mainUser, QString());

    QCOMPARE(f.un, u"  demo  "_s);
    QCOMPARE(f.pw, u" pw x "_s);
    QVERIFY(!f.isHidden());
    QCOMPARE(s.t.setting(u"un"_s), u"  demo  "_s);
    QCOMPARE(s.t.setting(u"pw"_s), u" pw x "_s);
    QVERIFY(site.requests.at(0).endsWith("username=demo&password=pw+x&action_login=Log+In\r\n\r\n"));
    // The dialog closed its connection.
    QTRY_COMPARE_WITH_TIMEOUT(site.disconnections, 1, 10000);
}

void TestForm2::acceptedFromMainWindow()
{
    FakeLoginSite site;
    QVERIFY(site.listening);
    site.answer = {"HTTP/1.1 302 Found\r\nSet-Cookie: LOGIN_INFO=abc; path=/;\r\n\r\n"};
    Setup s(site.port());
    Form1 &f = s.main();
    f.show();
    QVERIFY(OpenAccountDialog(f, [](Form2 &d) {
        d.Text1->setText(u"first"_s);
        d.Text2->setText(u"pw1"_s);
        QTest::mouseClick(d.Label7, Qt::LeftButton);
    }));
    QCOMPARE(s.t.messages.texts(), QStringList{Success});
    QCOMPARE(s.t.setting(u"un"_s), u"first"_s);
    QVERIFY(!f.Label14->isHidden());
    QCOMPARE(f.Picture2->pictureText(), u"My account"_s);
    QCOMPARE(f.un, u"first"_s);
    QCOMPARE(f.pw, u"pw1"_s);
    QVERIFY(!f.findChild<Form2 *>());

    // The next opening starts from the store.
    QString shown;
    QVERIFY(OpenAccountDialog(f, [&](Form2 &d) {
        shown = d.Text1->text() + u'/' + d.Text2->text();
        QVERIFY(d.Picture4->isHidden());
        d.Label6_Click();
    }));
    QCOMPARE(shown, u"first/pw1"_s);
    QCOMPARE(s.t.messages.shown.size(), 1);
}

void TestForm2::closingAbandonsTheCheck_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Cancel") << u"cancel"_s;
    QTest::newRow("Escape") << u"escape"_s;
    QTest::newRow("title bar") << u"close"_s;
}

void TestForm2::closingAbandonsTheCheck()
{
    QFETCH(QString, how);
    FakeLoginSite site; // never answers
    QVERIFY(site.listening);
    Setup s(site.port());
    s.storeAccount(u"old"_s, u"oldpw"_s);
    Form1 &f = s.main();
    Form2 d(f);
    d.show();
    QApplication::setActiveWindow(&d);
    QVERIFY(QTest::qWaitForWindowActive(&d));
    d.Text1->setText(u"new"_s);
    d.Text2->setText(u"newpw"_s);
    QTest::mouseClick(d.Label7, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(site.requests.size(), 1, 10000);
    QVERIFY(Checking(d));

    QSignalSpy command1(d.Command1, &QPushButton::clicked);
    if (how == u"cancel")
        QTest::mouseClick(d.Label6, Qt::LeftButton);
    else if (how == u"escape")
        QTest::keyClick(&d, Qt::Key_Escape);
    else
        d.close();
    // Escape presses Command1 as a button press does, after a short delay.
    QTRY_VERIFY(d.isHidden());
    QCOMPARE(d.result(), int(QDialog::Rejected));
    QCOMPARE(command1.size(), how == u"escape" ? 1 : 0);

    // The connection goes with the dialog; a late acceptance reaches nobody.
    QTRY_COMPARE_WITH_TIMEOUT(site.disconnections, 1, 10000);
    for (QTcpSocket *socket : site.sockets) {
        if (socket)
            socket->write("HTTP/1.1 302 Found\r\nSet-Cookie: LOGIN_INFO=late; path=/;\r\n\r\n");
    }
    QTest::qWait(200);
    QVERIFY(s.t.messages.shown.isEmpty());
    QCOMPARE(s.t.setting(u"un"_s), u"old"_s);
    QCOMPARE(s.t.setting(u"pw"_s), u"oldpw"_s);
    QCOMPARE(f.un, u"old"_s);
}

QTEST_MAIN(TestForm2)
#include "tst_form2.moc"
