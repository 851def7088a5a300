// Pointing a note at another body file ("修改" of the properties dialog) without losing a
// file: the program moves or deletes only files under "外部存储"; a file the user chose stays
// where it is, and an existing file at the new path is never written over.
#pragma once

#include <functional>
#include <string>

namespace qm {

class TreeStore;

enum class PathChangeOutcome {
    kChanged,    // the record names the new path (or none)
    kUnchanged,  // the new path equals the stored one
    kCancelled,  // a file exists at the new path and the user kept things as they were
    kFailed,     // a move or write failed: the record keeps the old path
};

// Asked when a file already exists at the new path: true uses that file as the note's body.
using UseExistingFile = std::function<bool(const std::string& resolvedPath)>;

// True when the stored `path` names a file inside the program's own "外部存储" folder.
bool IsProgramStoragePath(const TreeStore& store, const std::string& path);

// Ties note `index` of `store` to `newPath` (GB18030, as the record stores it; empty unties
// it). With a new path:
//  - a file already there: `useExisting` decides; yes makes it the body (nothing is written),
//    and the old body file stays on the disk;
//  - else a body file of the program's own is moved there; a user's own file is copied there
//    and left in place; a body kept in the record is written there.
// With an empty path the body comes back into the record; the old file is deleted only when
// it lies under "外部存储".
PathChangeOutcome ChangeExternalPath(TreeStore& store, int index, const std::string& newPath,
                                     const UseExistingFile& useExisting);

}  // namespace qm
