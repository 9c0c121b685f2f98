// The upload form scans: the "addresser" value and the form's action address.
// Input: one chunk of the form page.
#include "engine/protocol/metadataform.h"
#include "fuzz/check.h"

namespace uplark {
}
using namespace uplark;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray chunk = FuzzBytes(data, size);

    // The addresser value is looked for between the first "addresser" and
    // the next one (or the end).
    const qsizetype name = chunk.indexOf("addresser");
    const qsizetype stretchEnd = name < 0 ? -1 : chunk.indexOf("addresser", name + 9);
    const QByteArray stretch =
        name < 0 ? QByteArray() : chunk.mid(name + 9, stretchEnd < 0 ? -1 : stretchEnd - name - 9);
    const qsizetype value = stretch.indexOf("value=\"");
    const std::optional<QByteArray> addresser = uploadFormAddresser(chunk);
    FUZZ_CHECK(addresser.has_value() == (name >= 0 && value >= 0));
    if (addresser) {
        FUZZ_CHECK(stretch.mid(value + 7).startsWith(*addresser));
        FUZZ_CHECK(!addresser->contains("\">"));
    }

    static const QByteArray form = QByteArrayLiteral("multipart/form-data\" action=\"");
    const std::optional<QByteArray> action = uploadFormAction(chunk);
    const qsizetype at = chunk.indexOf(form);
    FUZZ_CHECK(action.has_value() == (at >= 0));
    if (action) {
        FUZZ_CHECK(chunk.mid(at + form.size()).startsWith(*action));
        FUZZ_CHECK(!action->contains("\" name="));
    }
    return 0;
}
