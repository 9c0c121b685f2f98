#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace videosite {

// The media type of a stored video, told from its first bytes (the uploader's
// stated type is not trusted and is the same for every file). Falls back to
// application/octet-stream.
QByteArray sniffVideoType(QByteArrayView head);

} // namespace videosite
