#include "account/form2.h"

#include "dialogdriver.h"

#include <QApplication>
#include <QByteArray>
#include <QList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

namespace {

// A login page on an ephemeral loopback port: it answers each whole request
// with the chunks of `answer`, the first after `delayMs`, the next 100 ms
// apart; with no answer it stays silent.
class FakeLoginSite : public QObject
{
public:
    FakeLoginSite()
    {
        server.listen(QHostAddress::LocalHost, 0);
        connect(&server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = server.nextPendingConnection()) {
                ++connections;
                connect(s, &QTcpSocket::disconnected, this, [this] { ++disconnections; });
                connect(s, &QTcpSocket::readyRead, this, [this, s] {
                    // Whole once the body and its blank line follow the headers.
                    if (s->peek(s->bytesAvailable()).count("\r\n\r\n") < 2)
                        return;
                    s->readAll();
                    ++requests;
                    for (int i = 0; i < answer.size(); ++i) {
                        QTimer::singleShot(delayMs + i * 100, s, [s, chunk = answer.at(i)] {
                            if (s->state() == QAbstractSocket::ConnectedState)
                                s->write(chunk);
                        });
                    }
                });
            }
        });
    }
    quint16 port() const { return server.serverPort(); }

    QList<QByteArray> answer;
    int delayMs = 0;
    int connections = 0, disconnections = 0, requests = 0;

private:
    QTcpServer server;
};

// A port on which nothing listens.
quint16 ClosedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

const QByteArray Head = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n";
const QByteArray Cookie = "HTTP/1.1 302 Found\r\nSet-Cookie: LOGIN_INFO=abc; path=/\r\n\r\n";

} // namespace

class TestForm2 : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void rejection_data();
    void rejection();
    void closingAbandonsTheCheck_data();
    void closingAbandonsTheCheck();
    void spacesOnly_data();
    void spacesOnly();
    void enterMovesAndNeverSaves_data();
    void enterMovesAndNeverSaves();
    void typingLimit_data();
    void typingLimit();
    void acceptanceOrder();
};

void TestForm2::rejection_data()
{
    QTest::addColumn<QList<QByteArray>>("answer"); // none: nothing listens
    QTest::addColumn<QString>("message");
    QTest::newRow("too many failures")
        << QList<QByteArray>{Head + "<p>You had too many login failures. Please wait.</p>"}
        << u"You had too many login failures. Please wait before trying to login again."_s;
    QTest::newRow("check your")
        << QList<QByteArray>{Head + "Please check your username and password."}
        << u"Please check your username or password."_s;
    QTest::newRow("incorrect, in a later piece")
        << QList<QByteArray>{Head + "<html>", "Sorry, your login was incorrect.</html>"}
        << u"Sorry, your login was incorrect."_s;
    QTest::newRow("rejection beside the cookie")
        << QList<QByteArray>{Cookie + "Please check your username"}
        << u"Please check your username or password."_s;
    QTest::newRow("site unreachable") << QList<QByteArray>{} << u"Connection error!"_s;
}

void TestForm2::rejection()
{
    QFETCH(QList<QByteArray>, answer);
    QFETCH(QString, message);
    FakeLoginSite site;
    site.answer = answer;
    AccountSetup s(answer.isEmpty() ? ClosedPort() : site.port(), u"old"_s, u"oldpw"_s);
    Form2 d(*s.main);
    d.show();
    // Each Save asks again after a rejection.
    for (int attempt = 1; attempt <= 2; ++attempt) {
        Save(d, u" new "_s, u"newpw"_s);
        QVERIFY(!Input(d));
        QTRY_COMPARE_WITH_TIMEOUT(s.t.messages.shown.size(), attempt, 10000);
        QCOMPARE(s.t.messages.shown.last().text, message);
        QCOMPARE(s.t.messages.shown.last().icon, MsgIcon::Critical);
        QVERIFY(Input(d));
        QCOMPARE(d.focusWidget(), d.Text1);
        QCOMPARE(d.Text1->selectedText(), u" new "_s);
        QVERIFY(s.untouched());
    }
    QCOMPARE(site.connections, answer.isEmpty() ? 0 : 2);
    QTRY_COMPARE(site.disconnections, site.connections);
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
    FakeLoginSite site;
    site.answer = {Cookie};
    site.delayMs = 500; // later than the closing
    AccountSetup s(site.port(), u"old"_s, u"oldpw"_s);
    Form2 d(*s.main);
    d.show();
    QApplication::setActiveWindow(&d);
    QVERIFY(QTest::qWaitForWindowActive(&d));
    Save(d, u"new"_s, u"newpw"_s);
    QTRY_COMPARE(site.requests, 1);
    if (escape)
        QTest::keyClick(&d, Qt::Key_Escape);
    else
        QTest::mouseClick(d.Label6, Qt::LeftButton);
    QTRY_VERIFY(d.isHidden());
    QCOMPARE(d.result(), int(QDialog::Rejected));
    // The connection went with the dialog; the acceptance reaches nobody.
    QTRY_COMPARE(site.disconnections, 1);
    QTest::qWait(site.delayMs + 200);
    QVERIFY(s.t.messages.shown.isEmpty());
    QVERIFY(s.untouched());
}

void TestForm2::spacesOnly_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("message");
    QTest::newRow("user name") << u"   "_s << u"pw"_s << u"Please enter your username."_s;
    QTest::newRow("password") << u" a b "_s << u"    "_s << u"Please enter your password."_s;
}

void TestForm2::spacesOnly()
{
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, message);
    FakeLoginSite site;
    AccountSetup s(site.port(), u"old"_s, u"oldpw"_s);
    Form2 d(*s.main);
    d.show();
    QTRY_VERIFY(!d.Timer1->isActive());
    Save(d, user, password);
    QCOMPARE(s.t.messages.texts(), QStringList{message});
    QCOMPARE(d.focusWidget(), message.contains(u"username"_s) ? d.Text1 : d.Text2);
    QTest::qWait(100);
    QCOMPARE(site.connections, 0);
    QVERIFY(Input(d));
    QVERIFY(s.untouched());
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
    AccountSetup s(site.port(), u"old"_s, u"oldpw"_s);
    Form2 d(*s.main);
    d.show();
    QTRY_VERIFY(!d.Timer1->isActive());
    QTest::keyClick(d.Text1, Qt::Key(key));
    QCOMPARE(d.focusWidget(), d.Text2);
    QCOMPARE(d.Text2->selectedText(), u"oldpw"_s);
    QTest::keyClick(d.Text2, Qt::Key(key));
    QCOMPARE(d.focusWidget(), d.Text1);
    QCOMPARE(d.Text1->selectedText(), u"old"_s);
    QTest::qWait(100);
    QVERIFY(Input(d));
    QCOMPARE(site.connections, 0);
    QVERIFY(s.t.messages.shown.isEmpty());
}

void TestForm2::typingLimit_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("keys"); // typed at the end; "<" is Backspace
    QTest::addColumn<QString>("expected");
    const QString longer = u"0123456789012345678901"_s;
    QTest::newRow("typing stops at 20") << QString() << u"abcdefghijklmnopqrstuvwxy"_s
                                        << u"abcdefghijklmnopqrst"_s;
    QTest::newRow("longer stored value shown whole") << longer << u"xy"_s << longer;
    QTest::newRow("and not lengthened once shortened") << longer << u"<xy"_s << longer.left(21);
    QTest::newRow("shortened below the limit") << longer << u"<<<xy"_s << longer.left(19) + u'x';
}

void TestForm2::typingLimit()
{
    QFETCH(QString, stored);
    QFETCH(QString, keys);
    QFETCH(QString, expected);
    AccountSetup s(ClosedPort(), stored, stored);
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
    FakeLoginSite site;
    site.answer = {Cookie};
    AccountSetup s(site.port(), QString(), QString());
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
    QCOMPARE(f.un, u"  demo  "_s);
    QCOMPARE(f.pw, u" pw x "_s);
    QVERIFY(!f.isHidden());
    QTRY_COMPARE(site.disconnections, 1);
}

QTEST_MAIN(TestForm2)
#include "tst_form2.moc"
