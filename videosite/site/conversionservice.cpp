#include "videosite/site/conversionservice.h"

namespace videosite {

ConversionFields splitConversionRequest(QByteArrayView body)
{
    ConversionFields fields;
    const QByteArrayView titlePrefix("title=");
    const QByteArrayView descriptionMarker("&dscr=");
    const QByteArrayView tagsMarker("&tags=");

    qsizetype titleStart = 0;
    if (body.startsWith(titlePrefix))
        titleStart = titlePrefix.size();
    const qsizetype descriptionAt = body.indexOf(descriptionMarker, titleStart);
    const qsizetype tags = body.indexOf(
        tagsMarker, descriptionAt < 0 ? titleStart : descriptionAt + descriptionMarker.size());

    const qsizetype titleEnd =
        descriptionAt >= 0 ? descriptionAt : (tags >= 0 ? tags : body.size());
    if (titleStart > 0)
        fields.title = body.sliced(titleStart, titleEnd - titleStart).toByteArray();
    if (descriptionAt >= 0) {
        const qsizetype start = descriptionAt + descriptionMarker.size();
        fields.description =
            body.sliced(start, (tags >= 0 ? tags : body.size()) - start).toByteArray();
    }
    if (tags >= 0)
        fields.tags = body.sliced(tags + tagsMarker.size()).toByteArray();
    return fields;
}

QByteArray escapeForConversion(QByteArrayView text)
{
    static constexpr char Hex[] = "0123456789ABCDEF";
    QByteArray out;
    out.reserve(text.size() * 3);
    for (const char c : text) {
        const uchar byte = uchar(c);
        if (byte >= 0x20 && byte <= 0x7E && byte != '%') {
            out.append(c);
        } else {
            out.append('%');
            out.append(Hex[byte >> 4]);
            out.append(Hex[byte & 0x0F]);
        }
    }
    return out;
}

QByteArray conversionAnswer(const ConversionFields &fields)
{
    return "<TITLE>" + escapeForConversion(fields.title) + "</TITLE><DSCR>"
           + escapeForConversion(fields.description) + "</DSCR><TAGS>"
           + escapeForConversion(fields.tags) + "</TAGS>";
}

} // namespace videosite
