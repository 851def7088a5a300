// qmtool's "import" and "export": the window's folder import and export on a tree file, with
// a one-line summary on stdout or a one-line error on stderr.
#pragma once

#include <string>

namespace qm {

// Imports FOLDER as the last child of node INDEX of FILE and marks that node as a note with
// children. Refused (status 2) when FILE is missing, held open by the program or read-only,
// INDEX does not exist or FOLDER cannot be read. Returns the exit status.
int RunImportCommand(const std::string& file, const std::string& index, const std::string& folder,
                     bool keepPaths);

// Exports the subtree of node INDEX of FILE below DIR, reading FILE only. Status 0 when every
// note was written, 1 when some were not, 2 for an error.
int RunExportCommand(const std::string& file, const std::string& index, const std::string& dir);

}  // namespace qm
