#include "engine/upload/uploadjob.h"

#include "engine/net/blockinghttpclient.h"

namespace uplark {

TextConversion::TextConversion(BlockingHttpClient &http, const QByteArray &host)
    : m_http(http)
    , m_host(host)
{
}

std::optional<ConvertedTexts> TextConversion::convert(const QString &title,
                                                      const QString &description,
                                                      const QString &tags)
{
    const HttpReply reply =
        m_http.post(conversionUrl(m_host), ConversionContentType,
                    conversionBody(encodePlaceholders(title), encodePlaceholders(description),
                                   encodePlaceholders(tags)));
    if (!reply.ok || !hasConversionSections(reply.body))
        return std::nullopt;
    return readConversionAnswer(reply.body);
}

} // namespace uplark
