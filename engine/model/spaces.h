#pragma once

#include <QString>

namespace uplark {

// Space characters as the site's forms treat them: only the character
// U+0020 counts; tabs and other white space are text.

// True when the text holds nothing but spaces (or nothing at all).
bool onlySpaces(const QString &text);

// The text without its leading and trailing spaces.
QString trimSpaces(const QString &text);

} // namespace uplark
