// The conversion service's answer: the sections, their %XX decoding and the
// placeholder restore. Input: the whole answer.
#include "engine/protocol/textconversion.h"
#include "fuzz/check.h"

namespace uplark {
}
using namespace uplark;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray answer = FuzzBytes(data, size);

    const ConvertedTexts texts = ReadConversionAnswer(answer);
    // Decoding and restoring only ever shorten: an escape is three bytes for
    // one, a placeholder token longer than what it stands for.
    const QByteArray decodedTitle = DecodePercentEscapes(TitleSection(answer));
    const QByteArray decodedDscr = DecodePercentEscapes(DescriptionSection(answer));
    const QByteArray decodedTags = DecodePercentEscapes(TagsSection(answer));
    FUZZ_CHECK(decodedTitle.size() <= TitleSection(answer).size());
    FUZZ_CHECK(decodedDscr.size() <= DescriptionSection(answer).size());
    FUZZ_CHECK(decodedTags.size() <= TagsSection(answer).size());
    FUZZ_CHECK(texts.title.size() <= decodedTitle.size());
    FUZZ_CHECK(texts.dscr.size() <= decodedDscr.size());
    FUZZ_CHECK(texts.tags.size() <= decodedTags.size());
    FUZZ_CHECK(answer.contains(TitleSection(answer)));
    if (!answer.contains("<TITLE>") || !answer.contains("<DSCR>") || !answer.contains("<TAGS>"))
        FUZZ_CHECK(!HasConversionSections(answer));

    // The decoder on the raw input: never longer, nothing to do without "%",
    // and every byte escaped comes back as itself.
    const QByteArray decoded = DecodePercentEscapes(answer);
    FUZZ_CHECK(decoded.size() <= answer.size());
    if (!answer.contains('%'))
        FUZZ_CHECK(decoded == answer);
    if (answer.size() <= 1024) {
        FUZZ_CHECK(DecodePercentEscapes(EscapeEveryByte(answer, false)) == answer);
        FUZZ_CHECK(DecodePercentEscapes(EscapeEveryByte(answer, true)) == answer);
    }
    return 0;
}
