#include "account/form2.h"

#include "dialogdriver.h"
#include "siteprocess.h"

#include <QTest>

// "&" and "=" would cut the field, "+" would become a space and "%41" an "A"
// if the password went out unencoded.
const QString Password = u"p&w=+d %41 é"_s;

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
    QTest::addColumn<QString>("message");
    QTest::newRow("name with surrounding spaces") << u"  demo  "_s << Password << Success;
    QTest::newRow("\"+\" read as a space")
        << u"demo"_s << u"p&w= d %41 é"_s << u"Sorry, your login was incorrect."_s;
}

void TestForm2Site::check()
{
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, message);
    SiteProcess site;
    QVERIFY2(site.start(), qPrintable(site.errorString()));
    QVERIFY(site.addAccount(u"demo"_s, Password));
    TestPlatform t;
    t.platform.routes.add(QString::fromLatin1(SiteHost), SitePort, u"127.0.0.1"_s, site.sitePort());
    t.setSetting(u"check1"_s, u"1"_s);
    Form1 f(t.platform);
    Form2 d(f);
    d.show();
    Save(d, user, password);
    QTRY_COMPARE_WITH_TIMEOUT(t.messages.texts(), QStringList{message}, 10000);

    // Only an accepted account is stored, as typed.
    const bool accepted = message == Success;
    QCOMPARE(Input(d), !accepted);
    QCOMPARE(t.setting(u"un"_s), accepted ? user : QString());
    QCOMPARE(t.setting(u"pw"_s), accepted ? password : QString());
    QCOMPARE(f.pw, accepted ? password : QString());
}

QTEST_MAIN(TestForm2Site)
#include "tst_form2_site.moc"
