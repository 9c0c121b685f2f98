// The dialogs. The account dialog against a scripted site in this process,
// with a keyring double: the password read from it and stored in it, and the
// line that says where the password goes when no keyring answers. The video
// information dialog: its checks, its limits, its ways out, and what it hands
// to the upload job's conversion and takes back.
#include "desktop/windows/accountdialog.h"
#include "desktop/windows/videoinfodialog.h"

#include "doubles.h"
#include "engine/upload/accountcheck.h"
#include "engine/upload/uploadjob.h"
#include "fakekeyring.h"
#include "fakesite.h"

#include "uplark_config.h"

#include <QApplication>
#include <QByteArrayList>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace uplark;
using namespace uplark::test;

namespace {

// A platform with `user`/`password` stored, the site host led to a scripted
// site of its own, and an upload job whose conversion service answers.
struct Setup
{
    Setup(const QString &user = u"old"_s, const QString &password = u"oldpw"_s)
        : user(user)
        , password(password)
    {
        QVERIFY(site.start());
        t.platform.routes.add(QString::fromLatin1(SiteHost), SitePort, u"127.0.0.1"_s,
                              site.sitePort());
        t.setSetting(u"un"_s, user);
        t.setSetting(u"pw"_s, password);
        http.reply = {true, 200, "<TITLE>T</TITLE><DSCR>D</DSCR><TAGS>G</TAGS>", {}};
    }
    // The store still holds the account stored at the start.
    bool untouched() const { return t.setting(u"un"_s) == user && t.setting(u"pw"_s) == password; }

    QString user, password;
    FakeSite site;
    TestPlatform t;
    ScriptedHttp http;
    UploadJob job{t.settings, &http, t.platform.routes, t.platform.addresses};
};

QLineEdit *userNameBox(const AccountDialog &d)
{
    return child<QLineEdit>(d, "userNameEdit");
}

QLineEdit *passwordBox(const AccountDialog &d)
{
    return child<QLineEdit>(d, "passwordEdit");
}

// The dialog is open and waits for input: save shown, busy panel hidden,
// fields editable.
bool waitsForInput(const AccountDialog &d)
{
    return !d.isHidden() && !child<QWidget>(d, "saveButton")->isHidden()
           && child<QWidget>(d, "busyPanel")->isHidden() && !userNameBox(d)->isReadOnly()
           && !passwordBox(d)->isReadOnly();
}

void save(AccountDialog &d, const QString &user, const QString &password)
{
    userNameBox(d)->setText(user);
    passwordBox(d)->setText(password);
    clickButton(d, "saveButton");
}

// The boxes as "title|description|tags|category"; fill() takes the same form.
QString shown(const VideoInfoDialog &d)
{
    return child<QLineEdit>(d, "titleEdit")->text() + u'|'
           + child<QPlainTextEdit>(d, "descriptionEdit")->toPlainText() + u'|'
           + child<QLineEdit>(d, "tagsEdit")->text() + u'|'
           + child<QComboBox>(d, "categoryCombo")->currentText();
}

void fill(VideoInfoDialog &d, const QString &boxes)
{
    const QStringList b = boxes.split(u'|');
    child<QLineEdit>(d, "titleEdit")->setText(b.at(0));
    child<QPlainTextEdit>(d, "descriptionEdit")->setPlainText(b.at(1));
    child<QLineEdit>(d, "tagsEdit")->setText(b.at(2));
    child<QComboBox>(d, "categoryCombo")->setCurrentText(b.at(3));
}

} // namespace

class TestDialogs : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void rejection_data();
    void rejection();
    void closingAbandonsTheCheck_data();
    void closingAbandonsTheCheck();
    void keysAndBlankFields();
    void typingLimit_data();
    void typingLimit();
    void keyring_data();
    void keyring();
    void refused_data();
    void refused();
    void limits_data();
    void limits();
    void closing_data();
    void closing();
};

void TestDialogs::rejection_data()
{
    // How the site's answer is read is the engine's; here each refusal's
    // message, and a site that cannot be reached (no answer).
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("message");
    for (const auto &[answer, message] :
         {std::pair{"Sorry, your login was incorrect.", "Sorry, your login was incorrect."},
          {"<p>You had too many login failures.</p>",
           "You had too many login failures. Please wait before trying to login again."},
          {"Please check your username", "Please check your username or password."}})
        QTest::newRow(answer) << "HTTP/1.1 200 OK\r\n\r\n" + QByteArray(answer)
                              << QString::fromLatin1(message);
    QTest::newRow("site unreachable") << QByteArray() << u"Connection error!"_s;
}

void TestDialogs::rejection()
{
    QFETCH(QByteArray, answer);
    QFETCH(QString, message);
    Setup s;
    if (answer.isEmpty())
        s.site.refuseSite();
    s.site.scripts[FakeSite::Login].pieces = {answer};
    AccountDialog d(s.t.platform);
    d.show();
    // Each save asks again after a rejection.
    for (int attempt = 1; attempt <= 2; ++attempt) {
        save(d, u" new "_s, u"newpw"_s);
        QVERIFY(!waitsForInput(d));
        QTRY_COMPARE_WITH_TIMEOUT(s.t.messages.shown.size(), attempt, 10000);
        QCOMPARE(s.t.messages.shown.last().text, message);
        QCOMPARE(s.t.messages.shown.last().icon, MsgIcon::Critical);
        QVERIFY(waitsForInput(d));
        QCOMPARE(d.focusWidget(), userNameBox(d));
        QCOMPARE(userNameBox(d)->selectedText(), u" new "_s);
        QVERIFY(s.untouched());
    }
    QCOMPARE(s.site.complete[FakeSite::Login], answer.isEmpty() ? 0 : 2);
}

void TestDialogs::closingAbandonsTheCheck_data()
{
    QTest::addColumn<bool>("escape");
    QTest::newRow("Cancel") << false;
    QTest::newRow("Escape") << true;
}

void TestDialogs::closingAbandonsTheCheck()
{
    QFETCH(bool, escape);
    Setup s;
    // A slow answer, a header line every 50 ms: the cookie comes well after the
    // closing (a shortcut presses its button 100 ms after the key).
    s.site.scripts[FakeSite::Login].pieces = QByteArrayList(6, "X-Slow: 1\r\n")
                                             << "Set-Cookie: LOGIN_INFO=abc; path=/\r\n\r\n";
    AccountDialog d(s.t.platform);
    d.show();
    QApplication::setActiveWindow(&d);
    QVERIFY(QTest::qWaitForWindowActive(&d));
    const auto close = [&] {
        if (escape)
            QTest::keyClick(&d, Qt::Key_Escape);
        else
            clickButton(d, "cancelButton");
    };
    connect(&s.site, &FakeSite::requestComplete, &d, close, Qt::QueuedConnection);
    save(d, u"new"_s, u"newpw"_s);
    QTRY_VERIFY(d.isHidden());
    QCOMPARE(d.result(), int(QDialog::Rejected));
    // The check went with the dialog; the acceptance reaches nobody.
    QVERIFY(!child<AccountCheck>(d, "accountCheck")->isRunning());
    QTest::qWait(400);
    QVERIFY(s.t.messages.shown.isEmpty() && s.untouched());
}

void TestDialogs::keysAndBlankFields()
{
    Setup s;
    AccountDialog d(s.t.platform);
    d.show();
    QTRY_COMPARE(d.focusWidget(), userNameBox(d));
    // Return and Enter on the keypad move to the other field, selected, and never save.
    QTest::keyClick(userNameBox(d), Qt::Key_Return);
    QCOMPARE(d.focusWidget(), passwordBox(d));
    QCOMPARE(passwordBox(d)->selectedText(), u"oldpw"_s);
    QTest::keyClick(passwordBox(d), Qt::Key_Enter);
    QCOMPARE(d.focusWidget(), userNameBox(d));
    QCOMPARE(userNameBox(d)->selectedText(), u"old"_s);
    // A field of spaces only is refused with the focus on it, before anything goes out.
    save(d, u" a b "_s, u"    "_s);
    QCOMPARE(d.focusWidget(), passwordBox(d));
    // By keys alone: Save is the second stop after the user name; Enter presses it.
    userNameBox(d)->setText(u"   "_s);
    passwordBox(d)->setText(u"pw"_s);
    userNameBox(d)->setFocus();
    for (Qt::Key key : {Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Return})
        QTest::keyClick(d.focusWidget(), key);
    QCOMPARE(d.focusWidget(), userNameBox(d));
    QCOMPARE(s.t.messages.texts(),
             (QStringList{u"Please enter your password."_s, u"Please enter your username."_s}));
    QTest::qWait(100);
    QVERIFY(s.site.received[FakeSite::Login].isEmpty() && waitsForInput(d) && s.untouched());
}

void TestDialogs::typingLimit_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("keys"); // typed at the end; "<" is Backspace
    QTest::addColumn<QString>("expected");
    const QString longer = u"0123456789012345678901"_s; // shown whole
    QTest::newRow("typing stops at 20")
        << QString() << u"abcdefghijklmnopqrstuvwxy"_s << u"abcdefghijklmnopqrst"_s;
    QTest::newRow("longer stored value not lengthened once shortened")
        << longer << u"<xy"_s << longer.left(21);
}

void TestDialogs::typingLimit()
{
    QFETCH(QString, stored);
    QFETCH(QString, keys);
    QFETCH(QString, expected);
    Setup s(stored, stored); // the site is never asked
    AccountDialog d(s.t.platform);
    for (QLineEdit *field : {userNameBox(d), passwordBox(d)}) {
        QCOMPARE(field->text(), stored);
        field->end(false);
        for (QChar c : keys) {
            if (c == u'<')
                QTest::keyClick(field, Qt::Key_Backspace);
            else
                QTest::keyClicks(field, QString(c));
        }
        QCOMPARE(field->text(), expected);
    }
}

void TestDialogs::keyring_data()
{
    QTest::addColumn<bool>("answers");
    QTest::newRow("a keyring answers") << true;
    QTest::newRow("no keyring answers") << false;
}

void TestDialogs::keyring()
{
    QFETCH(bool, answers);
    Setup s{QString(), QString()};
    FakeKeyring keyring;
    const QString entry = keyringEntry(s.t.platform.addresses.site, u"old"_s);
    s.t.setSetting(u"un"_s, u"old"_s);
    if (answers) {
        keyring.entries.insert(entry, u"kept pw"_s);
        s.t.setSetting(u"keyring"_s, entry);
    } else {
        keyring.unavailableBecause = u"no session bus"_s;
        s.t.setSetting(u"pw"_s, u"file pw"_s);
    }
    s.t.settings.setKeyring(&keyring);

    AccountDialog d(s.t.platform);
    d.show();
    // The password comes from where it is kept; the line shows only when
    // no keyring answers.
    QTRY_COMPARE(passwordBox(d)->text(), answers ? u"kept pw"_s : u"file pw"_s);
    QCOMPARE(child<QWidget>(d, "keyringNote")->isVisible(), !answers);

    save(d, u"new"_s, u"new pw"_s);
    QTRY_VERIFY_WITH_TIMEOUT(d.isHidden(), 10000);
    QCOMPARE(d.result(), int(QDialog::Accepted));
    const QString newEntry = keyringEntry(s.t.platform.addresses.site, u"new"_s);
    QCOMPARE(s.t.setting(u"un"_s), u"new"_s);
    QCOMPARE(s.t.setting(u"pw"_s), answers ? QString() : u"new pw"_s);
    QCOMPARE(s.t.setting(u"keyring"_s), answers ? newEntry : QString());
    // The old account's entry goes with it.
    QCOMPARE(keyring.entries.keys(), answers ? QStringList{newEntry} : QStringList{});
}

void TestDialogs::refused_data()
{
    QTest::addColumn<QString>("boxes");
    QTest::addColumn<QString>("focus"); // where a check puts it; empty: the conversion fails
    QTest::newRow("title of spaces") << u"   |D|G|Comedy"_s << u"titleEdit"_s;
    QTest::newRow("description of spaces") << u"T|  ||"_s << u"descriptionEdit"_s;
    QTest::newRow("no category") << u"T|D||"_s << u"categoryCombo"_s;
    QTest::newRow("tags of spaces") << u"T|D|  |Comedy"_s << u"tagsEdit"_s;
    QTest::newRow("conversion fails") << u"<b>T</b>|D|G|Film & Animation"_s << QString();
}

void TestDialogs::refused()
{
    QFETCH(QString, boxes);
    QFETCH(QString, focus);
    Setup f;
    f.http.reply = {}; // no answer
    VideoInfoDialog d(f.t.platform, f.job, u"clip"_s);
    QSignalSpy started(&d, &VideoInfoDialog::conversionStarted);
    QSignalSpy failed(&d, &VideoInfoDialog::conversionFailed);
    d.show();
    fill(d, boxes);
    child<QWidget>(d, "okButton")->setFocus();
    QTest::keyClick(child<QWidget>(d, "okButton"), Qt::Key_Space); // OK
    // The job's refusal, or a connection error, in a critical message.
    QCOMPARE(f.t.messages.shown.size(), 1);
    QCOMPARE(f.t.messages.shown.first().icon, MsgIcon::Critical);
    // The dialog stays, editable, with nothing to hand over.
    QVERIFY(d.isVisible() && d.isEnabled() && d.videoInfo().category.isEmpty());
    // Only a conversion tells the caller that the upload starts, and that it failed.
    QCOMPARE(started.size(), focus.isEmpty() ? 1 : 0);
    QCOMPARE(failed.size(), started.size());
    QCOMPARE(f.http.requests.size(), started.size());
    if (!focus.isEmpty()) {
        QCOMPARE(d.focusWidget()->objectName(), focus);
    } else { // after a failed conversion, with the texts as they now stand
        QCOMPARE(f.t.messages.texts(), QStringList{u"Connection error!"_s});
        QCOMPARE(shown(d), u"bT/b|D|G|Film & Animation"_s);
    }
}

void TestDialogs::limits_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("before"); // characters already in the box
    QTest::addColumn<int>("back");   // the paste goes this many characters before their end
    QTest::addColumn<QString>("pasted");
    QTest::addColumn<int>("kept"); // how much of it stays
    const QString b100(100, u'b');
    QTest::newRow("title") << u"titleEdit"_s << 0 << 0 << b100 << 60;
    QTest::newRow("description, in the middle") << u"descriptionEdit"_s << 4990 << 10 << b100 << 9;
}

void TestDialogs::limits()
{
    QFETCH(QString, box);
    QFETCH(int, before);
    QFETCH(int, back);
    QFETCH(QString, pasted);
    QFETCH(int, kept);
    Setup f;
    VideoInfoDialog d(f.t.platform, f.job, QString());
    QWidget *w = d.findChild<QWidget *>(box);
    const QString start(before, u'a');
    for (const QString &text : {start, pasted}) {
        QGuiApplication::clipboard()->setText(text);
        QTest::keyClick(w, Qt::Key_V, Qt::ControlModifier);
        for (int i = 0; text == start && i < back; ++i)
            QTest::keyClick(w, Qt::Key_Left);
    }
    // What fits of the pasted text is kept, where it was put.
    QCOMPARE(w->property(w->inherits("QLineEdit") ? "text" : "plainText").toString(),
             start.left(before - back) + pasted.left(kept) + start.right(back));
}

void TestDialogs::closing_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("OK") << u"ok"_s;
    QTest::newRow("Cancel") << u"cancel"_s;
    QTest::newRow("Esc") << u"esc"_s;
}

void TestDialogs::closing()
{
    QFETCH(QString, how);
    const bool ok = how == u"ok";
    Setup f;
    VideoInfoDialog d(f.t.platform, f.job, u"Holiday clip.mpg"_s);
    QList<bool> openWhenStarted;
    connect(&d, &VideoInfoDialog::conversionStarted, this,
            [&] { openWhenStarted << d.isVisible(); });
    d.show();
    // It opens with the suggested title, selected, and nothing chosen.
    QCOMPARE(shown(d), u"Holiday clip.mpg|||Please select..."_s);
    QCOMPARE(child<QLineEdit>(d, "titleEdit")->selectedText(), u"Holiday clip.mpg"_s);
    fill(d, u"<b>T</b>|one\ntwo|a <b>|Comedy"_s);
    if (how == u"esc")
        QTest::keyClick(child<QLineEdit>(d, "titleEdit"), Qt::Key_Escape);
    else
        clickButton(d, ok ? "okButton" : "cancelButton");
    QVERIFY(d.isHidden() && f.t.messages.shown.isEmpty());
    QCOMPARE(d.result(), int(ok ? QDialog::Accepted : QDialog::Rejected));
    // Only OK converts, while the dialog is still open.
    QCOMPARE(openWhenStarted, ok ? QList<bool>{true} : QList<bool>{});
    QCOMPARE(f.http.requests.size(), openWhenStarted.size());
    if (!ok)
        return;
    // The boxes go to the job as they stand, the description's line breaks
    // as the box reports them; the job's information comes back.
    QVERIFY(
        f.http.requests[0].endsWith(" title=bT/b&dscr=one[_ULK-CRLF_]two&tags=a[_ULK-SPACE_]b"));
    QCOMPARE(shown(d), u"bT/b|one\ntwo|a b|Comedy"_s);
    const VideoInfo info = d.videoInfo();
    QCOMPARE(info.title + '|' + info.description + '|' + info.tags + '|' + info.category,
             QByteArray("T|D|G|23"));
}

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
