#pragma once

#include "engine/net/proxy.h"
#include "engine/net/siteaddress.h"

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <optional>

namespace uplark {

class RouteTable;

// Exit codes of the program.
namespace ExitCode {
inline constexpr int Success = 0;
inline constexpr int SiteFailed = 1;    // the site or the network failed
inline constexpr int BadUsage = 2;      // bad usage or bad input
inline constexpr int Interrupted = 130; // Ctrl+C
} // namespace ExitCode

// What the command line asks for.
struct CommandLine
{
    enum class Action {
        Window,        // no command, or a file: the window opens (with that file)
        Help,          // --help
        Version,       // --version
        Upload,        // upload FILE...
        AccountSet,    // account set USER
        AccountForget, // account forget
        AccountShow,   // account show
    };
    Action action = Action::Window;
    SiteAddresses addresses;
    // Whether --site and --conversion-host were given; --site alone points
    // the conversion at the site as well.
    bool siteGiven = false;
    bool conversionGiven = false;
    bool quiet = false;                // -q: nothing on standard error but errors
    int stallSeconds = 60;             // --stall-timeout; 0: no limit
    QString caFile;                    // --cacert: authorities trusted beside the system's
    std::optional<ProxyAddress> proxy; // --proxy: for every connection

    // the file the window opens with, as an absolute path
    QString filePath;
    // upload's FILE...
    QStringList filePaths;
    QString title;
    QString description;     // --description, or empty with a file named
    QString descriptionFile; // --description-file
    QString category;        // a name as the list shows it, or its number
    QString tags;
    QString metadataFile; // --metadata
    bool json = false;    // --json
    int retries = 0;      // --retry
    qint64 rateLimit = 0; // --limit-rate, bytes a second; 0: no limit

    // account set
    QString user;

    // Bad usage: what is wrong, one line; the action is then meaningless.
    QString error;
};

// Reads the arguments (arguments[0] is the program). Options may come before
// or after the command; "--" ends the options.
CommandLine parseCommandLine(const QStringList &arguments);

// A rate as curl takes it: a whole number of bytes a second, or of
// kilobytes, megabytes or gigabytes (1024-based) with the suffix k, M or G
// in either case. Nothing for anything else.
std::optional<qint64> parseRate(const QString &text);
// Sets up `routes` as the command line and the environment ask: the proxy
// of --proxy or of http_proxy, https_proxy and no_proxy, and the
// authorities of --cacert. False, with what is wrong in one line, when the
// file holds no readable PEM certificate or a proxy variable is malformed.
bool applyNetworkOptions(const CommandLine &line, const QProcessEnvironment &environment,
                         RouteTable *routes, QString *error);

// The text of --help and of --version.
QString helpText();
QString versionText();

} // namespace uplark
