#include "site/wire.h"

#include "uplark_config.h"

QByteArray UserAgentLine()
{
    return QByteArrayLiteral("User-Agent: Uplark 1.0 (") + QByteArray(ConversionHost) + ')';
}
