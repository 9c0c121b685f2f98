#pragma once

#include <QByteArray>
#include <QString>

namespace uplark {

// Where a web server of the site is reached: the host and port connections
// go to, whether they run over TLS, and the authority that the "Host: "
// lines and the addresses shown to the user carry. Without a port the
// authority is the host alone and the port is 80 (443 over TLS); with one it
// is "HOST:PORT" exactly as it was given.
//
// The User-Agent line is not among them: it names the program and its
// build's conversion host, the same whichever servers a run talks to.
struct SiteAddress
{
    QString host;
    quint16 port = 80;
    QByteArray authority;
    bool tls = false; // https://

    // "https://" or "http://".
    QByteArray schemePrefix() const { return tls ? "https://" : "http://"; }

    bool operator==(const SiteAddress &) const = default;
};

// The build's addresses: the site host and the conversion host, port 80.
SiteAddress defaultSiteAddress();
SiteAddress defaultConversionAddress();

// Both servers the program talks to.
struct SiteAddresses
{
    SiteAddress site = defaultSiteAddress();
    SiteAddress conversion = defaultConversionAddress();
};

// Reads "HOST" or "HOST:PORT" (an IPv6 host in brackets: "[::1]:8000"),
// with "http://" or "https://" in front or not (either case; a "/" may end
// it). On a malformed text (empty, no host, a port that is not 1 to 65535,
// another scheme, a path or other characters a host name cannot have)
// returns false and puts what is wrong in `error`, one line.
bool parseSiteAddress(const QString &text, SiteAddress *address, QString *error);

// "host:port" for messages, an IPv6 host in brackets: "[::1]:8000".
QString endpointText(const QString &host, int port);

} // namespace uplark
