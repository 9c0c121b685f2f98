#pragma once

#include "engine/net/proxy.h"
#include "engine/net/siteaddress.h"

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

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
        Window,        // no command: the window opens
        Help,          // --help
        Version,       // --version
        Upload,        // upload FILE ...
        AccountSet,    // account set USER
        AccountForget, // account forget
        AccountShow,   // account show
    };
    Action action = Action::Window;
    SiteAddresses addresses;
    QString caFile;                    // --cacert: authorities trusted beside the system's
    std::optional<ProxyAddress> proxy; // --proxy: for every connection

    // upload
    QString filePath;
    QString title;
    QString description;     // --description, or empty with a file named
    QString descriptionFile; // --description-file
    QString category;        // a name as the list shows it, or its number
    QString tags;

    // account set
    QString user;

    // Bad usage: what is wrong, one line; the action is then meaningless.
    QString error;
};

// Reads the arguments (arguments[0] is the program). Options may come before
// or after the command; "--" ends the options.
CommandLine parseCommandLine(const QStringList &arguments);

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
