#include "engine/protocol/wire.h"

#include "uplark_config.h"

namespace uplark {

QByteArray userAgentLine()
{
    return QByteArrayLiteral("User-Agent: Uplark 1.0 (") + QByteArray(ConversionHost) + ')';
}

} // namespace uplark
