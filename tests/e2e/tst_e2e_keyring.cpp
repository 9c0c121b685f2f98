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
#include <QStandardPaths>

#include <cstdio>

using namespace uplark;

namespace {

using KeyringCall = std::function<void(Keyring &, QObject *, Keyring::Done)>;

// One call to the keyring from this process and its answer: "=TEXT" when
// done, "not found", "unavailable: WHY", or "no answer" within 30 s.
QString keyringAnswer(const KeyringCall &call)
{
    DesktopKeyring keyring;
    QString answer;
    QObject context;
    call(keyring, &context, [&](Keyring::Result result, const QString &text) {
        answer = result == Keyring::Result::Done       ? u"="_s + text
                 : result == Keyring::Result::NotFound ? u"not found"_s
                                                       : u"unavailable: "_s + text;
    });
    return QTest::qWaitFor([&] { return !answer.isEmpty(); }, 30000) ? answer : u"no answer"_s;
}

QString keyringHolds(const QString &entry)
{
    return keyringAnswer([&](Keyring &k, QObject *c, Keyring::Done d) { k.read(entry, c, d); });
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
    // Every file under the settings folder that holds the password.
    QStringList filesWithPassword() const;
    QString entry() const { return u"http://alice@"_s + m_site.address(); }

    QTemporaryDir m_home;
    QString m_busAddress;
    QProcess m_bus;
    QProcess m_keyring;
    Site m_site;
    Cli m_cli;
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

    // This process, and the programs it runs, ask the same keyring. It takes
    // entries once it has made its "login" keyring, a moment after it answers.
    qputenv("DBUS_SESSION_BUS_ADDRESS", m_busAddress.toLatin1());
    QTRY_COMPARE_WITH_TIMEOUT(keyringAnswer([](Keyring &k, QObject *c, Keyring::Done d) {
                                  k.write(u"probe"_s, u"x"_s, c, d);
                              }),
                              u"="_s, 20000);

    QVERIFY2(m_site.start(), qPrintable(m_site.site.errorString()));
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
    m_cli.unset.clear();
    QFile::remove(m_cli.config.path() + u"/uplark/uplark.conf"_s);
    QVERIFY(
        keyringAnswer([this](Keyring &k, QObject *c, Keyring::Done d) { k.remove(entry(), c, d); })
        != u"no answer"_s);
}

QStringList TestE2EKeyring::filesWithPassword() const
{
    QStringList found;
    QDirIterator it(m_cli.config.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        if (file.open(QIODevice::ReadOnly) && file.readAll().contains(Password.toUtf8()))
            found.append(file.fileName());
    }
    return found;
}

void TestE2EKeyring::storeReadBackForget()
{
    const ProgramResult set = m_site.setAccount(m_cli);
    QVERIFY2(set.code == 0, set.err.constData());
    QVERIFY2(!set.err.contains("keyring"), set.err.constData());
    QCOMPARE(keyringHolds(entry()), u"="_s + Password);
    QCOMPARE(filesWithPassword(), QStringList());
    QCOMPARE(m_cli.run({u"account"_s, u"show"_s}).out, QByteArray("alice\n"));

    // A fresh process logs in with the password from the keyring.
    const ProgramResult upload = m_site.upload(m_cli, m_video);
    QVERIFY2(upload.code == 0, upload.err.constData());
    QVERIFY(upload.out.contains("/watch?v="));

    const ProgramResult forget = m_cli.run({u"account"_s, u"forget"_s});
    QVERIFY2(forget.code == 0, forget.err.constData());
    QCOMPARE(keyringHolds(entry()), u"not found"_s);
    QCOMPARE(m_cli.run({u"account"_s, u"show"_s}).code, 2);
}

void TestE2EKeyring::passwordMovesOutOfTheFile()
{
    // A settings file as an earlier version left it.
    SettingsStore old(m_cli.config.path());
    QVERIFY(storeAccount(old, {u"alice"_s, Password}));
    QCOMPARE(filesWithPassword().size(), 1);

    const ProgramResult upload = m_site.upload(m_cli, m_video);
    QVERIFY2(upload.code == 0, upload.err.constData());
    QCOMPARE(filesWithPassword(), QStringList());
    QCOMPARE(keyringHolds(entry()), u"="_s + Password);
    QCOMPARE(storedAccount(old).user, u"alice"_s);
}

void TestE2EKeyring::noBusKeepsTheFile()
{
    // Accepted with no keyring to answer: one line more says where the
    // password went; the file keeps it, and the site, readable by its owner only.
    m_cli.unset = QStringList{u"DBUS_SESSION_BUS_ADDRESS"_s};
    const ProgramResult set = m_site.setAccount(m_cli);
    QVERIFY2(set.code == 0, set.err.constData());
    QCOMPARE(set.out, QByteArray());
    QVERIFY2(set.err.contains("successfully set"), set.err.constData());
    QVERIFY2(set.err.contains("uplark: no desktop keyring answered ("), set.err.constData());
    QCOMPARE(set.err.count('\n'), 2);
    const QString file = m_cli.config.path() + u"/uplark/uplark.conf"_s;
    QCOMPARE(filesWithPassword(), QStringList{file});
    QVERIFY(m_cli.settingsText().contains(u"site="_s + m_site.address()));
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
    SettingsStore store(m_cli.config.path());
    const SiteAddress site{u"s.example"_s, 443, "s.example", true};
    for (int round = 0; round < 10; ++round) {
        QList<QProcess *> writers;
        for (const QString &user : {u"ann"_s, u"bob"_s}) {
            auto *child = new QProcess(this);
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(u"UPLARK_KEYRING_WRITE_FOLDER"_s, m_cli.config.path());
            env.insert(u"UPLARK_KEYRING_WRITE_USER"_s, user);
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
