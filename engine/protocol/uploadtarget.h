#pragma once

#include <QByteArray>

namespace uplark {

// The upload form's action address, split into its parts.
struct URLParts
{
    QByteArray Scheme; // text before "://", empty when there is none
    QByteArray Host;
    int Port = 0;     // 0 when the address names no port
    QByteArray Path;  // from the first "/" after the host up to "?"; "/" when there is none
    QByteArray Query; // text after the first "?", empty when there is none

    bool operator==(const URLParts &) const = default;
};

// Splits an address. A colon counts as the port separator only when it comes
// before the first slash after the host; a port text that is not plain
// decimal digits naming a port from 1 to 65535 leaves Port at 0. A host
// followed by a colon and digits but no slash at all keeps them in Host.
URLParts SplitURL(const QByteArray &address);

} // namespace uplark
