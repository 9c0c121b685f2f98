#include "site/login.h"

#include "uplark_config.h"

#include <QTest>

using namespace Qt::StringLiterals;
using namespace uplark;

class TestLogin : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void bodyLength_data();
    void bodyLength();
    void requestBytes();
    void encoding_data();
    void encoding();
    void scan_data();
    void scan();
    void cookie_data();
    void cookie();
};

void TestLogin::bodyLength_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("length");
    QTest::newRow("one letter each") << u"a"_s << u"b"_s << 83;
    QTest::newRow("both empty") << QString() << QString() << 81;
    QTest::newRow("ampersand is escaped") << QString() << u"&"_s << 84;
}

void TestLogin::bodyLength()
{
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(int, length);
    QCOMPARE(LoginBody(user, password).size(), length);
    const QByteArray request = LoginRequest("site", user, password);
    QVERIFY(request.contains("\r\nContent-Length: " + QByteArray::number(length) + "\r\n"));
}

void TestLogin::requestBytes()
{
    const QByteArray expected =
        "POST /signup?next=/my_account HTTP/1.1\r\n"
        "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*\r\n"
        "Accept-Language: en-GB\r\n"
        "User-Agent: Uplark 1.0 ("
        + QByteArray(ConversionHost)
        + ")\r\n"
          "Content-Length: 83\r\n"
          "Content-Type: application/x-www-form-urlencoded\r\n"
          "Host: www.example.test\r\n"
          "Connection: Keep-Alive\r\n"
          "\r\n"
          "current_form=loginForm&next=%2Fmy_account&username=u&password=p&action_login=Log+In"
          "\r\n\r\n";
    QCOMPARE(LoginRequest("www.example.test", u"u"_s, u"p"_s), expected);
}

void TestLogin::encoding_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("encoded");
    QTest::newRow("unreserved kept") << u"Az09*-._"_s << QByteArray("Az09*-._");
    QTest::newRow("space as plus") << u"a b"_s << QByteArray("a+b");
    QTest::newRow("delimiters escaped") << u"&=+%"_s << QByteArray("%26%3D%2B%25");
    QTest::newRow("non-ASCII as UTF-8") << u"é"_s << QByteArray("%C3%A9");
}

void TestLogin::encoding()
{
    QFETCH(QString, value);
    QFETCH(QByteArray, encoded);
    QCOMPARE(FormUrlEncode(value), encoded);
}

void TestLogin::scan_data()
{
    QTest::addColumn<QByteArray>("piece");
    QTest::addColumn<int>("outcome");
    QTest::newRow("check your") << QByteArray("Please check your username and password.")
                                << int(LoginOutcome::CheckYour);
    QTest::newRow("cookie") << QByteArray("Set-Cookie: LOGIN_INFO=abc; path=/;\r\n")
                            << int(LoginOutcome::LoggedIn);
    QTest::newRow("rejection wins over cookie")
        << QByteArray("Set-Cookie: LOGIN_INFO=abc\r\n\r\nPlease check your username")
        << int(LoginOutcome::CheckYour);
    QTest::newRow("first rejection in marker order wins")
        << QByteArray("Sorry, your login was incorrect. You had too many")
        << int(LoginOutcome::TooManyFailures);
    QTest::newRow("other case ignored")
        << QByteArray("login_info=1 PLEASE CHECK YOUR sorry, your login was incorrect.")
        << int(LoginOutcome::NoDecision);
    QTest::newRow("incorrect without full stop")
        << QByteArray("Sorry, your login was incorrect") << int(LoginOutcome::NoDecision);
}

void TestLogin::scan()
{
    QFETCH(QByteArray, piece);
    QFETCH(int, outcome);
    QCOMPARE(int(ScanLoginAnswer(piece)), outcome);
}

void TestLogin::cookie_data()
{
    QTest::addColumn<QByteArray>("piece");
    QTest::addColumn<QByteArray>("cookie");
    QTest::newRow("set-cookie with attributes")
        << QByteArray("HTTP/1.1 302 Found\r\nSet-Cookie: LOGIN_INFO=s3ss10n; path=/; HttpOnly\r\n"
                      "Location: /my_account\r\n\r\n")
        << QByteArray("LOGIN_INFO=s3ss10n");
    QTest::newRow("no path: up to the line end")
        << QByteArray("Set-Cookie: LOGIN_INFO=abc; HttpOnly\r\nX: y")
        << QByteArray("LOGIN_INFO=abc; HttpOnly");
    QTest::newRow("first occurrence, outside a header")
        << QByteArray("<b>LOGIN_INFO</b>\r\nSet-Cookie: LOGIN_INFO=zzz; path=/;")
        << QByteArray("LOGIN_INFO</b>");
    QTest::newRow("cut at the second marker")
        << QByteArray("LOGIN_INFO=aLOGIN_INFO=b") << QByteArray("LOGIN_INFO=a");
    // A control character ends the value: nothing after it reaches a request.
    QTest::newRow("bare LF before a header of the site's choosing")
        << QByteArray("Set-Cookie: LOGIN_INFO=abc\nHost: evil.example\r\n")
        << QByteArray("LOGIN_INFO=abc");
    QTest::newRow("bare CR") << QByteArray("LOGIN_INFO=abc\rX-Injected: 1")
                             << QByteArray("LOGIN_INFO=abc");
    QTest::newRow("NUL") << QByteArray("LOGIN_INFO=ab\0cd; path=/;", 25)
                         << QByteArray("LOGIN_INFO=ab");
    QTest::newRow("tab") << QByteArray("LOGIN_INFO=a\tb") << QByteArray("LOGIN_INFO=a");
    QTest::newRow("DEL") << QByteArray("LOGIN_INFO=a\x7f b") << QByteArray("LOGIN_INFO=a");
}

void TestLogin::cookie()
{
    QFETCH(QByteArray, piece);
    QFETCH(QByteArray, cookie);
    QCOMPARE(LoginCookie(piece), cookie);
}

QTEST_APPLESS_MAIN(TestLogin)
#include "tst_login.moc"
