#include "videosite/options.h"
#include "videosite/signalwatcher.h"
#include "videosite/site/clock.h"
#include "videosite/site/store.h"
#include "videosite/videosite.h"

#include <QCoreApplication>
#include <QFile>

#include <csignal>
#include <cstdio>

#include <sys/resource.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace videosite;

namespace {

// The first line of the file, or of standard input; on a terminal it is
// asked for without echo. Null when it cannot be read.
QByteArray readPassword(const ServerOptions &options)
{
    QFile file;
    if (!options.passwordFile.isEmpty()) {
        file.setFileName(options.passwordFile);
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "videosite: %s: %s\n", qPrintable(options.passwordFile),
                         qPrintable(file.errorString()));
            return {};
        }
    } else if (!file.open(stdin, QIODevice::ReadOnly)) {
        return {};
    }
    const bool terminal = options.passwordFile.isEmpty() && ::isatty(STDIN_FILENO);
    termios saved{};
    if (terminal) {
        std::fprintf(stderr, "Password for %s: ", qPrintable(options.accountName));
        std::fflush(stderr);
        ::tcgetattr(STDIN_FILENO, &saved);
        termios quiet = saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    QByteArray line = file.readLine(64 * 1024);
    if (terminal) {
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        std::fputc('\n', stderr);
    }
    if (line.endsWith('\n'))
        line.chop(1);
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}

int addAccount(const ServerOptions &options)
{
    const QByteArray password = readPassword(options);
    if (password.isEmpty()) {
        std::fprintf(stderr, "videosite: add-account needs a password\n");
        return 2;
    }
    Store store(options.dataDir);
    if (!store.open()) {
        std::fprintf(stderr, "videosite: %s\n", qPrintable(store.errorString()));
        return 1;
    }
    if (!store.setAccount(options.accountName, password, currentTime())) {
        std::fprintf(stderr, "videosite: cannot store the account: %s\n",
                     qPrintable(store.errorString()));
        return 1;
    }
    return 0;
}

// Two servers of up to 512 connections each, and the files they send, need
// more descriptors than the usual soft limit of 1024.
void raiseDescriptorLimit()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

} // namespace

int main(int argc, char *argv[])
{
    // What the site writes (its database holds password hashes) is for its
    // owner only.
    ::umask(077);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"videosite"_s);

    const ParsedOptions parsed = parseOptions(QCoreApplication::arguments());
    if (!parsed.error.isEmpty()) {
        std::fprintf(stderr, "videosite: %s\n\n%s", qPrintable(parsed.error),
                     qPrintable(usageText()));
        return 2;
    }
    const ServerOptions &options = parsed.options;
    switch (options.command) {
    case ServerOptions::Command::Help:
        std::fputs(qPrintable(usageText()), stdout);
        return 0;
    case ServerOptions::Command::AddAccount:
        return addAccount(options);
    case ServerOptions::Command::Serve:
        break;
    }

    // Watch the signals before anything else, so that a stop request never
    // finds the server without its handler.
    SignalWatcher stopSignals({SIGINT, SIGTERM});
    QObject::connect(&stopSignals, &SignalWatcher::signalReceived, &app,
                     [] { QCoreApplication::quit(); });

    raiseDescriptorLimit();
    VideoSite site(options);
    if (!site.start()) {
        std::fprintf(stderr, "videosite: %s\n", qPrintable(site.errorString()));
        return 1;
    }
    std::printf("%s\n%s\n", qPrintable(site.siteAddress()), qPrintable(site.uploadAddress()));
    std::fflush(stdout);
    return app.exec();
}
