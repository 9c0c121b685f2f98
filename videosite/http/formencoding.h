#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <utility>

namespace videosite {

using FormFields = QList<std::pair<QByteArray, QByteArray>>;

// Splits an application/x-www-form-urlencoded text (a request body or a query)
// at "&" into decoded name/value pairs, in order. A pair without "=" has an
// empty value; empty pairs are skipped.
FormFields parseUrlEncoded(QByteArrayView text);

// The value of the first field called name, or a null array when there is none.
QByteArray formValue(const FormFields &fields, QByteArrayView name);

// The value of the cookie called name in a Cookie header ("a=1; b=2"), or a
// null array when the header does not carry it.
QByteArray cookieValue(QByteArrayView cookieHeader, QByteArrayView name);

// True when a and b are equal ignoring ASCII case.
bool equalsIgnoringCase(QByteArrayView a, QByteArrayView b);

} // namespace videosite
