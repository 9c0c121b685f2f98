#include "videosite/site/clock.h"

#include <QDateTime>

namespace videosite {

qint64 currentTime()
{
    return QDateTime::currentSecsSinceEpoch();
}

} // namespace videosite
