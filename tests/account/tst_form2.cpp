// The account dialog against a scripted site in this process.
#include "account/form2.h"

#include "dialogdriver.h"
#include "fakesite.h"
#include "site/winsock.h"

#include <QApplication>
#include <QByteArrayList>
#include <QTest>
#include <QTimer>

class TestForm2 : public QObject
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
    void acceptanceOrder();
};

void TestForm2::rejection_data()
{
    QTest::addColumn<QByteArrayList>("answer"); // none: the site refuses connections
    QTest::addColumn<QString>("message");
    QTest::newRow("too many failures")
        << QByteArrayList{"HTTP/1.1 200 OK\r\n\r\n<p>You had too many login failures.</p>"}
        << u"You had too many login failures. Please wait before trying to login again."_s;
    QTest::newRow("incorrect, in a later piece")
        << QByteArrayList{"HTTP/1.1 200 OK\r\n\r\n<html>",
                          "Sorry, your login was incorrect.</html>"}
        << u"Sorry, your login was incorrect."_s;
    QTest::newRow("rejection beside the cookie")
        << QByteArrayList{"HTTP/1.1 302 Found\r\nSet-Cookie: LOGIN_INFO=abc; path=/\r\n\r\n"
                          "Please check your username"}
        << u"Please check your username or password."_s;
    QTest::newRow("site unreachable") << QByteArrayList{} << u"Connection error!"_s;
}

void TestForm2::rejection()
{
    QFETCH(QByteArrayList, answer);
    QFETCH(QString, message);
    FakeSite site;
    QVERIFY(site.start());
    site.scripts[FakeSite::Login].pieces = answer;
    AccountSetup s(site, u"old"_s, u"oldpw"_s);
    if (answer.isEmpty())
        site.refuseSite();
    Form2 d(*s.main);
    d.show();
    // Each Save asks again after a rejection.
    for (int attempt = 1; attempt <= 2; ++attempt) {
        Save(d, u" new "_s, u"newpw"_s);
        QVERIFY(!Input(d));
        QTRY_COMPARE_WITH_TIMEOUT(s.t.messages.shown.size(), attempt, 10000);
        QCOMPARE(s.t.messages.shown.last().text, message);
        QCOMPARE(s.t.messages.shown.last().icon, MsgIcon::Critical);
        QVERIFY(Input(d) && !d.Winsock1->isConnected());
        QCOMPARE(d.focusWidget(), d.Text1);
        QCOMPARE(d.Text1->selectedText(), u" new "_s);
        QVERIFY(s.untouched());
    }
    QCOMPARE(site.complete[FakeSite::Login], answer.isEmpty() ? 0 : 2);
}

void TestForm2::closingAbandonsTheCheck_data()
{
    QTest::addColumn<bool>("escape");
    QTest::newRow("Cancel") << false;
    QTest::newRow("Escape") << true;
}

void TestForm2::closingAbandonsTheCheck()
{
    QFETCH(bool, escape);
    FakeSite site;
    QVERIFY(site.start());
    // A slow answer, a header line every 50 ms: the cookie comes well after the
    // closing (a shortcut presses its button 100 ms after the key).
    site.scripts[FakeSite::Login].pieces = QByteArrayList(6, "X-Slow: 1\r\n")
                                           << "Set-Cookie: LOGIN_INFO=abc; path=/\r\n\r\n";
    AccountSetup s(site, u"old"_s, u"oldpw"_s);
    Form2 d(*s.main);
    d.show();
    QApplication::setActiveWindow(&d);
    QVERIFY(QTest::qWaitForWindowActive(&d));
    const auto close = [&] {
        if (escape)
            QTest::keyClick(&d, Qt::Key_Escape);
        else
            QTest::mouseClick(d.Label6, Qt::LeftButton);
    };
    connect(&site, &FakeSite::requestComplete, &d, close, Qt::QueuedConnection);
    Save(d, u"new"_s, u"newpw"_s);
    QTRY_VERIFY(d.isHidden());
    QCOMPARE(d.result(), int(QDialog::Rejected));
    // The connection went with the dialog; the acceptance reaches nobody.
    QVERIFY(!d.Winsock1->isConnected());
    QTest::qWait(400);
    QVERIFY(s.t.messages.shown.isEmpty() && s.untouched());
}

void TestForm2::keysAndBlankFields()
{
    FakeSite site;
    QVERIFY(site.start());
    AccountSetup s(site, u"old"_s, u"oldpw"_s);
    Form2 d(*s.main);
    d.show();
    QTRY_VERIFY(!d.Timer1->isActive());
    // Return and Enter on the keypad move to the other field, selected, and never save.
    QTest::keyClick(d.Text1, Qt::Key_Return);
    QCOMPARE(d.focusWidget(), d.Text2);
    QCOMPARE(d.Text2->selectedText(), u"oldpw"_s);
    QTest::keyClick(d.Text2, Qt::Key_Enter);
    QCOMPARE(d.focusWidget(), d.Text1);
    QCOMPARE(d.Text1->selectedText(), u"old"_s);
    // A field of spaces only is refused with the focus on it, before anything goes out.
    Save(d, u" a b "_s, u"    "_s);
    QCOMPARE(d.focusWidget(), d.Text2);
    Save(d, u"   "_s, u"pw"_s);
    QCOMPARE(d.focusWidget(), d.Text1);
    QCOMPARE(s.t.messages.texts(),
             (QStringList{u"Please enter your password."_s, u"Please enter your username."_s}));
    QTest::qWait(100);
    QVERIFY(site.received[FakeSite::Login].isEmpty() && Input(d) && s.untouched());
}

void TestForm2::typingLimit_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("keys"); // typed at the end; "<" is Backspace
    QTest::addColumn<QString>("expected");
    const QString longer = u"0123456789012345678901"_s; // shown whole
    QTest::newRow("typing stops at 20") << QString() << u"abcdefghijklmnopqrstuvwxy"_s
                                        << u"abcdefghijklmnopqrst"_s;
    QTest::newRow("longer stored value not lengthened once shortened")
        << longer << u"<xy"_s << longer.left(21);
    QTest::newRow("shortened below the limit") << longer << u"<<<xy"_s << longer.left(19) + u'x';
}

void TestForm2::typingLimit()
{
    QFETCH(QString, stored);
    QFETCH(QString, keys);
    QFETCH(QString, expected);
    FakeSite site; // never asked
    AccountSetup s(site, stored, stored);
    Form2 d(*s.main);
    for (QLineEdit *field : {d.Text1, d.Text2}) {
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

void TestForm2::acceptanceOrder()
{
    FakeSite site; // its login answer carries a cookie
    QVERIFY(site.start());
    AccountSetup s(site, QString(), QString());
    Form1 &f = *s.main;
    Form2 d(f);
    d.show();
    // What has happened by the time the success message shows.
    QStringList seen;
    s.t.messages.onShow = [&](const RecordingMessageBox::Shown &) {
        seen << s.t.setting(u"un"_s) << s.t.setting(u"pw"_s)
             << (d.isHidden() && d.result() == QDialog::Accepted ? u"closed"_s : u"open"_s)
             << f.Picture2->pictureText()
             << (f.Label14->isHidden() ? u"Label14 hidden"_s : u"Label14 shown"_s) << f.un;
    };
    Save(d, u"  demo  "_s, u" pw x "_s);
    QTRY_COMPARE_WITH_TIMEOUT(s.t.messages.shown.size(), 1, 10000);
    QCOMPARE(s.t.messages.shown[0].text, Success);
    QCOMPARE(s.t.messages.shown[0].icon, MsgIcon::Information);
    QCOMPARE(seen, (QStringList{u"  demo  "_s, u" pw x "_s, u"closed"_s, u"My account"_s,
                                u"Label14 shown"_s, QString()}));
    // The main window takes the stored account afterwards; the connection is closed.
    QCOMPARE(f.un, u"  demo  "_s);
    QVERIFY(!d.Winsock1->isConnected());
}

QTEST_MAIN(TestForm2)
#include "tst_form2.moc"
