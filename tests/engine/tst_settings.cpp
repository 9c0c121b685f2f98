#include "engine/model/settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include <cstdio>

using namespace Qt::StringLiterals;
using namespace uplark;

namespace {

const QString App = QString::fromUtf16(SettingsApp);

// Reads a key in a separate process, so nothing cached in this one helps.
QString readInFreshProcess(const QString &folder, const QString &key)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"UPLARK_SETTINGS_READ_FOLDER"_s, folder);
    env.insert(u"UPLARK_SETTINGS_READ_KEY"_s, key);
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {});
    if (!child.waitForFinished(20000))
        return u"<child did not finish>"_s;
    return QString::fromUtf8(QByteArray::fromHex(child.readAllStandardOutput().trimmed()));
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
    for (int w = 0; w < Writers; ++w) {
        auto *child = new QProcess(this);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"UPLARK_SETTINGS_WRITE_FOLDER"_s, dir.path());
        env.insert(u"UPLARK_SETTINGS_WRITE_PREFIX"_s, u"w%1_"_s.arg(w));
        env.insert(u"UPLARK_SETTINGS_WRITE_COUNT"_s, QString::number(Keys));
        child->setProcessEnvironment(env);
        child->start(QCoreApplication::applicationFilePath(), {});
        writers.append(child);
    }
    bool running = true;
    while (running) {
        // A reader never finds the file half written.
        QCOMPARE(store.value(App, App, u"pw"_s), u"kept through every write"_s);
        running = false;
        for (QProcess *child : writers) {
            child->waitForFinished(1);
            running = running || child->state() != QProcess::NotRunning;
        }
    }
    for (QProcess *child : writers) {
        QCOMPARE(child->exitStatus(), QProcess::NormalExit);
        QCOMPARE(child->exitCode(), 0);
    }
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

int main(int argc, char *argv[])
{
    const QByteArray writeFolder = qgetenv("UPLARK_SETTINGS_WRITE_FOLDER");
    if (!writeFolder.isEmpty()) {
        QCoreApplication app(argc, argv);
        SettingsStore store(QString::fromLocal8Bit(writeFolder));
        const QString prefix = QString::fromLocal8Bit(qgetenv("UPLARK_SETTINGS_WRITE_PREFIX"));
        const int count = qEnvironmentVariableIntValue("UPLARK_SETTINGS_WRITE_COUNT");
        for (int k = 0; k < count; ++k) {
            const QString key = prefix + QString::number(k);
            if (!store.setValue(App, App, key, u"value of "_s + key))
                return 1;
        }
        return 0;
    }
    const QByteArray folder = qgetenv("UPLARK_SETTINGS_READ_FOLDER");
    if (!folder.isEmpty()) {
        QCoreApplication app(argc, argv);
        SettingsStore store(QString::fromLocal8Bit(folder));
        const QString key = QString::fromLocal8Bit(qgetenv("UPLARK_SETTINGS_READ_KEY"));
        std::fputs(store.value(App, App, key).toUtf8().toHex().constData(), stdout);
        return 0;
    }
    QCoreApplication app(argc, argv);
    TestSettings test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_settings.moc"
