// External body files: the paths stored in a record's field 8 and the file operations on them.
#pragma once

#include <string>
#include <string_view>

namespace qm {

// True for a Windows drive path ("D:\notes\a.txt"): it is kept in the record unchanged but
// names no file on this system.
bool IsDrivePath(std::string_view path);

// A new stored path for a long body: "外部存储\" + eight characters from A-Z and 0-9 + ".txt"
// (GB18030). Random, so callers that must not reuse a name check that it is free.
std::string NewExternalName();

// The file-system path (UTF-8) of a stored path (GB18030 text): "/..." is absolute; a drive path is
// returned unchanged; "\..." is appended to `programFolder`; anything else gets the program folder
// and a separator in front. In relative paths every "\" becomes "/". An empty program folder stands
// for the current folder. An empty path stays empty.
std::string ResolveStoredPath(std::string_view programFolder, std::string_view path);

// These take resolved paths.
// True when a regular file exists there.
bool RegularFileExists(const std::string& path);
// Creates the missing folders, writes the bytes to a temporary file beside the target, syncs
// it and renames it over the target (through a symbolic link to the file it names), so a
// crash leaves the old content or the new. False on any failure, with the target untouched.
bool WriteFileAtomically(const std::string& path, std::string_view bytes);
// Creates the destination's folders and renames the file, or copies and deletes it when they
// lie on different file systems. False when the file is still at `from`.
bool MoveFileCreatingFolders(const std::string& from, const std::string& to);
bool RemoveFile(const std::string& path);

}  // namespace qm
