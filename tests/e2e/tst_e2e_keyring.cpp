// The password in a real Secret Service: GNOME Keyring on a private D-Bus
// session bus that the test starts itself. The program run from a terminal
// stores the account with the password in the keyring and none in any
// file; a fresh process reads it back and uploads with it; an old password
// in the file moves into the keyring; forgetting removes it from both; with
// no bus the file holds it and the program says so. Two programs storing
// an account at once leave the file's user name and the keyring's entry
// consistent.
#include "e2ekit.h"

#include "engine/model/account.h"
#include "engine/model/desktopkeyring.h"
#include "engine/model/settings.h"
#include "engine/net/siteaddress.h"

#include <QDirIterator>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

using namespace Qt::StringLiterals;
using namespace uplark;

namespace {

const QString Password = u"Keyring-pw-77"_s;
using Result = ProgramResult;

// The keyring's answer to a read of `entry` in this process: "=SECRET",
// "not found" or "unavailable: WHY".
QString keyringHolds(const QString &entry)
{
    DesktopKeyring keyring;
    QString answer;
    QObject context;
    keyring.read(entry, &context, [&](Keyring::Result result, const QString &text) {
        answer = result == Keyring::Result::Done       ? u"="_s + text
                 : result == Keyring::Result::NotFound ? u"not found"_s
                                                       : u"unavailable: "_s + text;
    });
    if (!QTest::qWaitFor([&] { return !answer.isEmpty(); }, 30000))
        return u"no answer"_s;
    return answer;
}

// Whether the keyring takes an entry: once GNOME Keyring has made its
// "login" keyring, a moment after it answers on the bus.
bool keyringTakes(const QString &entry)
{
    DesktopKeyring keyring;
    bool answered = false;
    bool taken = false;
    QObject context;
    keyring.write(entry, u"x"_s, &context, [&](Keyring::Result result, const QString &) {
        taken = result == Keyring::Result::Done;
        answered = true;
    });
    return QTest::qWaitFor([&] { return answered; }, 30000) && taken;
}

} // namespace

class TestE2EKeyring : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void storeReadBackForget();
    void passwordMovesOutOfTheFile();
    void noBusKeepsTheFile();
    void concurrentWritersStayConsistent();

private:
    Result run(const QStringList &args, const QByteArray &input = {}, bool withBus = true);
    QStringList at() const;
    // Every file under the settings folder that holds the password.
    QStringList filesWithPassword() const;
    QString entry() const;

    QTemporaryDir m_home;
    QString m_busAddress;
    QProcess m_bus;
    QProcess m_keyring;
    SiteProcess m_site;
    QTemporaryDir m_config;
    QString m_video;
};

void TestE2EKeyring::initTestCase()
{
    for (const QString &tool : {u"dbus-daemon"_s, u"gnome-keyring-daemon"_s})
        QVERIFY2(!QStandardPaths::findExecutable(tool).isEmpty(),
                 qPrintable(tool + u" is missing (scripts/deps.sh installs it)"_s));
    // A session bus of the test's own, and GNOME Keyring on it with a
    // "login" keyring made and unlocked with the password on its input.
    m_bus.start(u"dbus-daemon"_s, {u"--session"_s, u"--nofork"_s, u"--print-address=1"_s});
    QVERIFY(m_bus.waitForReadyRead(10000));
    m_busAddress = QString::fromLatin1(m_bus.readLine().trimmed());
    QVERIFY(!m_busAddress.isEmpty());

    QDir(m_home.path()).mkpath(u"run"_s);
    QFile::setPermissions(m_home.filePath(u"run"_s),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, m_busAddress);
    env.insert(u"XDG_RUNTIME_DIR"_s, m_home.filePath(u"run"_s));
    env.insert(u"XDG_DATA_HOME"_s, m_home.filePath(u"data"_s));
    m_keyring.setProcessEnvironment(env);
    m_keyring.start(u"gnome-keyring-daemon"_s,
                    {u"--unlock"_s, u"--components=secrets"_s, u"--foreground"_s});
    QVERIFY(m_keyring.waitForStarted(10000));
    m_keyring.write("unlock-pw");
    m_keyring.closeWriteChannel();

    // This process asks the same keyring.
    qputenv("DBUS_SESSION_BUS_ADDRESS", m_busAddress.toLatin1());
    QTRY_VERIFY_WITH_TIMEOUT(keyringTakes(u"probe"_s), 20000);

    QVERIFY2(m_site.start({u"--public-host"_s, u"127.0.0.1"_s}), qPrintable(m_site.errorString()));
    QVERIFY(m_site.addAccount(u"alice"_s, Password));
    m_video = writeFile(m_home.filePath(u"clip.mpg"_s), videoBytes(64 * 1024, 3));
}

void TestE2EKeyring::cleanupTestCase()
{
    for (QProcess *p : {&m_keyring, &m_bus}) {
        p->terminate();
        if (!p->waitForFinished(5000))
            p->kill();
    }
}

void TestE2EKeyring::init()
{
    // Every test starts with no account, in the file or in the keyring.
    QVERIFY(m_config.isValid());
    QFile::remove(m_config.path() + u"/uplark/uplark.conf"_s);
    DesktopKeyring keyring;
    bool removed = false;
    QObject context;
    keyring.remove(entry(), &context, [&](Keyring::Result, const QString &) { removed = true; });
    QTRY_VERIFY_WITH_TIMEOUT(removed, 20000);
}

Result TestE2EKeyring::run(const QStringList &args, const QByteArray &input, bool withBus)
{
    QProcessEnvironment env = terminalEnvironment(m_config.path());
    if (withBus)
        env.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, m_busAddress);
    else
        env.remove(u"DBUS_SESSION_BUS_ADDRESS"_s);
    return runProgram(env, args, input);
}

QStringList TestE2EKeyring::at() const
{
    const QString address = u"127.0.0.1:"_s + QString::number(m_site.sitePort());
    return {u"--site"_s, address, u"--conversion-host"_s, address};
}

QString TestE2EKeyring::entry() const
{
    return u"http://alice@127.0.0.1:"_s + QString::number(m_site.sitePort());
}

QStringList TestE2EKeyring::filesWithPassword() const
{
    QStringList found;
    QDirIterator it(m_config.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        if (file.open(QIODevice::ReadOnly) && file.readAll().contains(Password.toUtf8()))
            found.append(file.fileName());
    }
    return found;
}

void TestE2EKeyring::storeReadBackForget()
{
    const Result set = run(QStringList{u"account"_s, u"set"_s, u"alice"_s} + at(),
                           Password.toUtf8() + '\n');
    QVERIFY2(set.code == 0, set.err.constData());
    QVERIFY2(!set.err.contains("keyring"), set.err.constData());
    QCOMPARE(keyringHolds(entry()), u"="_s + Password);
    QCOMPARE(filesWithPassword(), QStringList());
    QCOMPARE(run({u"account"_s, u"show"_s}).out, QByteArray("alice\n"));

    // A fresh process logs in with the password from the keyring.
    const Result upload = run(QStringList{u"upload"_s, m_video, u"--title"_s, u"t"_s,
                                          u"--description"_s, u"d"_s, u"--category"_s, u"10"_s,
                                          u"--tags"_s, u"x"_s}
                              + at());
    QVERIFY2(upload.code == 0, upload.err.constData());
    QVERIFY(upload.out.contains("/watch?v="));

    const Result forget = run({u"account"_s, u"forget"_s});
    QVERIFY2(forget.code == 0, forget.err.constData());
    QCOMPARE(keyringHolds(entry()), u"not found"_s);
    QCOMPARE(run({u"account"_s, u"show"_s}).code, 2);
}

void TestE2EKeyring::passwordMovesOutOfTheFile()
{
    // A settings file as an earlier version left it.
    SettingsStore old(m_config.path());
    QVERIFY(storeAccount(old, {u"alice"_s, Password}));
    QCOMPARE(filesWithPassword().size(), 1);

    const Result upload = run(QStringList{u"upload"_s, m_video, u"--title"_s, u"t"_s,
                                          u"--description"_s, u"d"_s, u"--category"_s, u"10"_s,
                                          u"--tags"_s, u"x"_s}
                              + at());
    QVERIFY2(upload.code == 0, upload.err.constData());
    QCOMPARE(filesWithPassword(), QStringList());
    QCOMPARE(keyringHolds(entry()), u"="_s + Password);
    QCOMPARE(storedAccount(old).user, u"alice"_s);
}

void TestE2EKeyring::noBusKeepsTheFile()
{
    const Result set = run(QStringList{u"account"_s, u"set"_s, u"alice"_s} + at(),
                           Password.toUtf8() + '\n', false);
    QVERIFY2(set.code == 0, set.err.constData());
    QVERIFY2(set.err.contains("uplark: no desktop keyring answered ("), set.err.constData());
    QCOMPARE(set.err.count("no desktop keyring answered"), 1);
    const QString file = m_config.path() + u"/uplark/uplark.conf"_s;
    QCOMPARE(filesWithPassword(), QStringList{file});
    // Readable by its owner only.
    QCOMPARE(QFile::permissions(file)
                 & (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther),
             QFileDevice::Permissions());
    QCOMPARE(keyringHolds(entry()), u"not found"_s);
}

void TestE2EKeyring::concurrentWritersStayConsistent()
{
    // Two programs store different accounts at once, ten times over. The
    // user the file names always has its own password in the keyring, and
    // the other's entry is gone.
    SettingsStore store(m_config.path());
    const SiteAddress site{u"s.example"_s, 443, "s.example", true};
    for (int round = 0; round < 10; ++round) {
        QList<QProcess *> writers;
        for (const QString user : {u"ann"_s, u"bob"_s}) {
            auto *child = new QProcess(this);
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(u"UPLARK_KEYRING_WRITE_FOLDER"_s, m_config.path());
            env.insert(u"UPLARK_KEYRING_WRITE_USER"_s, user);
            env.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, m_busAddress);
            child->setProcessEnvironment(env);
            child->start(QCoreApplication::applicationFilePath(), {});
            writers.append(child);
        }
        for (QProcess *child : writers) {
            QVERIFY(child->waitForFinished(60000));
            QVERIFY2(child->exitCode() == 0, child->readAllStandardError().constData());
            delete child;
        }
        const QString user = storedAccount(store).user;
        const QString other = user == u"ann"_s ? u"bob"_s : u"ann"_s;
        QCOMPARE(storedKeyringEntry(store), keyringEntry(site, user));
        QCOMPARE(keyringHolds(keyringEntry(site, user)), u"="_s + user + u"-pw"_s);
        QCOMPARE(keyringHolds(keyringEntry(site, other)), u"not found"_s);
    }
}

int main(int argc, char *argv[])
{
    // A writer of the concurrent test: stores USER with the password USER-pw.
    const QByteArray folder = qgetenv("UPLARK_KEYRING_WRITE_FOLDER");
    if (!folder.isEmpty()) {
        QCoreApplication app(argc, argv);
        SettingsStore store(QString::fromLocal8Bit(folder));
        DesktopKeyring keyring;
        store.setKeyring(&keyring);
        const QString user = QString::fromLocal8Bit(qgetenv("UPLARK_KEYRING_WRITE_USER"));
        int code = -1;
        writeAccount(store, {user, user + u"-pw"_s}, {u"s.example"_s, 443, "s.example", true},
                     nullptr, [&](const AccountWriting &w) {
                         code = w.ok && w.keyringProblem.isEmpty() ? 0 : 1;
                         if (code != 0)
                             std::fprintf(stderr, "stored: %d, keyring: %s\n", int(w.ok),
                                          qPrintable(w.keyringProblem));
                         QCoreApplication::quit();
                     });
        if (code < 0)
            app.exec();
        return code;
    }
    QCoreApplication app(argc, argv);
    TestE2EKeyring test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_e2e_keyring.moc"
