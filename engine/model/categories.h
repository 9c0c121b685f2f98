#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace uplark {

// The fourteen categories, in list order, as the user sees them.
QStringList categoryNames();
// The number stored for a category's name or, given a number, that number
// when it is one of the fourteen; empty otherwise.
QByteArray categoryNumber(const QString &nameOrNumber);

} // namespace uplark
