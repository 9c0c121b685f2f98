// The account dialog against a scripted site in this process, and once
// against the stand-in site as a process of its own; with a keyring double:
// the password read from it and stored in it, and the line that says where
// the password goes when no keyring answers.
#include "desktop/windows/accountdialog.h"

#include "engine/upload/accountcheck.h"
#include "doubles.h"
#include "fakekeyring.h"
#include "fakesite.h"
#include "siteprocess.h"

#include "uplark_config.h"

#include <QApplication>
#include <QByteArrayList>
#include <QLineEdit>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace uplark;
using namespace uplark::test;

namespace {

// A platform with `user`/`password` stored and the site host led to `port`,
// by default to a scripted site of its own.
struct Setup
{
    Setup(const QString &user = u"old"_s, const QString &password = u"oldpw"_s, quint16 port = 0)
        : user(user)
        , password(password)
    {
        QVERIFY(site.start());
        t.platform.routes.add(QString::fromLatin1(SiteHost), SitePort, u"127.0.0.1"_s,
                              port ? port : site.sitePort());
        t.setSetting(u"un"_s, user);
        t.setSetting(u"pw"_s, password);
    }
    // The store still holds the account stored at the start.
    bool untouched() const { return t.setting(u"un"_s) == user && t.setting(u"pw"_s) == password; }

    QString user, password;
    FakeSite site;
    TestPlatform t;
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

} // namespace

class TestAccountDialog : public QObject
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
    void againstTheSite();
    void keyring_data();
    void keyring();
};

void TestAccountDialog::rejection_data()
{
    // None: the site refuses connections; a last piece "close": the site
    // closes the connection there.
    QTest::addColumn<QByteArrayList>("answer");
    QTest::addColumn<QString>("message");
    QTest::newRow("incorrect, in a later piece")
        << QByteArrayList{"HTTP/1.1 200 OK\r\n\r\n<html>",
                          "Sorry, your login was incorrect.</html>"}
        << u"Sorry, your login was incorrect."_s;
    QTest::newRow("too many failures")
        << QByteArrayList{"HTTP/1.1 200 OK\r\n\r\n<p>You had too many login failures.</p>"}
        << u"You had too many login failures. Please wait before trying to login again."_s;
    QTest::newRow("rejection beside the cookie")
        << QByteArrayList{"HTTP/1.1 302 Found\r\nSet-Cookie: LOGIN_INFO=abc; path=/\r\n\r\n"
                          "Please check your username"}
        << u"Please check your username or password."_s;
    QTest::newRow("closed after part of an answer")
        << QByteArrayList{"HTTP/1.1 200 OK\r\n", "close"} << u"Connection error!"_s;
    QTest::newRow("site unreachable") << QByteArrayList{} << u"Connection error!"_s;
}

void TestAccountDialog::rejection()
{
    QFETCH(QByteArrayList, answer);
    QFETCH(QString, message);
    Setup s;
    if (answer.isEmpty())
        s.site.refuseSite();
    if (answer.endsWith("close")) {
        answer.removeLast();
        s.site.scripts[FakeSite::Login].end = FakeSite::End::Close;
    }
    s.site.scripts[FakeSite::Login].pieces = answer;
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

void TestAccountDialog::closingAbandonsTheCheck_data()
{
    QTest::addColumn<bool>("escape");
    QTest::newRow("Cancel") << false;
    QTest::newRow("Escape") << true;
}

void TestAccountDialog::closingAbandonsTheCheck()
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

void TestAccountDialog::keysAndBlankFields()
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
    save(d, u"   "_s, u"pw"_s);
    QCOMPARE(d.focusWidget(), userNameBox(d));
    QCOMPARE(s.t.messages.texts(),
             (QStringList{u"Please enter your password."_s, u"Please enter your username."_s}));
    QTest::qWait(100);
    QVERIFY(s.site.received[FakeSite::Login].isEmpty() && waitsForInput(d) && s.untouched());
}

void TestAccountDialog::typingLimit_data()
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

void TestAccountDialog::typingLimit()
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

void TestAccountDialog::againstTheSite()
{
    // "&" and "=" would cut the field, "+" would become a space and "%41" an
    // "A" if the password went out unencoded.
    const QString password = u"p&w=+d %41 é"_s;
    SiteProcess site;
    QVERIFY2(site.start(), qPrintable(site.errorString()));
    QVERIFY(site.addAccount(u"demo"_s, password));
    Setup s(QString(), QString(), site.sitePort());
    AccountDialog d(s.t.platform);
    d.show();

    // The site tells a near miss ("+" read as a space) from the password; nothing is stored.
    save(d, u"demo"_s, u"p&w= d %41 é"_s);
    QTRY_COMPARE_WITH_TIMEOUT(s.t.messages.texts(),
                              QStringList{u"Sorry, your login was incorrect."_s}, 10000);
    QVERIFY(waitsForInput(d) && s.untouched());

    // The right one is accepted and handed back by the closed dialog as
    // typed, the name's spaces included.
    save(d, u"  demo  "_s, password);
    QTRY_VERIFY_WITH_TIMEOUT(d.isHidden(), 10000);
    QCOMPARE(d.result(), int(QDialog::Accepted));
    QCOMPARE(s.t.messages.shown.size(), 1);
    QCOMPARE(d.account().user, u"  demo  "_s);
    QCOMPARE(d.account().password, password);
}

void TestAccountDialog::keyring_data()
{
    QTest::addColumn<bool>("answers");
    QTest::newRow("a keyring answers") << true;
    QTest::newRow("no keyring answers") << false;
}

void TestAccountDialog::keyring()
{
    QFETCH(bool, answers);
    Setup s{QString(), QString()};
    FakeKeyring keyring;
    const QString entry = keyringEntry(s.t.platform.addresses.site, u"old"_s);
    if (answers) {
        keyring.entries.insert(entry, u"kept pw"_s);
        s.t.setSetting(u"un"_s, u"old"_s);
        s.t.setSetting(u"keyring"_s, entry);
    } else {
        keyring.unavailableBecause = u"no session bus"_s;
        s.t.setSetting(u"un"_s, u"old"_s);
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

QTEST_MAIN(TestAccountDialog)
#include "tst_accountdialog.moc"
