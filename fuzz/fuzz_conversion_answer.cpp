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

    const ConvertedTexts texts = readConversionAnswer(answer);
    // Decoding and restoring only ever shorten: an escape is three bytes for
    // one, a placeholder token longer than what it stands for.
    const QByteArray decodedTitle = decodePercentEscapes(titleSection(answer));
    const QByteArray decodedDescription = decodePercentEscapes(descriptionSection(answer));
    const QByteArray decodedTags = decodePercentEscapes(tagsSection(answer));
    FUZZ_CHECK(decodedTitle.size() <= titleSection(answer).size());
    FUZZ_CHECK(decodedDescription.size() <= descriptionSection(answer).size());
    FUZZ_CHECK(decodedTags.size() <= tagsSection(answer).size());
    FUZZ_CHECK(texts.title.size() <= decodedTitle.size());
    FUZZ_CHECK(texts.description.size() <= decodedDescription.size());
    FUZZ_CHECK(texts.tags.size() <= decodedTags.size());
    FUZZ_CHECK(answer.contains(titleSection(answer)));
    if (!answer.contains("<TITLE>") || !answer.contains("<DSCR>") || !answer.contains("<TAGS>"))
        FUZZ_CHECK(!hasConversionSections(answer));

    // The decoder on the raw input: never longer, nothing to do without "%",
    // and every byte escaped comes back as itself.
    const QByteArray decoded = decodePercentEscapes(answer);
    FUZZ_CHECK(decoded.size() <= answer.size());
    if (!answer.contains('%'))
        FUZZ_CHECK(decoded == answer);
    if (answer.size() <= 1024) {
        FUZZ_CHECK(decodePercentEscapes(EscapeEveryByte(answer, false)) == answer);
        FUZZ_CHECK(decodePercentEscapes(EscapeEveryByte(answer, true)) == answer);
    }
    return 0;
}
