#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace common {

// Decodes %XX escapes (either case of hex digit) into the byte they name. A
// "%" that is not followed by two hex digits stays as it is, and so do the
// bytes after it. With plusAsSpace, "+" becomes a space, as in
// application/x-www-form-urlencoded; an escaped "%2B" stays a "+".
QByteArray percentDecode(QByteArrayView text, bool plusAsSpace);

} // namespace common
