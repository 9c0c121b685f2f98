// The login rules with a clock of the test's own: failures and locks counted
// per user name and client address, and guesses sent all at once.
#include "videosite/site/loginguard.h"
#include "videosite/site/passwordchecker.h"
#include "videosite/site/store.h"

#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using videosite::LoginGuard;
using videosite::LoginResult;
using videosite::LoginVerdict;

namespace {

constexpr qint64 Window = 100;

// The verdicts as the steps below name them.
QString verdictName(LoginVerdict verdict)
{
    return QStringList{u"in"_s, u"check"_s, u"wrong"_s, u"wait"_s}.value(int(verdict));
}

// A store with the accounts ann/right and bob/pw, a guard on it with a window
// of 100 s and five failures, and the time as the test sets it.
struct Site
{
    QTemporaryDir dir;
    videosite::Store store{dir.path()};
    videosite::PasswordChecker checker{2};
    qint64 now = 0;
    LoginGuard guard{store, videosite::LoginPolicy{5, Window, 3600}, checker,
                     [this] { return now; }};

    bool open()
    {
        // Few rounds: the rules are under test here, not the hash.
        return store.open() && store.setAccount(u"ann"_s, "right", 0, 1000)
               && store.setAccount(u"bob"_s, "pw", 0, 1000);
    }
};

} // namespace

class TestVideositeLogin : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void rules_data();
    void rules();
};

void TestVideositeLogin::rules_data()
{
    // Each step: "TIME ADDRESS USER PASSWORD OUTCOME"; "-" is an empty field.
    // A step is sent once those before it are decided; one marked "&", at once.
    QTest::addColumn<QStringList>("steps");
    const QStringList fiveFailures = {u"0 a ann x wrong"_s, u"1 a ann x wrong"_s,
                                      u"2 a ann x wrong"_s, u"3 a ann x wrong"_s,
                                      u"4 a ann x wrong"_s};
    QTest::newRow("five failures lock the name for that address only")
        << fiveFailures
               + QStringList{u"5 a ann right wait"_s, u"5 b ann right in"_s, u"5 a bob pw in"_s};
    QTest::newRow("four lock nothing; the lock lasts one window from the fifth")
        << fiveFailures.mid(0, 4)
               + QStringList{u"10 a ann x wrong"_s, u"109 a ann right wait"_s,
                             u"110 a ann right in"_s};
    QTest::newRow("guesses during the lock do not lengthen it")
        << fiveFailures
               + QStringList{u"50 a ann x wait"_s, u"103 a ann x wait"_s, u"104 a ann right in"_s};
    QTest::newRow("failures older than the window do not count")
        << fiveFailures.mid(0, 4) + QStringList{u"101 a ann x wrong"_s, u"101 a ann right in"_s};
    QTest::newRow("a success clears the failures")
        << fiveFailures.mid(0, 4)
               + QStringList{u"5 a ann right in"_s, u"6 a ann x wrong"_s, u"7 a ann right in"_s};
    QTest::newRow("an unknown name is locked the same way")
        << QStringList(5, u"0 a ghost x wrong"_s) + QStringList{u"1 a ghost x wait"_s};
    QTest::newRow("missing fields are not failures")
        << QStringList(5, u"0 a ann - check"_s)
               + QStringList{u"0 a - x check"_s, u"1 a ann right in"_s};
    QStringList guesses;
    for (int i = 0; i < 8; ++i)
        guesses.append(u"&0 a ann guess%1 %2"_s.arg(i).arg(i < 5 ? u"wrong"_s : u"wait"_s));
    QTest::newRow("guesses sent at once count as if one by one; another address is unaffected")
        << guesses + QStringList{u"&0 a ann right wait"_s, u"&0 b ann right in"_s};
}

void TestVideositeLogin::rules()
{
    QFETCH(QStringList, steps);
    QStringList verdicts(steps.size());
    qsizetype decided = 0;
    Site site; // after what its callbacks write to
    QVERIFY(site.open());
    for (qsizetype i = 0; i < steps.size(); ++i) {
        if (!steps[i].startsWith(u'&'))
            QTRY_COMPARE_WITH_TIMEOUT(decided, i, 20000);
        const QStringList words = steps[i].mid(steps[i].startsWith(u'&') ? 1 : 0).split(u' ');
        QCOMPARE(words.size(), 5);
        const auto field = [](const QString &word) { return word == u"-"_s ? QString() : word; };
        site.now = words[0].toLongLong();
        site.guard.attempt(field(words[2]), field(words[3]).toUtf8(), words[1],
                           [&verdicts, &decided, i](const LoginResult &r) {
                               // A session cookie comes with a login, and only then.
                               const bool cookie = !r.sessionCookie.isEmpty();
                               verdicts[i] = verdictName(r.verdict)
                                             + (cookie == (r.verdict == LoginVerdict::LoggedIn)
                                                    ? QString()
                                                    : u" with a wrong cookie"_s);
                               ++decided;
                           });
    }
    QTRY_COMPARE_WITH_TIMEOUT(decided, steps.size(), 20000);
    for (qsizetype i = 0; i < steps.size(); ++i)
        QVERIFY2(verdicts[i] == steps[i].section(u' ', 4),
                 qPrintable(steps[i] + u" -> "_s + verdicts[i]));
}

QTEST_GUILESS_MAIN(TestVideositeLogin)
#include "tst_videosite_login.moc"
