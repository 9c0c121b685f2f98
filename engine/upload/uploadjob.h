#pragma once

#include "engine/protocol/textconversion.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace uplark {

class BlockingHttpClient;

// The client of the text conversion service: one synchronous request that
// turns the title, description and tags into the UTF-8 bytes the site is
// sent. The texts are taken as they are (angle brackets removed and line
// breaks as CR LF beforehand).
class TextConversion
{
public:
    TextConversion(BlockingHttpClient &http, const QByteArray &host);

    // The converted texts; nothing when no answer arrived or the answer
    // lacks one of the three sections.
    std::optional<ConvertedTexts> convert(const QString &title, const QString &description,
                                          const QString &tags);

private:
    BlockingHttpClient &m_http;
    QByteArray m_host;
};

} // namespace uplark
