#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <optional>

namespace uplark {

// An HTTP proxy that connections pass through by CONNECT: its host and port,
// and the user name and password it asks for, if any.
struct ProxyAddress
{
    QString host;
    quint16 port = 0;
    QString user;
    QString password;

    // "HOST:PORT", as messages name the proxy (never with the password).
    QString name() const;
    bool operator==(const ProxyAddress &) const = default;
};

// Reads "http://[USER[:PASSWORD]@]HOST[:PORT][/]" or the same without
// "http://"; the port is 1080 when none is given, as curl has it. User and
// password are percent-decoded. Another scheme, a path or a malformed host
// or port return false with what is wrong in `error`, one line.
bool parseProxyAddress(const QString &text, ProxyAddress *proxy, QString *error);

// Which proxy each connection goes through, as curl and most programs read
// it: https_proxy for servers reached over TLS, http_proxy for the others,
// or one proxy for every connection (--proxy); in every case no proxy for
// a host that no_proxy names.
struct ProxySettings
{
    std::optional<ProxyAddress> every; // --proxy: both kinds of connection
    std::optional<ProxyAddress> http;  // http_proxy, HTTP_PROXY
    std::optional<ProxyAddress> https; // https_proxy, HTTPS_PROXY
    // no_proxy: "*" (every host), host names (a name also covers the names
    // below it: "example.org" and ".example.org" both cover
    // "www.example.org"), IP addresses and IP ranges ("10.0.0.0/8").
    QStringList exempt;

    // The proxy for a connection to `host`; none when it goes direct.
    std::optional<ProxyAddress> proxyFor(const QString &host, bool tls) const;
    bool isEmpty() const { return !every && !http && !https; }
};

// The settings of the environment variables http_proxy, https_proxy and
// no_proxy (each in lower or upper case; lower case wins when both are set).
// An empty variable counts as unset. False, with the variable's name and
// what is wrong in `error`, for a malformed proxy address.
bool proxySettingsFromEnvironment(const QProcessEnvironment &environment, ProxySettings *settings,
                                  QString *error);

} // namespace uplark
