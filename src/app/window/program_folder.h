// The program folder: where the settings file, the two tree files and the folders of external
// bodies and backups live, and the process's current folder while the program runs.
#pragma once

#include <QString>

namespace qm {

// Where the inputs of the folder rule come from; the real values are in FromEnvironment().
struct FolderSources {
    QString executableFolder;  // folder of the running executable
    QString xdgDataHome;       // $XDG_DATA_HOME, empty when unset
    QString home;              // the user's home folder

    static FolderSources FromEnvironment();
};

// The executable's folder when it holds a file named "portable" or "笔记本.qm" (a portable
// copy); otherwise "<XDG data home>/Quelmar·Corvanel", the data home defaulting to
// "<home>/.local/share". Only decides; creates nothing.
QString ChooseProgramFolder(const FolderSources& sources);

// Creates `folder` (with its parents) when missing and makes it the current folder. Returns
// false when either step fails; the current folder is then left unchanged, and the program
// goes on working from memory.
bool EnterProgramFolder(const QString& folder);

}  // namespace qm
