// The site named at run time: the connections go to its host and port, the
// Host lines and the watch address carry its authority as it was given.
#include "site/siteaddress.h"

#include "account/accountcheck.h"
#include "fakesite.h"
#include "site/login.h"
#include "site/metadataform.h"
#include "site/routes.h"
#include "site/uploadpage.h"
#include "site/uploadsession.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace uplark;

class TestSiteAddress : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void uploadAndAccountCheck_data();
    void uploadAndAccountCheck();
};

void TestSiteAddress::uploadAndAccountCheck_data()
{
    QTest::addColumn<QString>("address");    // "%1" stands for the fake site's port
    QTest::addColumn<QString>("routedHost"); // routed with its port to the fake; none when empty
    QTest::addColumn<int>("routedPort");
    QTest::newRow("address and port") << u"127.0.0.1:%1"_s << QString() << 0;
    QTest::newRow("name with a port of its own")
        << u"Videos.Example:8123"_s << u"videos.example"_s << 8123;
    QTest::newRow("name without port") << u"videos.example"_s << u"videos.example"_s << 80;
}

void TestSiteAddress::uploadAndAccountCheck()
{
    QFETCH(QString, address);
    QFETCH(QString, routedHost);
    QFETCH(int, routedPort);
    FakeSite site;
    QVERIFY(site.start());
    RouteTable routes;
    site.route(routes); // the upload host of the form
    if (!routedHost.isEmpty())
        routes.add(routedHost, quint16(routedPort), u"127.0.0.1"_s, site.sitePort());
    const QString text = address.contains(u"%1"_s) ? address.arg(site.sitePort()) : address;
    SiteAddress at;
    QVERIFY(ParseSiteAddress(text, &at, nullptr));
    const QByteArray authority = text.toLatin1();

    AccountCheck check(routes, at);
    QSignalSpy checked(&check, &AccountCheck::finished);
    check.start(u"user"_s, u"secret"_s);
    QTRY_COMPARE_WITH_TIMEOUT(checked.size(), 1, 10000);
    QCOMPARE(checked[0][0].value<AccountCheckResult>(), AccountCheckResult::Accepted);
    QCOMPARE(site.received[FakeSite::Login], LoginRequest(authority, u"user"_s, u"secret"_s));

    QTemporaryDir dir;
    QFile file(dir.filePath(u"clip.wmv"_s));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(QByteArray(5000, 'v')) == 5000);
    file.close();
    UploadSession session(routes, at);
    session.setPauseBeforePost(0);
    QSignalSpy finished(&session, &UploadSession::finished);
    QSignalSpy failed(&session, &UploadSession::failed);
    session.start({u"user"_s, u"secret"_s}, file.fileName(), {"t", "d", "g", "1"});
    QTRY_COMPARE_WITH_TIMEOUT(finished.size() + failed.size(), 1, 15000);
    QCOMPARE(failed.size(), 0);
    QCOMPARE(finished[0][0].toString(), u"http://"_s + text + u"/watch?v=vid42"_s);
    const QByteArray cookie = session.loginCookie();
    QCOMPARE(site.received[FakeSite::Login], LoginRequest(authority, u"user"_s, u"secret"_s));
    QCOMPARE(site.received[FakeSite::UploadPage], UploadPageRequest(authority, cookie));
    QCOMPARE(site.received[FakeSite::MetadataForm], MetadataRequest(authority, cookie));
}

QTEST_GUILESS_MAIN(TestSiteAddress)
#include "tst_siteaddress.moc"
