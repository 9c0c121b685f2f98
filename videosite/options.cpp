#include "videosite/options.h"

using namespace Qt::StringLiterals;

namespace videosite {

namespace {

bool readNumber(const QString &text, qint64 min, qint64 max, qint64 *value)
{
    bool ok = false;
    const qint64 number = text.toLongLong(&ok);
    if (!ok || number < min || number > max)
        return false;
    *value = number;
    return true;
}

} // namespace

QString usageText()
{
    return u"Usage:\n"
           "  videosite --data DIR [--listen HOST:PORT] [--upload-listen HOST:PORT]\n"
           "            [--public-host NAME] [--lockout-seconds N] [--idle-timeout N]\n"
           "            [--head-timeout N] [--max-connections N] [--connections-per-address N]\n"
           "            [--ticket-lifetime N] [--tls-cert FILE --tls-key FILE]\n"
           "  videosite --data DIR [--password-file FILE] add-account NAME\n"
           "\n"
           "Serves the video site and the text conversion service on --listen\n"
           "(default 127.0.0.1:80) and the upload server on --upload-listen\n"
           "(default 127.0.0.1:8080); prints both addresses, one a line.\n"
           "  --public-host NAME     host name used in the addresses the pages give (localhost)\n"
           "  --lockout-seconds N    failed-login window and lock length (900)\n"
           "  --idle-timeout N       seconds before an idle connection is closed (60)\n"
           "  --head-timeout N       seconds a request head may take from its first byte;\n"
           "                         also the window over which a body must average 1 KiB/s (10)\n"
           "  --max-connections N    connections served at once; more are answered with 503 (512)\n"
           "  --connections-per-address N\n"
           "                         connections served at once for one client address (32)\n"
           "  --ticket-lifetime N    seconds an upload form stays valid (21600)\n"
           "  --tls-cert FILE, --tls-key FILE\n"
           "                         serve both over HTTPS with this certificate chain and\n"
           "                         private key (PEM); the addresses given out use https://\n"
           "\n"
           "add-account adds the account NAME, or gives it a new password, read from the\n"
           "first line of standard input (without echo on a terminal) or of --password-file.\n"_s;
}

bool parseListenAddress(const QString &text, ListenAddress *address)
{
    const qsizetype colon = text.lastIndexOf(u':');
    if (colon <= 0)
        return false;
    QString host = text.left(colon);
    if (host.startsWith(u'[') && host.endsWith(u']'))
        host = host.mid(1, host.size() - 2);
    qint64 port = 0;
    if (!readNumber(text.mid(colon + 1), 0, 65535, &port))
        return false;
    QHostAddress parsed;
    if (host == u"localhost"_s)
        parsed = QHostAddress(QHostAddress::LocalHost);
    else if (!parsed.setAddress(host))
        return false;
    address->host = parsed;
    address->port = quint16(port);
    return true;
}

QString formatAddress(const QHostAddress &host, quint16 port)
{
    const QString text = host.toString();
    if (host.protocol() == QAbstractSocket::IPv6Protocol)
        return u'[' + text + u"]:"_s + QString::number(port);
    return text + u':' + QString::number(port);
}

ParsedOptions parseOptions(const QStringList &arguments)
{
    ParsedOptions parsed;
    ServerOptions &options = parsed.options;
    QStringList positional;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &arg = arguments.at(i);
        if (arg == u"--help"_s || arg == u"-h"_s) {
            options.command = ServerOptions::Command::Help;
            return parsed;
        }
        if (!arg.startsWith(u"--"_s)) {
            positional.append(arg);
            continue;
        }
        if (i + 1 >= arguments.size()) {
            parsed.error = arg + u" needs a value"_s;
            return parsed;
        }
        const QString value = arguments.at(++i);
        qint64 number = 0;
        if (arg == u"--data"_s) {
            options.dataDir = value;
        } else if (arg == u"--listen"_s) {
            if (!parseListenAddress(value, &options.site))
                parsed.error = u"bad address for --listen: "_s + value;
        } else if (arg == u"--upload-listen"_s) {
            if (!parseListenAddress(value, &options.upload))
                parsed.error = u"bad address for --upload-listen: "_s + value;
        } else if (arg == u"--public-host"_s) {
            options.publicHost = value.toUtf8();
            const bool portGiven = value.contains(u':') && !value.startsWith(u'[');
            if (value.isEmpty() || portGiven || value.contains(u'/') || value.contains(u'"')
                || value.contains(u' '))
                parsed.error = u"bad host name for --public-host: "_s + value;
        } else if (arg == u"--lockout-seconds"_s) {
            if (readNumber(value, 1, 7 * 24 * 3600, &number))
                options.lockoutSeconds = number;
            else
                parsed.error = u"bad number for --lockout-seconds: "_s + value;
        } else if (arg == u"--idle-timeout"_s) {
            if (readNumber(value, 1, 24 * 3600, &number))
                options.idleTimeoutSeconds = int(number);
            else
                parsed.error = u"bad number for --idle-timeout: "_s + value;
        } else if (arg == u"--head-timeout"_s) {
            if (readNumber(value, 1, 3600, &number))
                options.headTimeoutSeconds = int(number);
            else
                parsed.error = u"bad number for --head-timeout: "_s + value;
        } else if (arg == u"--max-connections"_s) {
            if (readNumber(value, 1, 100000, &number))
                options.maxConnections = int(number);
            else
                parsed.error = u"bad number for --max-connections: "_s + value;
        } else if (arg == u"--connections-per-address"_s) {
            if (readNumber(value, 1, 100000, &number))
                options.connectionsPerAddress = int(number);
            else
                parsed.error = u"bad number for --connections-per-address: "_s + value;
        } else if (arg == u"--tls-cert"_s) {
            options.tlsCertificate = value;
        } else if (arg == u"--tls-key"_s) {
            options.tlsKey = value;
        } else if (arg == u"--password-file"_s) {
            options.passwordFile = value;
        } else if (arg == u"--ticket-lifetime"_s) {
            if (readNumber(value, 1, 30 * 24 * 3600, &number))
                options.ticketLifetimeSeconds = number;
            else
                parsed.error = u"bad number for --ticket-lifetime: "_s + value;
        } else {
            parsed.error = u"unknown option "_s + arg;
        }
        if (!parsed.error.isEmpty())
            return parsed;
    }

    if (options.dataDir.isEmpty()) {
        parsed.error = u"--data DIR is required"_s;
        return parsed;
    }
    if (options.tlsCertificate.isEmpty() != options.tlsKey.isEmpty()) {
        parsed.error = u"--tls-cert and --tls-key go together"_s;
        return parsed;
    }
    if (positional.isEmpty())
        return parsed;
    if (positional.first() != u"add-account"_s) {
        parsed.error = u"unknown command "_s + positional.first();
        return parsed;
    }
    if (positional.size() > 2) {
        // Every user of the machine can read a command line.
        parsed.error = u"add-account takes no password on the command line; give it on standard "
                       "input or with --password-file FILE"_s;
        return parsed;
    }
    if (positional.size() != 2 || positional.at(1).isEmpty()) {
        parsed.error = u"add-account needs a user name"_s;
        return parsed;
    }
    options.command = ServerOptions::Command::AddAccount;
    options.accountName = positional.at(1);
    return parsed;
}

} // namespace videosite
