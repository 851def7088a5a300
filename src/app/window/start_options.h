// What one run of the program is started with: decided by the launcher from the command line
// and the environment, chosen freely by tests.
#pragma once

#include <QString>

namespace qm {

struct StartOptions {
    QString programFolder;      // where every data file lives (ChooseProgramFolder)
    QString executablePath;     // the program, as the autostart entry starts it
    QString autostartFolder;    // where "Quelmar·Corvanel.desktop" goes
    bool startHidden = false;   // the first argument was "yes"
    bool trayAvailable = true;  // the desktop shows tray icons
};

}  // namespace qm
