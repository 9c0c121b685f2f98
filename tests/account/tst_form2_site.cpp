#include "account/form2.h"

#include "dialogdriver.h"
#include "doubles.h"
#include "siteprocess.h"
#include "uplark_config.h"

#include <QLineEdit>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

// The account dialog against the stand-in video site, run as a separate
// process on ephemeral loopback ports.
class TestForm2Site : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void goodAccountFromMainWindow();
    void passwordArrivesAsTyped_data();
    void passwordArrivesAsTyped();
    void rejected_data();
    void rejected();
    void tooManyFailures();
    void siteGone();

private:
    // The main window with the site routed to the stand-in, the intro skipped
    // and `user`/`password` stored.
    Form1 &makeMain(const QString &user = {}, const QString &password = {});
    // Types the account into the dialog and presses Save; returns the message
    // shown, or "" when the dialog closed without one.
    QString check(Form2 &d, const QString &user, const QString &password);

    std::unique_ptr<SiteProcess> m_site;
    std::unique_ptr<TestPlatform> m_t;
    std::unique_ptr<Form1> m_main;
};

void TestForm2Site::init()
{
    m_site = std::make_unique<SiteProcess>();
    QVERIFY2(m_site->start(), qPrintable(m_site->errorString()));
    m_t = std::make_unique<TestPlatform>();
    m_t->platform.routes.add(QString::fromLatin1(SiteHost), SitePort, u"127.0.0.1"_s,
                             m_site->sitePort());
    m_t->setSetting(u"check1"_s, u"1"_s);
}

void TestForm2Site::cleanup()
{
    m_main.reset();
    m_t.reset();
    m_site.reset();
}

Form1 &TestForm2Site::makeMain(const QString &user, const QString &password)
{
    if (!user.isNull()) {
        m_t->setSetting(u"un"_s, user);
        m_t->setSetting(u"pw"_s, password);
    }
    m_main = std::make_unique<Form1>(m_t->platform);
    return *m_main;
}

QString TestForm2Site::check(Form2 &d, const QString &user, const QString &password)
{
    const qsizetype before = m_t->messages.shown.size();
    d.Text1->setText(user);
    d.Text2->setText(password);
    QTest::mouseClick(d.Label7, Qt::LeftButton);
    if (!QTest::qWaitFor([&] { return m_t->messages.shown.size() > before; }, 20000))
        return u"(no answer)"_s;
    return m_t->messages.shown.last().text;
}

void TestForm2Site::goodAccountFromMainWindow()
{
    QVERIFY(m_site->addAccount(u"demo"_s, u"s3cret pw"_s));
    Form1 &f = makeMain();
    f.show();
    QVERIFY(f.Label14->isHidden());
    QVERIFY(OpenAccountDialog(f, [](Form2 &d) {
        // Surrounding spaces are not sent, but they are stored.
        d.Text1->setText(u"  demo  "_s);
        d.Text2->setText(u"s3cret pw"_s);
        QTest::mouseClick(d.Label7, Qt::LeftButton);
    }));
    QCOMPARE(m_t->messages.texts(),
             QStringList{u"Your YouTube account information has been successfully set on this "
                         "program. You can start uploading videos to your account now."_s});
    QCOMPARE(m_t->setting(u"un"_s), u"  demo  "_s);
    QCOMPARE(m_t->setting(u"pw"_s), u"s3cret pw"_s);
    QVERIFY(!f.Label14->isHidden());
    QCOMPARE(f.Picture2->pictureText(), u"My account"_s);
    QCOMPARE(f.un, u"  demo  "_s);
    QCOMPARE(f.pw, u"s3cret pw"_s);
}

void TestForm2Site::passwordArrivesAsTyped_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("accepted");
    // "&" and "=" would cut the field, "+" would become a space and "%41"
    // an "A" if the password went out unencoded.
    QTest::newRow("exactly as stored") << u"p&w=+d %41 é"_s << true;
    QTest::newRow("as the site would read it unencoded") << u"p"_s << false;
    QTest::newRow("accent dropped") << u"p&w=+d %41 e"_s << false;
}

void TestForm2Site::passwordArrivesAsTyped()
{
    QFETCH(QString, typed);
    QFETCH(bool, accepted);
    QVERIFY(m_site->addAccount(u"enc"_s, u"p&w=+d %41 é"_s));
    Form1 &f = makeMain();
    Form2 d(f);
    d.show();
    const QString message = check(d, u"enc"_s, typed);
    if (accepted) {
        QVERIFY2(message.startsWith(u"Your YouTube account information has been successfully"_s),
                 qPrintable(message));
        QCOMPARE(m_t->setting(u"pw"_s), typed);
        QVERIFY(d.isHidden());
    } else {
        QCOMPARE(message, u"Sorry, your login was incorrect."_s);
        QCOMPARE(m_t->setting(u"pw"_s), QString());
        QVERIFY(!d.isHidden());
    }
}

void TestForm2Site::rejected_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::newRow("wrong password") << u"demo"_s << u"wrong"_s;
    QTest::newRow("unknown user") << u"nobody"_s << u"s3cret"_s;
}

void TestForm2Site::rejected()
{
    QFETCH(QString, user);
    QFETCH(QString, password);
    QVERIFY(m_site->addAccount(u"demo"_s, u"s3cret"_s));
    Form1 &f = makeMain(u"old"_s, u"oldpw"_s);
    Form2 d(f);
    d.show();
    QCOMPARE(check(d, user, password), u"Sorry, your login was incorrect."_s);
    QCOMPARE(m_t->messages.shown.last().icon, MsgIcon::Critical);
    QVERIFY(!d.isHidden());
    QVERIFY(!d.Picture5->isHidden());
    QVERIFY(d.Picture4->isHidden());
    QCOMPARE(m_t->setting(u"un"_s), u"old"_s);
    QCOMPARE(m_t->setting(u"pw"_s), u"oldpw"_s);
    QCOMPARE(f.un, u"old"_s);

    // The dialog is ready for another try, which the site accepts.
    QVERIFY(check(d, u"demo"_s, u"s3cret"_s).startsWith(u"Your YouTube account"_s));
    QCOMPARE(m_t->setting(u"un"_s), u"demo"_s);
}

void TestForm2Site::tooManyFailures()
{
    QVERIFY(m_site->addAccount(u"demo"_s, u"s3cret"_s));
    Form1 &f = makeMain(u"old"_s, u"oldpw"_s);
    Form2 d(f);
    d.show();
    for (int attempt = 1; attempt <= 5; ++attempt)
        QCOMPARE(check(d, u"demo"_s, u"wrong%1"_s.arg(attempt)), u"Sorry, your login was incorrect."_s);
    QCOMPARE(check(d, u"demo"_s, u"s3cret"_s),
             u"You had too many login failures. Please wait before trying to login again."_s);
    QCOMPARE(m_t->messages.shown.last().icon, MsgIcon::Critical);
    QVERIFY(!d.isHidden());
    QVERIFY(!d.Picture5->isHidden());
    QCOMPARE(m_t->setting(u"un"_s), u"old"_s);
    QCOMPARE(m_t->setting(u"pw"_s), u"oldpw"_s);
}

void TestForm2Site::siteGone()
{
    Form1 &f = makeMain(u"old"_s, u"oldpw"_s);
    QVERIFY(m_site->stop());
    Form2 d(f);
    d.show();
    QCOMPARE(check(d, u"demo"_s, u"s3cret"_s), u"Connection error!"_s);
    QVERIFY(!d.Picture5->isHidden());
    QVERIFY(d.Picture4->isHidden());
    QCOMPARE(m_t->setting(u"un"_s), u"old"_s);
}

QTEST_MAIN(TestForm2Site)
#include "tst_form2_site.moc"
