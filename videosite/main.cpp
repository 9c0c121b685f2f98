#include "videosite/options.h"
#include "videosite/signalwatcher.h"
#include "videosite/site/clock.h"
#include "videosite/site/store.h"
#include "videosite/videosite.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>

#include <sys/resource.h>

using namespace Qt::StringLiterals;
using namespace videosite;

namespace {

int addAccount(const ServerOptions &options)
{
    Store store(options.dataDir);
    if (!store.open()) {
        std::fprintf(stderr, "videosite: %s\n", qPrintable(store.errorString()));
        return 1;
    }
    if (!store.setAccount(options.accountName, options.accountPassword.toUtf8(), currentTime())) {
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
