#include "cli/commandline.h"

#include "uplark_config.h"
#include "engine/model/categories.h"
#include "engine/net/routes.h"

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>

#include <optional>

using namespace Qt::StringLiterals;

namespace uplark {

namespace {

struct Options
{
    QCommandLineOption help{{u"h"_s, u"help"_s}, u"Show this help and exit."_s};
    QCommandLineOption version{u"version"_s, u"Show the version and exit."_s};
    QCommandLineOption site{
        u"site"_s,
        u"The video site's web server, instead of the build's (%1, port 80); with https:// "
        "over TLS (port 443 unless given)."_s.arg(QString::fromLatin1(SiteHost)),
        u"[https://]HOST[:PORT]"_s};
    QCommandLineOption conversion{
        u"conversion-host"_s,
        u"The text conversion service's web server, instead of the build's (%1, port 80); "
        "with https:// over TLS."_s.arg(QString::fromLatin1(ConversionHost)),
        u"[https://]HOST[:PORT]"_s};
    QCommandLineOption caFile{
        u"cacert"_s,
        u"Trust the certificate authorities in this PEM file as well as the system's, for "
        "a private site."_s,
        u"FILE"_s};
    QCommandLineOption proxy{
        u"proxy"_s,
        u"Connect through this HTTP proxy, by CONNECT, instead of what http_proxy and "
        "https_proxy say (no_proxy still applies). URL is http://HOST:PORT, with "
        "USER:PASSWORD@ before HOST where the proxy asks for them."_s,
        u"URL"_s};
    QCommandLineOption title{u"title"_s, u"upload: the video's title."_s, u"TEXT"_s};
    QCommandLineOption description{u"description"_s, u"upload: the video's description."_s,
                                   u"TEXT"_s};
    QCommandLineOption descriptionFile{
        u"description-file"_s,
        u"upload: the description from a UTF-8 text file (line breaks kept, those at its end "
        "dropped)."_s,
        u"PATH"_s};
    QCommandLineOption category{u"category"_s,
                                u"upload: the category, by its name or its number (see below)."_s,
                                u"NAME-OR-NUMBER"_s};
    QCommandLineOption tags{u"tags"_s, u"upload: the tags, separated by spaces."_s, u"TEXT"_s};
    QCommandLineOption metadata{
        u"metadata"_s,
        u"upload: each file's own title, description, category and tags, from a JSON array of "
        "objects with a \"file\" key; they win over the options."_s,
        u"FILE"_s};
    QCommandLineOption json{u"json"_s,
                            u"upload: one JSON object a file on standard output, as each ends."_s};
    QCommandLineOption retry{u"retry"_s,
                             u"upload: try a file again up to N times after a connection error "
                             "or an answer without a video id, 1, 2, 4... seconds apart (at most "
                             "60; default 0)."_s,
                             u"N"_s};
    QCommandLineOption limitRate{
        u"limit-rate"_s,
        u"upload: send the file at most RATE bytes a second (suffix k, M or G: 1024-based)."_s,
        u"RATE"_s};
    QCommandLineOption stallTimeout{
        u"stall-timeout"_s,
        u"upload, account set: fail a step when no byte moves for SECONDS (default 60; 0: wait "
        "for ever)."_s,
        u"SECONDS"_s};
    QCommandLineOption quiet{{u"q"_s, u"quiet"_s},
                             u"Write nothing on standard error but errors."_s};

    void addTo(QCommandLineParser &parser) const
    {
        for (const QCommandLineOption *o :
             {&help, &version, &site, &conversion, &caFile, &proxy, &title, &description,
              &descriptionFile, &category, &tags, &metadata, &json, &retry, &limitRate,
              &stallTimeout, &quiet})
            parser.addOption(*o);
    }
};

// A whole number from 0 to `most`, in plain decimal digits.
std::optional<int> parseCount(const QString &text, int most)
{
    if (text.isEmpty() || text.size() > 9)
        return std::nullopt;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
    }
    const int value = text.toInt();
    return value <= most ? std::optional<int>(value) : std::nullopt;
}

QString categoryList()
{
    QString list;
    for (const QString &name : categoryNames())
        list += u"  "_s + QString::fromLatin1(categoryNumber(name)).rightJustified(2) + u"  "_s
                + name + u'\n';
    return list;
}

} // namespace

std::optional<qint64> parseRate(const QString &text)
{
    QString digits = text;
    qint64 unit = 1;
    if (!digits.isEmpty()) {
        switch (digits.back().toLower().unicode()) {
        case u'k':
            unit = 1024;
            break;
        case u'm':
            unit = 1024 * 1024;
            break;
        case u'g':
            unit = 1024 * 1024 * 1024;
            break;
        default:
            break;
        }
        if (unit > 1)
            digits.chop(1);
    }
    const std::optional<int> number = parseCount(digits, 999999999);
    if (!number)
        return std::nullopt;
    return *number * unit;
}

QString versionText()
{
    return u"uplark "_s + QString::fromLatin1(ProgramVersion) + u'\n';
}

QString helpText()
{
    QCommandLineParser parser;
    Options options;
    options.addTo(parser);
    QString text = u"Usage:\n"
                   "  uplark [FILE] [--site [https://]HOST[:PORT]] [--conversion-host ...]\n"
                   "         [--cacert FILE] [--proxy URL]\n"
                   "  uplark upload FILE... --title TEXT\n"
                   "                [--description TEXT | --description-file PATH]\n"
                   "                --category NAME-OR-NUMBER --tags TEXT [--metadata FILE]\n"
                   "                [--json] [-q] [--retry N] [--limit-rate RATE]\n"
                   "                [--stall-timeout SECONDS] [--site ...]\n"
                   "  uplark account set USER | account forget | account show [--site ...]\n"
                   "  uplark --help | --version\n"
                   "\n"
                   "Without a command Uplark opens its window; with FILE, with that file chosen\n"
                   "as Browse would choose it (a file named like a command: ./upload). When the\n"
                   "window is open already, a new start raises it and hands it FILE instead.\n"
                   "\"upload\" sends video files of at most 100 MB each to the stored account,\n"
                   "one after another, and prints each one's watch address; every file is\n"
                   "checked before the first upload starts. In the texts of the options, {name}\n"
                   "is the file's name without its extension, {n} its number and {total} the\n"
                   "number of files. \"account set\" reads the password from the terminal (or\n"
                   "from standard input), checks it with the site and stores it, with the site\n"
                   "that --site names, when the site accepts it; later commands use that site\n"
                   "without --site. \"account forget\" removes the account; \"account show\"\n"
                   "prints the stored user name. --site alone points the text conversion at the\n"
                   "site too.\n"
                   "\n"
                   "The password is kept in the desktop keyring (the Secret Service or KWallet);\n"
                   "where no keyring answers, in ~/.config/uplark/uplark.conf, readable by you\n"
                   "only. With https:// every connection runs over TLS and the server's\n"
                   "certificate is verified; http_proxy, https_proxy and no_proxy are honoured.\n"
                   "\n"_s;
    // The option list as QCommandLineParser lays it out, without its own
    // usage line.
    const QString generated = parser.helpText();
    const qsizetype optionsAt = generated.indexOf(u"Options:"_s);
    text += optionsAt < 0 ? generated : generated.mid(optionsAt);
    text += u"\nCategories:\n"_s + categoryList();
    text += u"\nExit codes: 0 all done; 1 the site or the network failed for a file, or the\n"
            "open window was busy and took no FILE; 2 bad usage or bad input; 130\n"
            "interrupted (Ctrl+C).\n"_s;
    return text;
}

bool applyNetworkOptions(const CommandLine &line, const QProcessEnvironment &environment,
                         RouteTable *routes, QString *error)
{
    ProxySettings proxies;
    if (!proxySettingsFromEnvironment(environment, &proxies, error))
        return false;
    if (line.proxy)
        proxies.every = line.proxy;
    routes->setProxies(proxies);

    if (line.caFile.isEmpty())
        return true;
    QFile file(line.caFile);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = u"cannot read --cacert "_s + line.caFile + u": "_s + file.errorString();
        return false;
    }
    const QList<QSslCertificate> authorities = QSslCertificate::fromData(file.readAll());
    if (authorities.isEmpty()) {
        *error = u"--cacert "_s + line.caFile + u" holds no PEM certificate"_s;
        return false;
    }
    routes->addAuthorities(authorities);
    return true;
}

CommandLine parseCommandLine(const QStringList &arguments)
{
    CommandLine line;
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    Options options;
    options.addTo(parser);
    if (!parser.parse(arguments)) {
        line.error = parser.errorText();
        return line;
    }

    // Every option may be given once.
    for (const QString &name : parser.optionNames()) {
        if (parser.optionNames().count(name) > 1) {
            line.error = u"--%1 is given more than once"_s.arg(name);
            return line;
        }
    }

    if (parser.isSet(options.help)) {
        line.action = CommandLine::Action::Help;
        return line;
    }
    if (parser.isSet(options.version)) {
        line.action = CommandLine::Action::Version;
        return line;
    }

    auto readAddress = [&](const QCommandLineOption &option, SiteAddress *address) {
        if (!parser.isSet(option))
            return true;
        const QString value = parser.value(option);
        QString why;
        if (parseSiteAddress(value, address, &why))
            return true;
        line.error =
            u"bad address for --%1 \"%2\": %3"_s.arg(option.names().constFirst(), value, why);
        return false;
    };
    if (!readAddress(options.site, &line.addresses.site)
        || !readAddress(options.conversion, &line.addresses.conversion))
        return line;
    line.siteGiven = parser.isSet(options.site);
    line.conversionGiven = parser.isSet(options.conversion);
    if (line.siteGiven && !line.conversionGiven)
        line.addresses.conversion = line.addresses.site;
    line.quiet = parser.isSet(options.quiet);
    line.json = parser.isSet(options.json);
    line.metadataFile = parser.value(options.metadata);
    if (parser.isSet(options.metadata) && line.metadataFile.isEmpty()) {
        line.error = u"--metadata needs a path"_s;
        return line;
    }
    if (parser.isSet(options.retry)) {
        const std::optional<int> retries = parseCount(parser.value(options.retry), 1000);
        if (!retries) {
            line.error = u"--retry takes a number of tries from 0 to 1000"_s;
            return line;
        }
        line.retries = *retries;
    }
    if (parser.isSet(options.stallTimeout)) {
        // Milliseconds of it must fit a timer.
        const std::optional<int> seconds = parseCount(parser.value(options.stallTimeout), 2000000);
        if (!seconds) {
            line.error = u"--stall-timeout takes whole seconds from 0 (no limit) to 2000000"_s;
            return line;
        }
        line.stallSeconds = *seconds;
    }
    if (parser.isSet(options.limitRate)) {
        const std::optional<qint64> rate = parseRate(parser.value(options.limitRate));
        if (!rate) {
            line.error = u"--limit-rate takes bytes a second, such as 500000, 200k or 1M"_s;
            return line;
        }
        line.rateLimit = *rate;
    }
    if (parser.isSet(options.caFile)) {
        line.caFile = parser.value(options.caFile);
        if (line.caFile.isEmpty()) {
            line.error = u"--cacert needs a file"_s;
            return line;
        }
    }
    if (parser.isSet(options.proxy)) {
        ProxyAddress proxy;
        QString why;
        if (!parseProxyAddress(parser.value(options.proxy), &proxy, &why)) {
            line.error = u"bad address for --proxy: "_s + why;
            return line;
        }
        line.proxy = proxy;
    }

    const QStringList positional = parser.positionalArguments();
    const QString command = positional.value(0);
    bool uploadOptions = false;
    for (const QCommandLineOption *o :
         {&options.title, &options.description, &options.descriptionFile, &options.category,
          &options.tags, &options.metadata, &options.json, &options.retry, &options.limitRate})
        uploadOptions = uploadOptions || parser.isSet(*o);
    if (command != u"upload"_s && uploadOptions) {
        line.error = u"--title, --description, --description-file, --category, --tags, "
                     "--metadata, --json, --retry and --limit-rate go with the upload command"_s;
        return line;
    }
    const bool checksSite =
        command == u"upload"_s || (command == u"account"_s && positional.value(1) == u"set"_s);
    if (!checksSite && parser.isSet(options.stallTimeout)) {
        line.error = u"--stall-timeout goes with the upload and account set commands"_s;
        return line;
    }

    if (positional.isEmpty()) {
        if (line.quiet)
            line.error = u"-q goes with a command"_s;
        return line; // the window
    }

    if (command == u"upload"_s) {
        line.filePaths = positional.mid(1);
        if (line.filePaths.isEmpty() || line.filePaths.contains(QString())) {
            line.error =
                u"upload takes one or more files: uplark upload FILE... --title TEXT ..."_s;
            return line;
        }
        if (parser.isSet(options.description) && parser.isSet(options.descriptionFile)) {
            line.error = u"give either --description or --description-file, not both"_s;
            return line;
        }
        line.action = CommandLine::Action::Upload;
        line.title = parser.value(options.title);
        line.description = parser.value(options.description);
        line.descriptionFile = parser.value(options.descriptionFile);
        if (parser.isSet(options.descriptionFile) && line.descriptionFile.isEmpty()) {
            line.error = u"--description-file needs a path"_s;
            return line;
        }
        line.category = parser.value(options.category);
        line.tags = parser.value(options.tags);
        return line;
    }

    if (command == u"account"_s) {
        const QString sub = positional.value(1);
        if (sub == u"set"_s && positional.size() == 3 && !positional.at(2).isEmpty()) {
            line.action = CommandLine::Action::AccountSet;
            line.user = positional.at(2);
        } else if (sub == u"forget"_s && positional.size() == 2) {
            line.action = CommandLine::Action::AccountForget;
        } else if (sub == u"show"_s && positional.size() == 2) {
            line.action = CommandLine::Action::AccountShow;
        } else {
            line.error = u"account takes: set USER, forget or show"_s;
        }
        return line;
    }

    // Anything else names the file the window opens with ("Open with" from
    // a file manager). The commands come first: a file called "upload" is
    // opened as ./upload.
    const QFileInfo file(command);
    if (!file.exists()) {
        line.error = u"no such command or file \"%1\" (try uplark --help)"_s.arg(command);
    } else if (!file.isFile()) {
        line.error = u"\"%1\" is not a file"_s.arg(command);
    } else if (positional.size() > 1) {
        line.error = u"the window opens one file at a time"_s;
    } else {
        line.filePath = file.absoluteFilePath();
    }
    return line;
}

} // namespace uplark
