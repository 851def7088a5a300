// Shows a file selected in the desktop's file manager, without ever opening or running it.
#pragma once

#include <QString>
#include <functional>

class QObject;

namespace qm {

// How a path is revealed: the file manager's method and the address it gets, and the folder
// opened when no file manager answers.
struct RevealPlan {
    QString method;  // "ShowItems" (an existing file or folder) or "ShowFolders"
    QString uri;     // file:// address of the item or folder
    QString folder;  // the folder to open instead: the item's own folder, or for a missing
                     // item the nearest existing folder above it
};

// The plan for an absolute `path`. A missing file shows its nearest existing folder; an empty
// or relative path plans nothing (empty method).
RevealPlan PlanReveal(const QString& path);

// Asks the file manager on the session bus (org.freedesktop.FileManager1) to show `path`
// selected, and returns at once; when no file manager answers within `timeoutMs`, the
// containing folder is opened with the desktop's handler for folders. Returns false, doing
// nothing, when the plan is empty.
bool RevealInFileManager(const QString& path, int timeoutMs = 2000);

// Test hook: replaces the opening of a folder (the fallback) for the tests; an empty function
// restores the desktop's handler.
void SetFolderOpenerForTesting(std::function<void(const QString& folder)> opener);

}  // namespace qm
