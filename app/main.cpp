#include "cli/commandline.h"
#include "cli/commands.h"
#include "cli/terminal.h"
#include "data/appicon.h"
#include "desktop/seams/desktop.h"
#include "desktop/seams/filedialog.h"
#include "desktop/seams/mediapreview.h"
#include "desktop/seams/messagebox.h"
#include "desktop/seams/notifier.h"
#include "desktop/seams/platform.h"
#include "desktop/seams/singleinstance.h"
#include "desktop/windows/mainwindow.h"
#include "engine/model/desktopkeyring.h"
#include "engine/model/settings.h"
#include "engine/net/curlhttpclient.h"
#include "engine/net/heaptuning.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QFile>
#include <QFont>
#include <QProcessEnvironment>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

using namespace uplark;
using namespace Qt::StringLiterals;

namespace {

QtMessageHandler previousMessageHandler = nullptr;

// Qt Multimedia's FFmpeg backend writes ">>>> listing codecs" to the
// terminal, as a plain debug message, when it is first loaded; that line is
// dropped, every other message goes where it went.
void quietMediaBackend(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type == QtDebugMsg && text.startsWith(u">>>> listing codecs"_s))
        return;
    if (previousMessageHandler)
        previousMessageHandler(type, context, text);
}

// The window: the only part of the program that needs a display. One
// window per user and display: when one runs, it is handed the request.
int runWindow(char *argv[], const CommandLine &line)
{
    // Qt Multimedia's FFmpeg backend needs no GStreamer plugins.
    if (qEnvironmentVariableIsEmpty("QT_MEDIA_BACKEND"))
        qputenv("QT_MEDIA_BACKEND", "ffmpeg");

    const QByteArray qpa = qgetenv("QT_QPA_PLATFORM");
    if (qpa.isEmpty() && qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        std::fputs(
            "uplark: no display found (neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
            "Start Uplark from a desktop session, or under Xvfb:\n"
            "  xvfb-run -a build/app/uplark\n"
            "From a terminal without a display: uplark upload FILE ... (see uplark --help)\n",
            stderr);
        return 1;
    }

    previousMessageHandler = qInstallMessageHandler(quietMediaBackend);

    // QApplication is given the program name alone: the command line has
    // been read already.
    int appArgc = 1;
    QApplication app(appArgc, argv);
    QApplication::setApplicationName(u"Uplark"_s);

    const QString socketName = instanceSocketName();
    if (const std::optional<HandOverAnswer> answer =
            handOverToRunningWindow(socketName, line.filePath)) {
        if (*answer != HandOverAnswer::Busy)
            return 0;
        writeErr(u"uplark: the open Uplark window is busy (an upload or a dialog); %1 was not "
                 "opened\n"_s.arg(line.filePath));
        return 1;
    }

    QApplication::setWindowIcon(ApplicationIcon());
    // The desktop entry uplark.desktop: the desktop matches the window to it.
    QApplication::setDesktopFileName(u"uplark"_s);
    QApplication::setQuitOnLastWindowClosed(false);
    // A sans-serif face with the metrics of the classic 8 pt dialog font; the
    // window's rectangles are laid out for it.
    QFont font(u"Liberation Sans"_s);
    font.setPointSize(8);
    QApplication::setFont(font);

    QtMessageBox messages;
    QtFileDialog files;
    QtDesktop desktop;
    SettingsStore settings(SettingsStore::defaultFolder());
    DesktopKeyring keyring;
    settings.setKeyring(&keyring);

    Platform platform;
    platform.messages = &messages;
    platform.files = &files;
    platform.desktop = &desktop;
    platform.settings = &settings;
    platform.addresses = line.addresses;
    QString networkError;
    if (!applyNetworkOptions(line, QProcessEnvironment::systemEnvironment(), &platform.routes,
                             &networkError)) {
        writeErr(u"uplark: "_s + networkError + u'\n');
        return ExitCode::BadUsage;
    }
    CurlHttpClient http(platform.routes);
    platform.http = &http;
    platform.makePreview =
        previewFromLibrary(previewLibraryCandidates(QCoreApplication::applicationDirPath()));
    platform.endProgram = [] {
        QApplication::closeAllWindows();
        QCoreApplication::exit(0);
    };

    DBusNotifier notifier([] { return QDBusConnection::sessionBus(); },
                          QApplication::desktopFileName());
    platform.notifier = &notifier;

    MainWindow window(platform);
    InstanceServer instance([&window](const QString &path) { return window.handOver(path); });
    // Where a second window started at the same moment listens already,
    // this one runs on without taking requests.
    instance.listen(socketName);
    window.show();
    if (!line.filePath.isEmpty())
        QTimer::singleShot(0, &window, [&window, &line] { window.offerFile(line.filePath); });
    return app.exec();
}

// The commands: no display, no GUI objects at all.
int runCommand(char *argv[], const CommandLine &line)
{
    int appArgc = 1;
    QCoreApplication app(appArgc, argv);
    QCoreApplication::setApplicationName(u"uplark"_s);

    SettingsStore settings(SettingsStore::defaultFolder());
    DesktopKeyring keyring;
    settings.setKeyring(&keyring);
    RouteTable routes;
    QString networkError;
    if (!applyNetworkOptions(line, QProcessEnvironment::systemEnvironment(), &routes,
                             &networkError)) {
        writeErr(u"uplark: "_s + networkError + u'\n');
        return ExitCode::BadUsage;
    }
    CurlHttpClient http(routes, conversionTimeouts(line));
    // Ctrl+C ends the conversion request, which blocks every event.
    http.setAbortCheck(&InterruptWatcher::wasInterrupted);
    CommandContext context{&settings, &routes, &http, line.addresses};
    switch (line.action) {
    case CommandLine::Action::Upload:
        return runUpload(line, context);
    case CommandLine::Action::AccountSet:
        return runAccountSet(line, context);
    case CommandLine::Action::AccountForget:
        return runAccountForget(line, context);
    case CommandLine::Action::AccountShow:
        return runAccountShow(context);
    default:
        return ExitCode::BadUsage;
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const CommandLine line = parseCommandLine(arguments);
    if (!line.error.isEmpty()) {
        writeErr(u"uplark: "_s + line.error + u'\n');
        return ExitCode::BadUsage;
    }
    switch (line.action) {
    case CommandLine::Action::Help:
        writeOut(helpText());
        return ExitCode::Success;
    case CommandLine::Action::Version:
        writeOut(versionText());
        return ExitCode::Success;
    default:
        break;
    }

    keepTransferBuffersInHeap();
    return line.action == CommandLine::Action::Window ? runWindow(argv, line)
                                                      : runCommand(argv, line);
}
