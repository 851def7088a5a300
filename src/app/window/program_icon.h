// The program's icon for the window, the tray and the task bar: the icon theme's copy when the
// program is installed, the copy built into the executable otherwise.
#pragma once

#include <QIcon>

namespace qm {

// The theme icon named after the application id when the current icon theme (or its hicolor
// fallback) has it; otherwise BuiltInProgramIcon(). Where the session names no icon theme,
// makes hicolor the theme first.
QIcon ProgramIcon();

// Every size of the icon that is compiled into the program; never null.
QIcon BuiltInProgramIcon();

}  // namespace qm
