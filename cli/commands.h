#pragma once

#include "engine/net/siteaddress.h"

namespace uplark {

class BlockingHttpClient;
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
int runAccountForget(const CommandContext &context);
int runAccountShow(const CommandContext &context);

// A message as one line: each run of line breaks becomes one space.
QString oneLine(const QString &message);

} // namespace uplark
