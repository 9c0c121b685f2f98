#include "engine/protocol/textconversion.h"

#include "common/percentcoding.h"
#include "engine/protocol/markers.h"

namespace uplark {

using namespace Qt::StringLiterals;

QByteArray conversionUrl(const QByteArray &host, bool tls)
{
    return (tls ? "https://" : "http://") + host + ConversionPath;
}

QString removeAngleBrackets(const QString &text)
{
    QString result = text;
    result.remove(u'<');
    result.remove(u'>');
    return result;
}

QString lineBreaksToCrLf(const QString &text)
{
    QString result;
    result.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\r') {
            result += u"\r\n"_s;
            if (i + 1 < text.size() && text.at(i + 1) == u'\n')
                ++i;
        } else if (c == u'\n' || c == QChar::ParagraphSeparator || c == QChar::LineSeparator) {
            result += u"\r\n"_s;
        } else {
            result += c;
        }
    }
    return result;
}

QString encodePlaceholders(const QString &text)
{
    QString result = text;
    result.replace(u" "_s, QString::fromLatin1(Placeholder::Space));
    result.replace(u"\r\n"_s, QString::fromLatin1(Placeholder::CrLf));
    result.replace(u"%"_s, QString::fromLatin1(Placeholder::Percent));
    result.replace(u"&"_s, QString::fromLatin1(Placeholder::Amp));
    return result;
}

QByteArray conversionBody(const QString &title, const QString &description, const QString &tags)
{
    return "title=" + title.toUtf8() + "&dscr=" + description.toUtf8() + "&tags=" + tags.toUtf8();
}

bool hasConversionSections(const QByteArray &answer)
{
    return answer.contains("<TITLE>") && answer.contains("<DSCR>") && answer.contains("<TAGS>");
}

QByteArray titleSection(const QByteArray &answer)
{
    return cutBetween(answer, "<TITLE>", "</TITLE>");
}

QByteArray descriptionSection(const QByteArray &answer)
{
    return cutBetween(answer, "<DSCR>", "</DSCR>");
}

QByteArray tagsSection(const QByteArray &answer)
{
    return cutBetween(answer, "<TAGS>", "</TAGS>");
}

QByteArray decodePercentEscapes(const QByteArray &section)
{
    return common::percentDecode(section, false);
}

QByteArray restoreSpaceAndCrLf(const QByteArray &decoded)
{
    QByteArray result = decoded;
    result.replace(Placeholder::Space, " ");
    result.replace(Placeholder::CrLf, "\r\n");
    return result;
}

QByteArray restorePercentAndAmp(const QByteArray &text)
{
    QByteArray result = text;
    result.replace(Placeholder::Percent, "%");
    result.replace(Placeholder::Amp, "&");
    return result;
}

ConvertedTexts readConversionAnswer(const QByteArray &answer)
{
    // Every text has its space and CR LF tokens put back before any has its
    // percent and ampersand tokens.
    ConvertedTexts t;
    t.tags = restoreSpaceAndCrLf(decodePercentEscapes(tagsSection(answer)));
    t.title = restoreSpaceAndCrLf(decodePercentEscapes(titleSection(answer)));
    t.description = restoreSpaceAndCrLf(decodePercentEscapes(descriptionSection(answer)));
    t.tags = restorePercentAndAmp(t.tags);
    t.title = restorePercentAndAmp(t.title);
    t.description = restorePercentAndAmp(t.description);
    return t;
}

} // namespace uplark
