#pragma once

#include <QIcon>

namespace uplark {

// The application icon, in the sizes it is installed in (16 to 256 pixels),
// built into the program so that the window has it wherever the program runs.
QIcon ApplicationIcon();

} // namespace uplark
