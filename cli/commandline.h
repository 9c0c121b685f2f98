#pragma once

#include "engine/net/siteaddress.h"

#include <QString>
#include <QStringList>

namespace uplark {

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
        Upload,        // upload FILE ...
        AccountSet,    // account set USER
        AccountForget, // account forget
        AccountShow,   // account show
    };
    Action action = Action::Window;
    SiteAddresses addresses;

    // upload's FILE; or the file the window opens with, as an absolute path
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

// The text of --help and of --version.
QString helpText();
QString versionText();

} // namespace uplark
