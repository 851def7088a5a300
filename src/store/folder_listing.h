// Reading folders for an import: the entries of a folder matched by wildcard patterns, the
// titles made from file and folder names, and a text read that touches regular files only.
// Paths here are file-system paths (UTF-8, "/" separated); titles are UTF-8 as well.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qm {

// True when `name` matches the wildcard `pattern` ("*" any run, "?" one byte), letters
// compared without regard to case.
bool WildcardMatch(std::string_view pattern, std::string_view name);

// The full paths of the entries of `folder` that match one of `patterns` (split at "|";
// empty means "*"): all matches of the first pattern, then those of the second, each group
// sorted by name ignoring case, as a file manager shows them. With `wantDirectories` only
// real folders are taken (a symbolic link is never followed); otherwise only regular files
// (directly or through a link). FIFOs, devices and sockets are never taken. A pattern
// ending in "*.htm" takes only names ending in ".htm". Empty when the folder cannot be read.
std::vector<std::string> ListFolder(const std::string& folder, std::string_view patterns,
                                    bool wantDirectories);

// The note title of a file: its name without the folder and without its last extension
// ("a.b.txt" gives "a.b", "readme" stays, ".htm" gives "").
std::string TitleFromFileName(std::string_view path);

// The folder's own name of a path that ends in "/": the text between the last "/" and the
// one before it; the text before it when there is only one; empty when there is none.
std::string LastFolderName(std::string_view folder);

// True when `path` names a regular file (a link to one counts).
bool IsRegularFile(const std::string& path);
// True when `path` names a folder (a link to one counts).
bool IsFolder(const std::string& path);

// The bytes of a regular file. Never opens a FIFO, device or socket (so never blocks).
// False, with `bytes` empty, when the file cannot be read or is not a regular file.
bool ReadRegularFile(const std::string& path, std::string* bytes);

// ReadRegularFile decoded to GB18030 by the text decoder; empty when it cannot be read.
std::string ReadRegularTextFile(const std::string& path);

}  // namespace qm
