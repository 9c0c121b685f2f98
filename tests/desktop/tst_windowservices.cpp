// The window with what the desktop provides for real: the preview player
// from its library playing a clip with sound, a second start handing over
// a file through the local socket, and notifications and launcher progress
// on a private session bus with a stand-in notification server.
#include "desktop/seams/notifier.h"
#include "desktop/seams/singleinstance.h"
#include "windowrig.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QProcess>
#include <QScopeGuard>
#include <QSlider>
#include <QStandardPaths>
#include <QToolButton>

#include <future>

#include <unistd.h>
#include <thread>

using namespace Qt::StringLiterals;
using namespace uplark;
using namespace uplark::test;

namespace {

// The desktop's notification server as far as Uplark uses it: it keeps what
// it is asked to show, and "clicks" a notification on request.
class FakeNotificationServer : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    explicit FakeNotificationServer(const QDBusConnection &bus)
        : m_bus(bus)
    {
    }

    void click(uint id)
    {
        QDBusMessage signal =
            QDBusMessage::createSignal(u"/org/freedesktop/Notifications"_s,
                                       u"org.freedesktop.Notifications"_s, u"ActionInvoked"_s);
        signal << id << u"default"_s;
        m_bus.send(signal);
    }

    QStringList shown; // "summary|body"
    QList<QStringList> actions;

public Q_SLOTS:
    uint Notify(const QString &, uint, const QString &, const QString &summary, const QString &body,
                const QStringList &actionList, const QVariantMap &, int)
    {
        shown.append(summary + u'|' + body);
        actions.append(actionList);
        return uint(shown.size());
    }

private:
    QDBusConnection m_bus;
};

// A launcher: keeps the progress each Update signal carries (-1: hidden).
class FakeLauncher : public QObject
{
    Q_OBJECT
public:
    QList<double> progress;

public Q_SLOTS:
    void update(const QString &, const QVariantMap &properties)
    {
        progress.append(properties.value(u"progress-visible"_s).toBool()
                            ? properties.value(u"progress"_s).toDouble()
                            : -1);
    }
};

} // namespace

class TestWindowServices : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void previewPlaysClipWithSound();
    void secondStartHandsOverFile();
    void notifications_data();
    void notifications();
    void cleanupTestCase();

private:
    QProcess m_bus;
    QString busAddress();
};

void TestWindowServices::previewPlaysClipWithSound()
{
    // A two-second clip with a sound track, and no audio output device on
    // this machine: the sound has nowhere to go.
    const QString ffmpeg = QStandardPaths::findExecutable(u"ffmpeg"_s);
    if (ffmpeg.isEmpty())
        QSKIP("ffmpeg (Debian package ffmpeg) is needed to make the clip.");
    Rig r(u"no file"_s);
    r.path = r.dir.filePath(u"clip.mp4"_s);
    QProcess make;
    make.start(ffmpeg,
               {u"-v"_s, u"error"_s, u"-f"_s, u"lavfi"_s, u"-i"_s, u"testsrc=size=64x48:rate=10"_s,
                u"-f"_s, u"lavfi"_s, u"-i"_s, u"sine=frequency=440:sample_rate=8000"_s, u"-t"_s,
                u"2"_s, u"-c:v"_s, u"mpeg4"_s, u"-c:a"_s, u"aac"_s, r.path});
    QVERIFY(make.waitForFinished(60000) && make.exitCode() == 0);

    r.t.platform.makePreview = previewFromLibrary({QStringLiteral(UPLARK_PREVIEW_PATH)});
    r.chooseFile();
    auto *preview = child<MediaPreview>(*r.w, "preview");
    auto *position = child<QSlider>(*preview, "positionSlider");
    child<QToolButton>(*preview, "playButton")->click();
    // Still here after a second of play, and the picture moved on.
    QTest::qWait(1000);
    QTRY_VERIFY_WITH_TIMEOUT(position->value() > 0, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(child<QToolButton>(*preview, "playButton")->accessibleName(),
                              u"Pause"_s, 5000);
}

void TestWindowServices::secondStartHandsOverFile()
{
    Rig r(u"no file"_s);
    const QString name = r.dir.filePath(u"instance"_s);
    InstanceServer server([&r](const QString &path) { return r.w->handOver(path); });
    QVERIFY(server.listen(name));
    // A second server on the same name is refused: one window per name.
    InstanceServer second([](const QString &) { return HandOverAnswer::Raised; });
    QVERIFY(!second.listen(name));

    // The later start blocks on its side, as it does before it has a window.
    auto handOver = [&name](const QString &path) {
        auto answer = std::async(std::launch::async,
                                 [&name, path] { return handOverToRunningWindow(name, path); });
        while (answer.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready)
            QCoreApplication::processEvents();
        return answer.get();
    };
    QCOMPARE(handOver({}), HandOverAnswer::Raised);
    QCOMPARE(handOver(r.path), HandOverAnswer::Opening);
    QTRY_COMPARE(r.w->display(), MainWindow::Display::FileChosen);
    QCOMPARE(r.w->chosenFile(), r.path);

    r.upload();
    QTRY_COMPARE(r.w->display(), MainWindow::Display::Uploading);
    QCOMPARE(handOver(r.path), HandOverAnswer::Busy);
    QCOMPARE(r.w->display(), MainWindow::Display::Uploading);

    // No window listens: the start opens its own. Nor is a socket that is
    // another user's handed anything (made so where the test runs as root).
    QVERIFY(!handOverToRunningWindow(r.dir.filePath(u"nobody"_s), r.path, 500));
    if (geteuid() == 0) {
        QCOMPARE(::chown(QFile::encodeName(name).constData(), 65534, 65534), 0);
        QVERIFY(!handOver({}));
    }
}

QString TestWindowServices::busAddress()
{
    if (m_bus.state() == QProcess::Running)
        return QString::fromUtf8(m_bus.property("address").toByteArray());
    const QString daemon = QStandardPaths::findExecutable(u"dbus-daemon"_s);
    if (daemon.isEmpty())
        return {};
    m_bus.start(daemon, {u"--session"_s, u"--nofork"_s, u"--print-address=1"_s});
    if (!m_bus.waitForStarted() || !m_bus.waitForReadyRead(10000))
        return {};
    const QByteArray address = m_bus.readLine().trimmed();
    m_bus.setProperty("address", address);
    return QString::fromUtf8(address);
}

void TestWindowServices::cleanupTestCase()
{
    m_bus.kill();
    m_bus.waitForFinished();
}

void TestWindowServices::notifications_data()
{
    QTest::addColumn<bool>("active"); // the window is the active one at the end
    QTest::addColumn<bool>("succeeds");
    QTest::addColumn<bool>("server"); // a notification server runs
    QTest::newRow("finished in the background") << false << true << true;
    QTest::newRow("failed in the background") << false << false << true;
    QTest::newRow("finished in front: no notification") << true << true << true;
    QTest::newRow("no notification server") << false << true << false;
}

void TestWindowServices::notifications()
{
    QFETCH(bool, active);
    QFETCH(bool, succeeds);
    QFETCH(bool, server);
    const QString address = busAddress();
    if (address.isEmpty())
        QSKIP("dbus-daemon (Debian package dbus) is needed for a private session bus.");
    const QString tag = QString::fromLatin1(QTest::currentDataTag());
    QDBusConnection serverBus = QDBusConnection::connectToBus(address, u"server "_s + tag);
    QDBusConnection windowBus = QDBusConnection::connectToBus(address, u"window "_s + tag);
    const auto leave = qScopeGuard([&] {
        QDBusConnection::disconnectFromBus(serverBus.name());
        QDBusConnection::disconnectFromBus(windowBus.name());
    });
    QVERIFY(serverBus.isConnected() && windowBus.isConnected());
    FakeNotificationServer notifications(serverBus);
    FakeLauncher launcher;
    if (server) {
        QVERIFY(serverBus.registerObject(u"/org/freedesktop/Notifications"_s, &notifications,
                                         QDBusConnection::ExportAllSlots));
        QVERIFY(serverBus.registerService(u"org.freedesktop.Notifications"_s));
    }
    QVERIFY(serverBus.connect({}, u"/com/canonical/unity/launcherentry/uplark"_s,
                              u"com.canonical.Unity.LauncherEntry"_s, u"Update"_s, &launcher,
                              SLOT(update(QString, QVariantMap))));

    DBusNotifier notifier([windowBus] { return windowBus; }, u"uplark"_s);
    Rig r(u"uploading"_s, &notifier);
    MainWindow &w = *r.w;
    UploadChain &chain = w.job().chain();
    Q_EMIT chain.progressed({42, u"42%"_s, u"kb"_s, false});
    QCOMPARE(w.windowTitle(), u"42% - Uplark"_s);
    QTRY_COMPARE(launcher.progress, QList<double>{0.42});

    if (active)
        activate(w);
    else
        QVERIFY(!w.isActiveWindow());
    if (succeeds)
        Q_EMIT chain.finished(ResultAddress);
    else
        Q_EMIT chain.failed(UploadFailure::ConnectionError, {});
    // The title and the launcher show no progress once the upload has ended.
    QCOMPARE(w.windowTitle(), u"Uplark"_s);
    QTRY_COMPARE(launcher.progress, (QList<double>{0.42, -1}));

    const QString expected =
        succeeds ? u"Video uploaded|"_s + ResultAddress : u"Upload failed|Connection error!"_s;
    if (active || !server) {
        // Nothing shown, and the window goes on as ever.
        QTest::qWait(200);
        QVERIFY(notifications.shown.isEmpty());
        QCOMPARE(w.display(),
                 succeeds ? MainWindow::Display::Result : MainWindow::Display::FileChosen);
        return;
    }
    QTRY_COMPARE(notifications.shown, QStringList{expected});
    QCOMPARE(notifications.actions.first().value(0), u"default"_s);
    // A click on it brings the window to the front.
    QVERIFY(!w.isActiveWindow());
    QTest::qWait(100); // the notification's id has come back
    notifications.click(1);
    QTRY_VERIFY(w.isActiveWindow());
}

QTEST_MAIN(TestWindowServices)
#include "tst_windowservices.moc"
