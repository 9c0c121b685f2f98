#include "account/form2.h"

#include "dialogdriver.h"
#include "siteprocess.h"

#include <QTest>

// The account dialog against the stand-in video site, run as a separate
// process on ephemeral loopback ports.
class TestForm2Site : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void check();
};

void TestForm2Site::check()
{
    // "&" and "=" would cut the field, "+" would become a space and "%41" an
    // "A" if the password went out unencoded.
    const QString password = u"p&w=+d %41 é"_s;
    SiteProcess site;
    QVERIFY2(site.start(), qPrintable(site.errorString()));
    QVERIFY(site.addAccount(u"demo"_s, password));
    TestPlatform t;
    t.platform.routes.add(QString::fromLatin1(SiteHost), SitePort, u"127.0.0.1"_s, site.sitePort());
    t.setSetting(u"check1"_s, u"1"_s);
    Form1 f(t.platform);
    Form2 d(f);
    d.show();

    // The site tells a near miss ("+" read as a space) from the password; nothing is stored.
    Save(d, u"demo"_s, u"p&w= d %41 é"_s);
    QTRY_COMPARE_WITH_TIMEOUT(t.messages.texts(),
                              QStringList{u"Sorry, your login was incorrect."_s}, 10000);
    QVERIFY(Input(d) && t.setting(u"pw"_s).isEmpty() && f.pw.isEmpty());

    // The right one is accepted and stored as typed, the name's spaces included.
    Save(d, u"  demo  "_s, password);
    QTRY_COMPARE_WITH_TIMEOUT(t.messages.shown.size(), 2, 10000);
    QCOMPARE(t.messages.shown[1].text, Success);
    QVERIFY(d.isHidden());
    QCOMPARE(t.setting(u"un"_s), u"  demo  "_s);
    QCOMPARE(t.setting(u"pw"_s), password);
    QCOMPARE(f.pw, password);
}

QTEST_MAIN(TestForm2Site)
#include "tst_form2_site.moc"
