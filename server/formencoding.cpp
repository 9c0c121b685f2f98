#include "server/formencoding.h"

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

QByteArray percentDecode(QByteArrayView text, bool plusAsSpace)
{
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text.at(i);
        if (c == '%' && i + 2 < text.size()) {
            const int high = hexValue(text.at(i + 1));
            const int low = hexValue(text.at(i + 2));
            if (high >= 0 && low >= 0) {
                out.append(char(high * 16 + low));
                i += 2;
                continue;
            }
        }
        out.append(plusAsSpace && c == '+' ? ' ' : c);
    }
    return out;
}

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
                fields.append({percentDecode(pair, true), QByteArray("")});
            else
                fields.append({percentDecode(pair.first(eq), true),
                               percentDecode(pair.sliced(eq + 1), true)});
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
