// The settings store: values that survive in a fresh process, an owner-only
// file, writers in several processes at once; and the account on top of it:
// the password in the keyring (a double here), in the file where no keyring
// answers, moved out of the file, forgotten in both; and two programs that
// store an account at once never leave one's user with the other's password.
#include "engine/model/account.h"
#include "engine/model/settings.h"
#include "engine/net/siteaddress.h"
#include "fakekeyring.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include <cstdio>
#include <memory>
#include <optional>

using namespace Qt::StringLiterals;
using namespace uplark;

namespace {

const QString App = QString::fromUtf16(SettingsApp);

// This program again, as a child doing `task` on the store in `folder`
// (see main()).
QProcess *startChild(const QString &folder, const QString &task, QObject *parent = nullptr)
{
    auto *child = new QProcess(parent);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"UPLARK_CHILD_FOLDER"_s, folder);
    env.insert(u"UPLARK_CHILD_TASK"_s, task);
    child->setProcessEnvironment(env);
    child->start(QCoreApplication::applicationFilePath(), {});
    return child;
}

// Reads a key in a separate process, so nothing cached in this one helps.
QString readInFreshProcess(const QString &folder, const QString &key)
{
    std::unique_ptr<QProcess> child(startChild(folder, u"read "_s + key));
    if (!child->waitForFinished(20000))
        return u"<child did not finish>"_s;
    return QString::fromUtf8(QByteArray::fromHex(child->readAllStandardOutput().trimmed()));
}

// Calls `check` until every child has ended or a check fails; then whether
// every check held and every child ended normally with 0.
template<typename Check>
bool whileRunning(const QList<QProcess *> &children, Check check)
{
    bool running = true;
    while (running) {
        if (!check())
            return false;
        running = false;
        for (QProcess *child : children) {
            child->waitForFinished(1);
            running = running || child->state() != QProcess::NotRunning;
        }
    }
    for (QProcess *child : children) {
        if (child->exitStatus() != QProcess::NormalExit || child->exitCode() != 0)
            return false;
    }
    return true;
}

int modeOf(const QString &path)
{
    struct stat st
    { };
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return -1;
    return int(st.st_mode & 0777);
}

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void roundTripInFreshProcess_data();
    void roundTripInFreshProcess();
    void folderAndFileAreOwnerOnly();
    void writersInSeveralProcesses();
    void accountInKeyring_data();
    void accountInKeyring();
    void accountWritersNeverMix();
};

void TestSettings::roundTripInFreshProcess_data()
{
    QTest::addColumn<QString>("value");
    // Written over the key: the key stays, and reads like an absent one.
    QTest::newRow("empty") << u""_s;
    QTest::newRow("spaces, quotes, separators, non-ASCII")
        << u"  a\"b'c&d=e;f,g#h[i]\\j café 日本  "_s;
    QTest::newRow("ini syntax") << u"@Variant(x) [uplark] k=v"_s;
}

void TestSettings::roundTripInFreshProcess()
{
    QFETCH(QString, value);
    QTemporaryDir dir;
    SettingsStore store(dir.path());
    QCOMPARE(store.value(App, App, u"pw"_s), QString()); // absent
    store.setValue(App, App, u"pw"_s, u"x"_s);
    store.setValue(App, App, u"pw"_s, value);
    QCOMPARE(store.value(App, App, u"pw"_s), value);
    QCOMPARE(readInFreshProcess(dir.path(), u"pw"_s), value);
}

void TestSettings::folderAndFileAreOwnerOnly()
{
    QTemporaryDir dir;
    const mode_t old = ::umask(022);
    SettingsStore store(dir.path());
    store.setValue(App, App, u"un"_s, u"someone"_s);
    const QString file = store.filePath(App), folder = QFileInfo(file).path();
    QCOMPARE(modeOf(folder), 0700);
    QCOMPARE(modeOf(file), 0600);
    // Opened up by someone else: the next write closes it again.
    QVERIFY(::chmod(QFile::encodeName(file).constData(), 0644) == 0);
    QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0755) == 0);
    store.setValue(App, App, u"pw"_s, u"secret"_s);
    QCOMPARE(modeOf(file), 0600);
    QCOMPARE(modeOf(folder), 0700);
    ::umask(old);
}

void TestSettings::writersInSeveralProcesses()
{
    QTemporaryDir dir;
    const mode_t old = ::umask(022);
    SettingsStore store(dir.path());
    store.setValue(App, App, u"pw"_s, u"kept through every write"_s);

    // Three programs write keys of their own into the one file at the same
    // time, while this one reads it.
    constexpr int Writers = 3;
    constexpr int Keys = 20;
    QList<QProcess *> writers;
    for (int w = 0; w < Writers; ++w)
        writers << startChild(dir.path(), u"write w%1_ %2"_s.arg(w).arg(Keys), this);
    // A reader never finds the file half written.
    QVERIFY(whileRunning(
        writers, [&] { return store.value(App, App, u"pw"_s) == u"kept through every write"_s; }));
    // No write was lost.
    for (int w = 0; w < Writers; ++w) {
        for (int k = 0; k < Keys; ++k) {
            const QString key = u"w%1_%2"_s.arg(w).arg(k);
            QCOMPARE(readInFreshProcess(dir.path(), key), u"value of "_s + key);
        }
    }
    QCOMPARE(modeOf(store.filePath(App)), 0600);
    // Only the file itself is left in the folder: no copy, no lock.
    QCOMPARE(QDir(QFileInfo(store.filePath(App)).path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{u"uplark.conf"_s});
    ::umask(old);
}

namespace {

const SiteAddress Site{u"site.example"_s, 8443, "site.example:8443", true};

// Runs what answers through a callback and waits for the answer.
template<typename Result, typename Start>
Result await(Start start)
{
    std::optional<Result> result;
    start([&](const Result &r) { result = r; });
    if (!QTest::qWaitFor([&] { return result.has_value(); }, 5000))
        qFatal("no answer");
    return *result;
}

AccountReading readNow(SettingsStore &store)
{
    return await<AccountReading>([&](auto done) { readAccount(store, Site, nullptr, done); });
}

// "un|pw|keyring" as the file holds them.
QString fileState(const SettingsStore &store)
{
    const Account a = storedAccount(store);
    return a.user + u'|' + a.password + u'|' + storedKeyringEntry(store);
}

} // namespace

void TestSettings::accountInKeyring_data()
{
    QTest::addColumn<bool>("keyringAnswers");
    QTest::addColumn<QString>("before");   // "un|pw" in the file; "" for nothing
    QTest::addColumn<QString>("action");   // write USER PASSWORD | read | erase
    QTest::addColumn<QString>("file");     // "un|pw|keyring" afterwards
    QTest::addColumn<QStringList>("kept"); // "entry=secret" in the keyring afterwards
    QTest::addColumn<QString>("readBack"); // "user|password" a fresh reading gives

    const QString ann = u"https://ann@site.example:8443"_s;
    QTest::newRow("stored in the keyring")
        << true << QString() << u"write ann pw 1"_s << u"ann||"_s + ann
        << QStringList{ann + u"=pw 1"_s} << u"ann|pw 1"_s;
    QTest::newRow("no keyring: the file") << false << QString() << u"write ann pw 1"_s
                                          << u"ann|pw 1|"_s << QStringList{} << u"ann|pw 1"_s;
    QTest::newRow("a new user's entry replaces the old")
        << true << QString() << u"write ann a|write bob b"_s
        << u"bob||https://bob@site.example:8443"_s
        << QStringList{u"https://bob@site.example:8443=b"_s} << u"bob|b"_s;
    QTest::newRow("moved out of an old file")
        << true << u"ann|old pw"_s << u"read"_s << u"ann||"_s + ann
        << QStringList{ann + u"=old pw"_s} << u"ann|old pw"_s;
    QTest::newRow("old file kept without a keyring")
        << false << u"ann|old pw"_s << u"read"_s << u"ann|old pw|"_s << QStringList{}
        << u"ann|old pw"_s;
    QTest::newRow("forgotten in both places")
        << true << QString() << u"write ann a|erase"_s << u"||"_s << QStringList{} << u"|"_s;
    QTest::newRow("user names are escaped in the entry")
        << true << QString() << u"write a@b:c/d x"_s
        << u"a@b:c/d||https://a%40b%3Ac%2Fd@site.example:8443"_s
        << QStringList{u"https://a%40b%3Ac%2Fd@site.example:8443=x"_s} << u"a@b:c/d|x"_s;
}

void TestSettings::accountInKeyring()
{
    QFETCH(bool, keyringAnswers);
    QFETCH(QString, before);
    QFETCH(QString, action);
    QFETCH(QString, file);
    QFETCH(QStringList, kept);
    QFETCH(QString, readBack);

    QTemporaryDir dir;
    SettingsStore store(dir.path());
    FakeKeyring keyring;
    if (!keyringAnswers)
        keyring.unavailableBecause = u"no session bus"_s;
    store.setKeyring(&keyring);
    if (!before.isEmpty())
        QVERIFY(storeAccount(store, {before.section(u'|', 0, 0), before.section(u'|', 1)}));

    for (const QString &step : action.split(u'|')) {
        if (step.startsWith(u"write "_s)) {
            const QStringList words = step.split(u' ');
            const AccountWriting w = await<AccountWriting>([&](auto done) {
                writeAccount(store, {words[1], words.mid(2).join(u' ')}, Site, nullptr, done);
            });
            QVERIFY(w.ok);
            // Where no keyring answers, the caller learns why.
            QCOMPARE(w.inFile, !keyringAnswers);
            QCOMPARE(w.keyringProblem.isEmpty(), keyringAnswers);
        } else if (step == u"read"_s) {
            QCOMPARE(readNow(store).keyringProblem.isEmpty(), keyringAnswers);
        } else if (step == u"erase"_s) {
            QVERIFY(
                await<AccountWriting>([&](auto done) { eraseAccount(store, nullptr, done); }).ok);
        }
    }
    QCOMPARE(fileState(store), file);
    QStringList inKeyring;
    for (auto it = keyring.entries.cbegin(); it != keyring.entries.cend(); ++it)
        inKeyring.append(it.key() + u'=' + it.value());
    QCOMPARE(inKeyring, kept);
    const Account read = readNow(store).account;
    QCOMPARE(read.user + u'|' + read.password, readBack);
}

void TestSettings::accountWritersNeverMix()
{
    // Two programs store an account at once, 40 times over; the file is
    // read all the while. Every reading, and the end of every round, holds
    // one program's user with that same program's password.
    QTemporaryDir dir;
    SettingsStore store(dir.path());
    QVERIFY(storeAccount(store, {u"start"_s, u"start-pw"_s}));
    const auto consistent = [](const Account &a) { return a.password == a.user + u"-pw"_s; };
    for (int round = 0; round < 40; ++round) {
        const QList<QProcess *> writers{startChild(dir.path(), u"account ann"_s, this),
                                        startChild(dir.path(), u"account bob"_s, this)};
        Account seen;
        QVERIFY2(whileRunning(writers, [&] { return consistent(seen = storedAccount(store)); }),
                 qPrintable(seen.user + u" with "_s + seen.password));
        qDeleteAll(writers);
        const Account last = storedAccount(store);
        QVERIFY2(consistent(last), qPrintable(last.user + u" with "_s + last.password));
    }
}

// As a child: "read KEY" prints the key's value in hex; "write PREFIX
// COUNT" writes COUNT keys; "account USER" stores USER with USER-pw.
int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QString folder = qEnvironmentVariable("UPLARK_CHILD_FOLDER");
    if (!folder.isEmpty()) {
        SettingsStore store(folder);
        const QStringList task = qEnvironmentVariable("UPLARK_CHILD_TASK").split(u' ');
        if (task[0] == u"read") {
            std::fputs(store.value(App, App, task[1]).toUtf8().toHex().constData(), stdout);
            return 0;
        }
        if (task[0] == u"account") {
            return await<AccountWriting>([&](auto done) {
                       writeAccount(store, {task[1], task[1] + u"-pw"_s}, Site, nullptr, done);
                   }).ok
                       ? 0
                       : 1;
        }
        for (int k = 0; k < task[2].toInt(); ++k) {
            const QString key = task[1] + QString::number(k);
            if (!store.setValue(App, App, key, u"value of "_s + key))
                return 1;
        }
        return 0;
    }
    TestSettings test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_settings.moc"
