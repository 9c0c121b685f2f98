#include "account/form2.h"

#include "dialogdriver.h"
#include "siteprocess.h"

#include <QTest>

namespace {

// "&" and "=" would cut the field, "+" would become a space and "%41" an "A"
// if the password went out unencoded.
const QString Password = u"p&w=+d %41 é"_s;

} // namespace

// The account dialog against the stand-in video site, run as a separate
// process on ephemeral loopback ports.
class TestForm2Site : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void check_data();
    void check();
};

void TestForm2Site::check_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("failuresBefore");
    QTest::addColumn<QString>("message");
    const QString incorrect = u"Sorry, your login was incorrect."_s;
    QTest::newRow("name with surrounding spaces") << u"  demo  "_s << Password << 0 << Success;
    QTest::newRow("\"+\" read as a space") << u"demo"_s << u"p&w= d %41 é"_s << 0 << incorrect;
    QTest::newRow("\"%41\" read as \"A\"") << u"demo"_s << u"p&w=+d A é"_s << 0 << incorrect;
    QTest::newRow("\"é\" as \"e\"") << u"demo"_s << u"p&w=+d %41 e"_s << 0 << incorrect;
    QTest::newRow("locked out after five failures")
        << u"demo"_s << Password << 5
        << u"You had too many login failures. Please wait before trying to login again."_s;
}

void TestForm2Site::check()
{
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(int, failuresBefore);
    QFETCH(QString, message);
    SiteProcess site;
    QVERIFY2(site.start(), qPrintable(site.errorString()));
    QVERIFY(site.addAccount(u"demo"_s, Password));
    AccountSetup s(site.sitePort(), QString(), QString());
    Form1 &f = *s.main;
    Form2 d(f);
    d.show();
    for (int i = 1; i <= failuresBefore; ++i) {
        Save(d, u"demo"_s, u"wrong"_s);
        QTRY_COMPARE_WITH_TIMEOUT(s.t.messages.shown.size(), i, 10000);
    }
    Save(d, user, password);
    QTRY_COMPARE_WITH_TIMEOUT(s.t.messages.shown.size(), failuresBefore + 1, 10000);
    QCOMPARE(s.t.messages.shown.last().text, message);

    // Only an accepted account is stored, as typed, and shown on the main window.
    const bool accepted = message == Success;
    QCOMPARE(d.isHidden(), accepted);
    QCOMPARE(Input(d), !accepted);
    QCOMPARE(s.t.setting(u"un"_s), accepted ? user : QString());
    QCOMPARE(s.t.setting(u"pw"_s), accepted ? password : QString());
    QCOMPARE(f.un, accepted ? user : QString());
    QCOMPARE(f.pw, accepted ? password : QString());
    QCOMPARE(f.Picture2->pictureText(), accepted ? u"My account"_s : u"Set account"_s);
    QCOMPARE(f.Label14->isHidden(), !accepted);
}

QTEST_MAIN(TestForm2Site)
#include "tst_form2_site.moc"
