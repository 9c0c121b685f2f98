#include "videosite/http/formencoding.h"

#include "common/percentcoding.h"

namespace videosite {

FormFields parseUrlEncoded(QByteArrayView text)
{
    FormFields fields;
    qsizetype start = 0;
    while (start <= text.size()) {
        qsizetype end = text.indexOf('&', start);
        if (end < 0)
            end = text.size();
        const QByteArrayView pair = text.sliced(start, end - start);
        if (!pair.isEmpty()) {
            const qsizetype eq = pair.indexOf('=');
            if (eq < 0)
                fields.append({common::percentDecode(pair, true), QByteArray("")});
            else
                fields.append({common::percentDecode(pair.first(eq), true),
                               common::percentDecode(pair.sliced(eq + 1), true)});
        }
        start = end + 1;
    }
    return fields;
}

QByteArray formValue(const FormFields &fields, QByteArrayView name)
{
    for (const auto &[fieldName, value] : fields) {
        if (fieldName == name)
            return value;
    }
    return {};
}

QByteArray cookieValue(QByteArrayView cookieHeader, QByteArrayView name)
{
    qsizetype start = 0;
    while (start < cookieHeader.size()) {
        qsizetype end = cookieHeader.indexOf(';', start);
        if (end < 0)
            end = cookieHeader.size();
        const QByteArrayView pair = cookieHeader.sliced(start, end - start).trimmed();
        const qsizetype eq = pair.indexOf('=');
        if (eq > 0 && pair.first(eq).trimmed() == name)
            return pair.sliced(eq + 1).trimmed().toByteArray();
        start = end + 1;
    }
    return {};
}

bool equalsIgnoringCase(QByteArrayView a, QByteArrayView b)
{
    return a.size() == b.size() && a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace videosite
