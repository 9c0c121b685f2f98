// The account check against a scripted site in this process.
#include "account/accountcheck.h"

#include "fakesite.h"
#include "site/login.h"
#include "site/routes.h"

#include "uplark_config.h"

#include <QByteArrayList>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace uplark;

Q_DECLARE_METATYPE(uplark::AccountCheckResult)

class TestAccountCheck : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void outcome_data();
    void outcome();
};

void TestAccountCheck::outcome_data()
{
    // An incorrect login and an unreachable site: see the account dialog's
    // rejection; an acceptance: the upload session's site named at run time.
    QTest::addColumn<QByteArrayList>("answer");
    QTest::addColumn<AccountCheckResult>("result");
    QTest::addColumn<QString>("message");
    QTest::newRow("too many failures")
        << QByteArrayList{"HTTP/1.1 200 OK\r\n\r\n<p>You had too many login failures.</p>"}
        << AccountCheckResult::TooManyFailures
        << u"You had too many login failures. Please wait before trying to login again."_s;
    QTest::newRow("rejection beside the cookie")
        << QByteArrayList{"HTTP/1.1 302 Found\r\nSet-Cookie: LOGIN_INFO=abc; path=/\r\n\r\n"
                          "Please check your username"}
        << AccountCheckResult::CheckYour << u"Please check your username or password."_s;
    QTest::newRow("closed after part of an answer")
        << QByteArrayList{"HTTP/1.1 200 OK\r\n", "close"} << AccountCheckResult::ConnectionError
        << u"Connection error!"_s;
}

void TestAccountCheck::outcome()
{
    QFETCH(QByteArrayList, answer);
    QFETCH(AccountCheckResult, result);
    FakeSite site;
    QVERIFY(site.start());
    // A last piece "close" stands for the site closing the connection there.
    if (answer.endsWith("close")) {
        answer.removeLast();
        site.scripts[FakeSite::Login].end = FakeSite::End::Close;
    }
    site.scripts[FakeSite::Login].pieces = answer;
    RouteTable routes;
    site.route(routes);
    AccountCheck check(routes);
    QSignalSpy finished(&check, &AccountCheck::finished);
    // The texts go out exactly as given.
    check.start(u" name "_s, u"p&w"_s);
    QVERIFY(check.isRunning());
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 10000);
    QCOMPARE(finished[0][0].value<AccountCheckResult>(), result);
    QTEST(AccountCheckMessage(result), "message");
    QVERIFY(!check.isRunning());
    QCOMPARE(site.received[FakeSite::Login], LoginRequest(SiteHost, u" name "_s, u"p&w"_s));
    // One report, however much more the site sends.
    QTest::qWait(200);
    QCOMPARE(finished.size(), 1);
}

QTEST_GUILESS_MAIN(TestAccountCheck)
#include "tst_accountcheck.moc"
