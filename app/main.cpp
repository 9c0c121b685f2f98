#include "account/settings.h"
#include "app/mainwindow.h"
#include "data/appicon.h"
#include "platform/desktop.h"
#include "platform/filedialog.h"
#include "platform/mediapreview.h"
#include "platform/messagebox.h"
#include "platform/platform.h"
#include "site/curlhttp.h"

#include <QApplication>
#include <QFont>

#include <curl/curl.h>

#include <cstdio>
#include <cstdlib>

using namespace uplark;

int main(int argc, char *argv[])
{
    // Qt Multimedia's FFmpeg backend needs no GStreamer plugins.
    if (qEnvironmentVariableIsEmpty("QT_MEDIA_BACKEND"))
        qputenv("QT_MEDIA_BACKEND", "ffmpeg");

    const QByteArray qpa = qgetenv("QT_QPA_PLATFORM");
    if (qpa.isEmpty() && qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        std::fputs("uplark: no display found (neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
                   "Start Uplark from a desktop session, or under Xvfb:\n"
                   "  xvfb-run -a build/app/uplark\n",
                   stderr);
        return 1;
    }

    // The text conversion request uses libcurl; it is set up once, before
    // any other thread runs.
    curl_global_init(CURL_GLOBAL_DEFAULT);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Uplark"));
    QApplication::setWindowIcon(ApplicationIcon());
    // The desktop entry uplark.desktop: the desktop matches the window to it.
    QApplication::setDesktopFileName(QStringLiteral("uplark"));
    QApplication::setQuitOnLastWindowClosed(false);
    // A sans-serif face with the metrics of the classic 8 pt dialog font; the
    // window's rectangles are laid out for it.
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPointSize(8);
    QApplication::setFont(font);

    QtMessageBox messages;
    QtFileDialog files;
    QtDesktop desktop;
    SettingsStore settings(SettingsStore::defaultFolder());

    Platform platform;
    platform.messages = &messages;
    platform.files = &files;
    platform.desktop = &desktop;
    platform.settings = &settings;
    CurlHttpRequest http(platform.routes);
    platform.http = &http;
    platform.makePreview = CreateMultimediaPreview;
    platform.endProgram = [] {
        QApplication::closeAllWindows();
        QCoreApplication::exit(0);
    };

    MainWindow window(platform);
    window.show();
    const int status = app.exec();
    curl_global_cleanup();
    return status;
}
