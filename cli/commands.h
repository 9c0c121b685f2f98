#pragma once

#include "engine/net/curlhttpclient.h"
#include "engine/net/siteaddress.h"

#include <functional>

class QObject;

namespace uplark {

class BlockingHttpClient;
class InterruptWatcher;
class RouteTable;
class SettingsStore;
struct CommandLine;

// What the commands work with; main fills it with the real services.
struct CommandContext
{
    SettingsStore *settings = nullptr;
    const RouteTable *routes = nullptr;
    BlockingHttpClient *http = nullptr;
    SiteAddresses addresses;
};

// The commands of the command line. Each runs to its end (an event loop of
// its own where the site is asked), writes what it has to say and returns
// the program's exit code. A QCoreApplication must exist; none needs a
// display.
int runUpload(const CommandLine &line, const CommandContext &context);
int runAccountSet(const CommandLine &line, const CommandContext &context);
int runAccountForget(const CommandLine &line, const CommandContext &context);
int runAccountShow(const CommandContext &context);

// A message as one line: each run of line breaks becomes one space, and
// other control characters are written as escapes.
QString oneLine(const QString &message);

// The addresses a command talks to: the command line's, or, without --site,
// the site stored with the account, which the conversion then goes to as
// well unless --conversion-host names another. False, with `error`, when
// the stored site is not an address.
bool commandAddresses(const CommandLine &line, const SettingsStore &settings,
                      SiteAddresses *addresses, QString *error);

// Runs events until the continuation `start` is handed is called, or until
// Ctrl+C; false on Ctrl+C. The continuation may only be called while
// `context` (which lives as long as the wait) is there.
bool waitForAnswer(InterruptWatcher &interrupt,
                   const std::function<void(QObject *context, std::function<void()> done)> &start);

// The time limits of the text conversion request for the command line's
// stall limit.
HttpTimeouts conversionTimeouts(const CommandLine &line);

} // namespace uplark
