#pragma once

#include <QByteArray>

namespace uplark {

// Texts that several requests share. Requests are byte strings: one
// character is one byte on the wire.

inline const QByteArray CRLF = QByteArrayLiteral("\r\n");

// Boundary of the multipart form posts.
inline const QByteArray Boundary = QByteArrayLiteral("Xu02=$");

// "User-Agent: Uplark 1.0 (<conversion host>)", without its line end.
QByteArray userAgentLine();

} // namespace uplark
