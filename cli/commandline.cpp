#include "cli/commandline.h"

#include "uplark_config.h"
#include "engine/model/categories.h"
#include "engine/net/routes.h"

#include <QCommandLineParser>
#include <QFile>

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

    void addTo(QCommandLineParser &parser) const
    {
        for (const QCommandLineOption *o :
             {&help, &version, &site, &conversion, &caFile, &proxy, &title, &description,
              &descriptionFile, &category, &tags})
            parser.addOption(*o);
    }
};

QString categoryList()
{
    QString list;
    for (const QString &name : categoryNames())
        list += u"  "_s + QString::fromLatin1(categoryNumber(name)).rightJustified(2) + u"  "_s
                + name + u'\n';
    return list;
}

} // namespace

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
                   "  uplark [--site [https://]HOST[:PORT]] [--conversion-host ...] [--cacert "
                   "FILE]\n"
                   "         [--proxy URL]\n"
                   "  uplark upload FILE --title TEXT [--description TEXT | --description-file "
                   "PATH]\n"
                   "                --category NAME-OR-NUMBER --tags TEXT [--site ...]\n"
                   "  uplark account set USER | account forget | account show [--site ...]\n"
                   "  uplark --help | --version\n"
                   "\n"
                   "Without a command Uplark opens its window. \"upload\" sends one video "
                   "file of at\n"
                   "most 100 MB to the stored account and prints its watch address. \"account "
                   "set\"\n"
                   "reads the password from the terminal (or from standard input), checks it "
                   "with\n"
                   "the site and stores it when the site accepts it; \"account forget\" removes "
                   "it;\n"
                   "\"account show\" prints the stored user name.\n"
                   "\n"
                   "The password is kept in the desktop keyring (the Secret Service or KWallet);\n"
                   "where no keyring answers, in ~/.config/uplark/uplark.conf, readable by you "
                   "only.\n"
                   "With https:// every connection runs over TLS and the server's certificate "
                   "is\n"
                   "verified; http_proxy, https_proxy and no_proxy are honoured.\n"
                   "\n"_s;
    // The option list as QCommandLineParser lays it out, without its own
    // usage line.
    const QString generated = parser.helpText();
    const qsizetype optionsAt = generated.indexOf(u"Options:"_s);
    text += optionsAt < 0 ? generated : generated.mid(optionsAt);
    text += u"\nCategories:\n"_s + categoryList();
    text += u"\nExit codes: 0 done; 1 the site or the network failed; 2 bad usage or bad input;\n"
            "130 interrupted (Ctrl+C).\n"_s;
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
    const bool uploadOptions = parser.isSet(options.title) || parser.isSet(options.description)
                               || parser.isSet(options.descriptionFile)
                               || parser.isSet(options.category) || parser.isSet(options.tags);
    if (command != u"upload"_s && uploadOptions) {
        line.error = u"--title, --description, --description-file, --category and --tags go with "
                     "the upload command"_s;
        return line;
    }

    if (positional.isEmpty())
        return line; // the window

    if (command == u"upload"_s) {
        if (positional.size() != 2 || positional.at(1).isEmpty()) {
            line.error = u"upload takes one file: uplark upload FILE --title TEXT ..."_s;
            return line;
        }
        if (parser.isSet(options.description) && parser.isSet(options.descriptionFile)) {
            line.error = u"give either --description or --description-file, not both"_s;
            return line;
        }
        line.action = CommandLine::Action::Upload;
        line.filePath = positional.at(1);
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

    line.error = u"unknown command \"%1\" (try uplark --help)"_s.arg(command);
    return line;
}

} // namespace uplark
