#pragma once

#include <QtGlobal>

namespace videosite {

// Seconds since the epoch, from the system clock.
qint64 currentTime();

} // namespace videosite
