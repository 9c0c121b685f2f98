#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QString>
#include <QStringList>

namespace videosite {

struct ListenAddress
{
    QHostAddress host;
    quint16 port = 0;
};

struct ServerOptions
{
    enum class Command { Serve, AddAccount, Help };
    Command command = Command::Serve;
    QString dataDir;
    ListenAddress site{QHostAddress(QHostAddress::LocalHost), 80};
    ListenAddress upload{QHostAddress(QHostAddress::LocalHost), 8080};
    QByteArray publicHost = "localhost";
    qint64 lockoutSeconds = 15 * 60;
    int idleTimeoutSeconds = 60;
    int headTimeoutSeconds = 10;
    int maxConnections = 512;
    int connectionsPerAddress = 32;
    qint64 ticketLifetimeSeconds = 6 * 3600;
    // Both set: the two servers speak HTTPS with this certificate (PEM,
    // followed by any intermediate ones) and its private key (PEM).
    QString tlsCertificate;
    QString tlsKey;
    QString accountName;
    // add-account reads the password from this file, or from standard
    // input when it is empty.
    QString passwordFile;
};

struct ParsedOptions
{
    ServerOptions options;
    QString error; // empty when the command line is good
};

// Reads "videosite --data DIR [options]" and
// "videosite --data DIR [--password-file FILE] add-account NAME" (arguments[0]
// is the program).
ParsedOptions parseOptions(const QStringList &arguments);

// "HOST:PORT"; HOST an IP address (IPv6 in brackets) or "localhost".
bool parseListenAddress(const QString &text, ListenAddress *address);
// The address as printed for others to connect to: "host:port", "[v6]:port".
QString formatAddress(const QHostAddress &host, quint16 port);

QString usageText();

} // namespace videosite
