#pragma once

#include <QByteArray>

namespace uplark {

// The upload form's action address, split into its parts.
struct UrlParts
{
    QByteArray scheme; // text before "://", empty when there is none
    QByteArray host;
    int port = 0;     // 0 when the address names no port
    QByteArray path;  // from the first "/" after the host up to "?"; "/" when there is none
    QByteArray query; // text after the first "?", empty when there is none

    bool operator==(const UrlParts &) const = default;
};

// Splits an address. A colon counts as the port separator only when it comes
// before the first slash after the host; a port text that is not plain
// decimal digits naming a port from 1 to 65535 leaves the port at 0. A host
// followed by a colon and digits but no slash at all keeps them in the host.
UrlParts splitUrl(const QByteArray &address);

// The file post goes over TLS when the address's scheme is "https" (in any
// case), in the clear for any other scheme or none.
bool isTlsTarget(const UrlParts &target);
// The port the file post goes to: the one the address names, otherwise 443
// over TLS and 80 in the clear.
int targetPort(const UrlParts &target);

} // namespace uplark
