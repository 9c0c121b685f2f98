#include "engine/upload/uploadjob.h"

#include "engine/net/blockinghttpclient.h"

namespace uplark {

TextConversion::TextConversion(HttpRequest &http, const QByteArray &host)
    : m_http(http)
    , m_host(host)
{
}

std::optional<ConvertedTexts> TextConversion::convert(const QString &title,
                                                      const QString &description,
                                                      const QString &tags)
{
    const HttpReply reply =
        m_http.post(ConversionUrl(m_host), ConversionContentType,
                    ConversionBody(EncodePlaceholders(title), EncodePlaceholders(description),
                                   EncodePlaceholders(tags)));
    if (!reply.ok || !HasConversionSections(reply.body))
        return std::nullopt;
    return ReadConversionAnswer(reply.body);
}

} // namespace uplark
