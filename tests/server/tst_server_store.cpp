// Unit tests of the site's storage and login rules, with the clock passed in:
// password hashing, the failed-login lock, sessions, upload tickets, and the
// clean-up of what an interrupted upload leaves behind.
#include "server/credentials.h"
#include "server/loginguard.h"
#include "server/store.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 T0 = 1'700'000'000;
constexpr qint64 Window = 900;
// Accounts made only to exercise the login rules need no slow hash; the
// server's own default is checked in passwordsAreSaltedSlowHashes.
constexpr int FastRounds = 1000;

bool touch(const QString &path, const QByteArray &content = "x")
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

} // namespace

class TestServerStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void passwordsAreSaltedSlowHashes();
    void resettingAnAccountChangesPasswordAndEndsSessions();
    void loginOutcomes_data();
    void loginOutcomes();
    void lockout_data();
    void lockout();
    void successClearsEarlierFailures();
    void sessions_data();
    void sessions();
    void tickets_data();
    void tickets();
    void addVideoTakesTheTicketOnce();
    void strayFilesAreRemoved();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Store> m_store;
    qint64 m_alice = 0;
};

void TestServerStore::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_store = std::make_unique<Store>(m_dir->path());
    QVERIFY2(m_store->open(), qPrintable(m_store->errorString()));
    QVERIFY(m_store->setAccount(u"alice"_s, "secret", T0, FastRounds));
    QVERIFY(m_store->setAccount(u"bob"_s, "hunter2", T0, FastRounds));
    m_alice = m_store->account(u"alice"_s)->id;
}

void TestServerStore::cleanup()
{
    m_store.reset();
    m_dir.reset();
}

void TestServerStore::passwordsAreSaltedSlowHashes()
{
    QVERIFY(m_store->setAccount(u"carol"_s, "secret", T0));
    QVERIFY(m_store->setAccount(u"dave"_s, "secret", T0));
    const Account dave = *m_store->account(u"dave"_s);
    const Account carol = *m_store->account(u"carol"_s);
    QVERIFY(dave.password.rounds >= 100000);
    QCOMPARE(dave.password.salt.size(), 16);
    QCOMPARE(dave.password.hash.size(), 32);
    // Same password, different salt, different hash; the password is nowhere.
    QVERIFY(dave.password.salt != carol.password.salt);
    QVERIFY(dave.password.hash != carol.password.hash);
    QVERIFY(!dave.password.hash.contains("secret"));
    QVERIFY(verifyPassword("secret", dave.password));
    QVERIFY(!verifyPassword("Secret", dave.password));
    QVERIFY(!verifyPassword("", dave.password));
}

void TestServerStore::resettingAnAccountChangesPasswordAndEndsSessions()
{
    LoginGuard guard(*m_store, LoginPolicy{});
    const LoginResult first = guard.attempt(u"alice"_s, "secret", T0);
    QCOMPARE(first.outcome, LoginOutcome::LoggedIn);
    QVERIFY(m_store->session(first.sessionCookie, T0 + 1));

    QVERIFY(m_store->setAccount(u"alice"_s, "n3w pass", T0 + 10, FastRounds));
    QCOMPARE(m_store->account(u"alice"_s)->id, m_alice);
    QVERIFY(!m_store->session(first.sessionCookie, T0 + 11));
    QCOMPARE(guard.attempt(u"alice"_s, "secret", T0 + 12).outcome, LoginOutcome::Incorrect);
    QCOMPARE(guard.attempt(u"alice"_s, "n3w pass", T0 + 13).outcome, LoginOutcome::LoggedIn);
}

void TestServerStore::loginOutcomes_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("password");
    QTest::addColumn<LoginOutcome>("outcome");
    QTest::newRow("right") << u"alice"_s << QByteArray("secret") << LoginOutcome::LoggedIn;
    QTest::newRow("wrong password") << u"alice"_s << QByteArray("hunter2") << LoginOutcome::Incorrect;
    QTest::newRow("other account's password") << u"bob"_s << QByteArray("secret") << LoginOutcome::Incorrect;
    QTest::newRow("unknown user") << u"mallory"_s << QByteArray("secret") << LoginOutcome::Incorrect;
    QTest::newRow("name in other case") << u"Alice"_s << QByteArray("secret") << LoginOutcome::Incorrect;
    QTest::newRow("empty name") << QString() << QByteArray("secret") << LoginOutcome::MissingField;
    QTest::newRow("empty password") << u"alice"_s << QByteArray() << LoginOutcome::MissingField;
}

void TestServerStore::loginOutcomes()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, password);
    QFETCH(LoginOutcome, outcome);
    LoginGuard guard(*m_store, LoginPolicy{});
    const LoginResult result = guard.attempt(name, password, T0);
    QCOMPARE(result.outcome, outcome);
    QCOMPARE(result.sessionCookie.isEmpty(), outcome != LoginOutcome::LoggedIn);
    if (outcome == LoginOutcome::LoggedIn)
        QCOMPARE(m_store->session(result.sessionCookie, T0)->accountName, name);
}

void TestServerStore::lockout_data()
{
    // Wrong passwords at these times (seconds after T0), then the right
    // password at `at`.
    QTest::addColumn<QList<qint64>>("failures");
    QTest::addColumn<QString>("name");
    QTest::addColumn<qint64>("at");
    QTest::addColumn<LoginOutcome>("outcome");
    const QList<qint64> fiveQuick = {0, 1, 2, 3, 4};
    QTest::newRow("four failures: not locked") << QList<qint64>{0, 1, 2, 3} << u"alice"_s << qint64(5)
                                               << LoginOutcome::LoggedIn;
    QTest::newRow("five failures: locked") << fiveQuick << u"alice"_s << qint64(5) << LoginOutcome::TooManyFailures;
    QTest::newRow("still locked just before the window ends")
        << fiveQuick << u"alice"_s << qint64(4 + Window - 1) << LoginOutcome::TooManyFailures;
    QTest::newRow("unlocked when the window has passed") << fiveQuick << u"alice"_s << qint64(4 + Window)
                                                         << LoginOutcome::LoggedIn;
    QTest::newRow("failures spread wider than the window")
        << QList<qint64>{0, 300, 600, 899, 901} << u"alice"_s << qint64(902) << LoginOutcome::LoggedIn;
    QTest::newRow("lock is per user name") << fiveQuick << u"bob"_s << qint64(5) << LoginOutcome::LoggedIn;
}

void TestServerStore::lockout()
{
    QFETCH(QList<qint64>, failures);
    QFETCH(QString, name);
    QFETCH(qint64, at);
    QFETCH(LoginOutcome, outcome);
    LoginGuard guard(*m_store, LoginPolicy{5, Window});
    for (const qint64 t : failures)
        QCOMPARE(guard.attempt(u"alice"_s, "wrong", T0 + t).outcome, LoginOutcome::Incorrect);
    const QByteArray password = name == u"bob"_s ? QByteArray("hunter2") : QByteArray("secret");
    QCOMPARE(guard.attempt(name, password, T0 + at).outcome, outcome);
}

void TestServerStore::successClearsEarlierFailures()
{
    LoginGuard guard(*m_store, LoginPolicy{5, Window});
    for (int i = 0; i < 4; ++i)
        guard.attempt(u"alice"_s, "wrong", T0 + i);
    QCOMPARE(guard.attempt(u"alice"_s, "secret", T0 + 5).outcome, LoginOutcome::LoggedIn);
    // Four more failures after the success do not reach five.
    for (int i = 0; i < 4; ++i)
        guard.attempt(u"alice"_s, "wrong", T0 + 6 + i);
    QCOMPARE(guard.attempt(u"alice"_s, "secret", T0 + 11).outcome, LoginOutcome::LoggedIn);
    // Unknown names are counted and locked the same way.
    for (int i = 0; i < 5; ++i)
        QCOMPARE(guard.attempt(u"nobody"_s, "x", T0 + i).outcome, LoginOutcome::Incorrect);
    QCOMPARE(guard.attempt(u"nobody"_s, "x", T0 + 6).outcome, LoginOutcome::TooManyFailures);
}

void TestServerStore::sessions_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("valid");
    QTest::newRow("fresh") << u"none"_s << true;
    QTest::newRow("expired") << u"expire"_s << false;
    QTest::newRow("ended") << u"end"_s << false;
    QTest::newRow("altered cookie") << u"alter"_s << false;
    QTest::newRow("empty cookie") << u"empty"_s << false;
}

void TestServerStore::sessions()
{
    QFETCH(QString, change);
    QFETCH(bool, valid);
    QByteArray cookie = m_store->createSession(m_alice, T0, 3600);
    QCOMPARE(cookie.size(), 43);
    qint64 at = T0 + 10;
    if (change == u"expire"_s)
        at = T0 + 3600;
    else if (change == u"end"_s)
        m_store->endSession(cookie);
    else if (change == u"alter"_s)
        cookie[0] = cookie.at(0) == 'A' ? 'B' : 'A';
    else if (change == u"empty"_s)
        cookie.clear();
    const std::optional<Session> session = m_store->session(cookie, at);
    QCOMPARE(session.has_value(), valid);
    if (valid)
        QCOMPARE(session->accountId, m_alice);
}

void TestServerStore::tickets_data()
{
    QTest::addColumn<QString>("use");
    QTest::addColumn<TicketState>("state");
    QTest::newRow("usable") << u"same session"_s << TicketState::Usable;
    QTest::newRow("usable at the end of its life") << u"last second"_s << TicketState::Usable;
    QTest::newRow("stale") << u"too late"_s << TicketState::Expired;
    QTest::newRow("another session of the same account") << u"second session"_s << TicketState::OtherSession;
    QTest::newRow("another account's session") << u"other account"_s << TicketState::OtherSession;
    QTest::newRow("made up") << u"unknown"_s << TicketState::Unknown;
    QTest::newRow("empty") << u"empty"_s << TicketState::Unknown;
}

void TestServerStore::tickets()
{
    QFETCH(QString, use);
    QFETCH(TicketState, state);
    const Session mine = *m_store->session(m_store->createSession(m_alice, T0, 3600), T0);
    const Session second = *m_store->session(m_store->createSession(m_alice, T0, 3600), T0);
    const qint64 bob = m_store->account(u"bob"_s)->id;
    const Session other = *m_store->session(m_store->createSession(bob, T0, 3600), T0);
    QByteArray ticket = m_store->createTicket(mine, T0);
    QVERIFY(!ticket.isEmpty());

    Session presented = mine;
    qint64 at = T0 + 5;
    if (use == u"last second"_s)
        at = T0 + 60;
    else if (use == u"too late"_s)
        at = T0 + 61;
    else if (use == u"second session"_s)
        presented = second;
    else if (use == u"other account"_s)
        presented = other;
    else if (use == u"unknown"_s)
        ticket = "not-a-ticket";
    else if (use == u"empty"_s)
        ticket.clear();
    QCOMPARE(m_store->ticketState(ticket, presented, at, 60), state);
}

void TestServerStore::addVideoTakesTheTicketOnce()
{
    const Session session = *m_store->session(m_store->createSession(m_alice, T0, 3600), T0);
    const QByteArray ticket = m_store->createTicket(session, T0);
    Video video;
    video.id = randomToken(8);
    video.ownerId = m_alice;
    video.title = QByteArray("T\x00\xC3\xA9", 4);
    video.category = "23";
    video.size = 5;
    video.created = T0;
    QVERIFY(m_store->addVideo(video, ticket, session, T0 - 60));
    QCOMPARE(m_store->ticketState(ticket, session, T0, 60), TicketState::Used);

    Video again = video;
    again.id = randomToken(8);
    QVERIFY(!m_store->addVideo(again, ticket, session, T0 - 60));
    QVERIFY(!m_store->video(again.id));

    const std::optional<Video> stored = m_store->video(video.id);
    QVERIFY(stored);
    QCOMPARE(stored->title, video.title); // byte for byte, NUL included
    QCOMPARE(stored->ownerName, u"alice"_s);
    QCOMPARE(m_store->videosOf(m_alice).size(), 1);
    QCOMPARE(m_store->recentVideos(10).size(), 1);

    // A ticket issued before the allowed time cannot be taken either.
    const QByteArray old = m_store->createTicket(session, T0 - 100);
    again.id = randomToken(8);
    QVERIFY(!m_store->addVideo(again, old, session, T0 - 60));
}

void TestServerStore::strayFilesAreRemoved()
{
    const Session session = *m_store->session(m_store->createSession(m_alice, T0, 3600), T0);
    Video video;
    video.id = "keptVideo01";
    video.ownerId = m_alice;
    video.created = T0;
    QVERIFY(touch(m_store->videoPath(video.id)));
    QVERIFY(m_store->addVideo(video, m_store->createTicket(session, T0), session, T0));

    const QString orphan = m_store->videoPath("noRowForMe1");
    const QString partial = m_store->newTemporaryPath();
    const QString unrelated = QDir(m_store->videoDir()).filePath(u"README"_s);
    QVERIFY(touch(orphan));
    QVERIFY(touch(partial, QByteArray(1000, 'p')));
    QVERIFY(touch(unrelated));
    QVERIFY(partial.startsWith(m_store->videoDir()));

    QStringList removed = m_store->removeStrayFiles();
    removed.sort();
    QStringList expected{orphan, partial};
    expected.sort();
    QCOMPARE(removed, expected);
    QVERIFY(QFile::exists(m_store->videoPath(video.id)));
    QVERIFY(QFile::exists(unrelated));
    QVERIFY(!QFile::exists(orphan));
    QVERIFY(!QFile::exists(partial));
}

QTEST_GUILESS_MAIN(TestServerStore)
#include "tst_server_store.moc"
