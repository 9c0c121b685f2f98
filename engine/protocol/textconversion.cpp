#include "engine/protocol/textconversion.h"

#include "common/percentcoding.h"
#include "engine/protocol/markers.h"

namespace uplark {

using namespace Qt::StringLiterals;

QByteArray ConversionUrl(const QByteArray &host)
{
    return "http://" + host + ConversionPath;
}

QString RemoveAngleBrackets(const QString &text)
{
    QString result = text;
    result.remove(u'<');
    result.remove(u'>');
    return result;
}

QString LineBreaksToCrLf(const QString &text)
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

QString EncodePlaceholders(const QString &text)
{
    QString result = text;
    result.replace(u" "_s, QString::fromLatin1(Placeholder::Space));
    result.replace(u"\r\n"_s, QString::fromLatin1(Placeholder::CrLf));
    result.replace(u"%"_s, QString::fromLatin1(Placeholder::Percent));
    result.replace(u"&"_s, QString::fromLatin1(Placeholder::Amp));
    return result;
}

QByteArray ConversionBody(const QString &title, const QString &dscr, const QString &tags)
{
    return "title=" + title.toUtf8() + "&dscr=" + dscr.toUtf8() + "&tags=" + tags.toUtf8();
}

bool HasConversionSections(const QByteArray &answer)
{
    return answer.contains("<TITLE>") && answer.contains("<DSCR>") && answer.contains("<TAGS>");
}

QByteArray TitleSection(const QByteArray &answer)
{
    return CutBetween(answer, "<TITLE>", "</TITLE>");
}

QByteArray DescriptionSection(const QByteArray &answer)
{
    return CutBetween(answer, "<DSCR>", "</DSCR>");
}

QByteArray TagsSection(const QByteArray &answer)
{
    return CutBetween(answer, "<TAGS>", "</TAGS>");
}

QByteArray DecodePercentEscapes(const QByteArray &section)
{
    return common::percentDecode(section, false);
}

QByteArray RestoreSpaceAndCrLf(const QByteArray &decoded)
{
    QByteArray result = decoded;
    result.replace(Placeholder::Space, " ");
    result.replace(Placeholder::CrLf, "\r\n");
    return result;
}

QByteArray RestorePercentAndAmp(const QByteArray &text)
{
    QByteArray result = text;
    result.replace(Placeholder::Percent, "%");
    result.replace(Placeholder::Amp, "&");
    return result;
}

ConvertedTexts ReadConversionAnswer(const QByteArray &answer)
{
    // Every text has its space and CR LF tokens put back before any has its
    // percent and ampersand tokens.
    ConvertedTexts t;
    t.tags = RestoreSpaceAndCrLf(DecodePercentEscapes(TagsSection(answer)));
    t.title = RestoreSpaceAndCrLf(DecodePercentEscapes(TitleSection(answer)));
    t.dscr = RestoreSpaceAndCrLf(DecodePercentEscapes(DescriptionSection(answer)));
    t.tags = RestorePercentAndAmp(t.tags);
    t.title = RestorePercentAndAmp(t.title);
    t.dscr = RestorePercentAndAmp(t.dscr);
    return t;
}

} // namespace uplark
