#pragma once

#include <QByteArray>
#include <QString>

namespace uplark {

// The text conversion: the title, description and tags go to the conversion
// service with four characters replaced by placeholder tokens, and come back
// as "%XX" byte escapes between section markers. These functions prepare the
// request and take the answer apart; the upload job calls them.

namespace Placeholder {
inline constexpr char Space[] = "[_ULK-SPACE_]";
inline constexpr char CrLf[] = "[_ULK-CRLF_]";
inline constexpr char Percent[] = "[_ULK-PERCENT_]";
inline constexpr char Amp[] = "[_ULK-AMP_]";
} // namespace Placeholder

// Path of the service on the conversion host and the content type of its
// request.
inline constexpr char ConversionPath[] = "/conversions/str.asp";
inline constexpr char ConversionContentType[] = "application/x-www-form-urlencoded;charset=utf-8";

// "http://" (or "https://" with `tls`) + host + the service's path.
QByteArray conversionUrl(const QByteArray &host, bool tls = false);

// The text with every "<" removed, then every ">".
QString removeAngleBrackets(const QString &text);

// The text of a multi-line box with every line break as CR LF. A box reports
// its line breaks as LF or as Unicode paragraph and line separators; CR LF
// pairs stay as they are and a lone CR becomes CR LF too, so whatever the
// user sees as a line break travels as one.
QString lineBreaksToCrLf(const QString &text);

// Placeholder encoding of one text, in this order: space, CR LF, "%", "&".
// Nothing else is changed; a lone CR or LF stays as it is.
QString encodePlaceholders(const QString &text);

// The request body "title=" T "&dscr=" D "&tags=" G, in UTF-8. The texts are
// expected to be encoded already.
QByteArray conversionBody(const QString &title, const QString &description, const QString &tags);

// True when the answer holds all three opening markers "<TITLE>", "<DSCR>"
// and "<TAGS>".
bool hasConversionSections(const QByteArray &answer);

// The three sections of the answer, each as it stands between its markers
// (a missing closing marker lets it run to the next opening marker of the
// same kind or to the end).
QByteArray titleSection(const QByteArray &answer);
QByteArray descriptionSection(const QByteArray &answer);
QByteArray tagsSection(const QByteArray &answer);

// "%" followed by two hexadecimal digits becomes the byte with that code;
// every other byte, also a "%" without two hexadecimal digits after it, is
// kept as it is.
QByteArray decodePercentEscapes(const QByteArray &section);

// The two restore steps: space and CR LF tokens first; then, once every text
// has had its first step, the percent and ampersand tokens.
QByteArray restoreSpaceAndCrLf(const QByteArray &decoded);
QByteArray restorePercentAndAmp(const QByteArray &text);

// The whole answer taken apart into the finished byte strings.
struct ConvertedTexts
{
    QByteArray title;
    QByteArray description;
    QByteArray tags;
};
ConvertedTexts readConversionAnswer(const QByteArray &answer);

} // namespace uplark
