// The upload form scans, over the answer as far as it has arrived: the
// "addresser" value and the form's action address. Input: the form page.
#include "engine/protocol/markers.h"
#include "engine/protocol/metadataform.h"
#include "fuzz/check.h"

namespace uplark {
}
using namespace uplark;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray page = FuzzBytes(data, size);

    // The addresser value is looked for between the first "addresser" and
    // the next one (or the end).
    const qsizetype name = page.indexOf("addresser");
    const qsizetype stretchEnd = name < 0 ? -1 : page.indexOf("addresser", name + 9);
    const QByteArray stretch =
        name < 0 ? QByteArray() : page.mid(name + 9, stretchEnd < 0 ? -1 : stretchEnd - name - 9);
    const qsizetype value = stretch.indexOf("value=\"");
    const std::optional<QByteArray> addresser = uploadFormAddresser(page);
    if (name < 0 || value < 0)
        FUZZ_CHECK(!addresser);
    if (addresser) {
        FUZZ_CHECK(*addresser == cutBetween(stretch, "value=\"", "\">"));
        FUZZ_CHECK(stretch.mid(value + 7).startsWith(*addresser));
        FUZZ_CHECK(!addresser->contains("\">"));
    }

    static const QByteArray form = QByteArrayLiteral("multipart/form-data\" action=\"");
    const std::optional<QByteArray> action = uploadFormAction(page);
    const qsizetype at = page.indexOf(form);
    if (at < 0)
        FUZZ_CHECK(!action);
    if (action) {
        FUZZ_CHECK(*action == cutBetween(page, form, "\" name="));
        FUZZ_CHECK(page.mid(at + form.size()).startsWith(*action));
        FUZZ_CHECK(!action->contains("\" name="));
    }

    // What part of the page gives, the whole page gives too.
    for (const qsizetype cut : CutPoints(page)) {
        const QByteArray part = page.left(cut);
        if (const std::optional<QByteArray> early = uploadFormAddresser(part))
            FUZZ_CHECK(addresser && *addresser == *early);
        if (const std::optional<QByteArray> early = uploadFormAction(part))
            FUZZ_CHECK(action && *action == *early);
    }
    return 0;
}
