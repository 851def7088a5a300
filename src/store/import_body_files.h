// The files under "外部存储" that an import writes for bodies over the threshold: each gets a
// new name, and the file is written where it is read (on the reading thread), not where the
// records are built.
#pragma once

#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_set>

namespace qm {

struct ImportItem;

class ImportBodyFiles {
public:
    // Stored paths are resolved against `programFolder` (UTF-8).
    explicit ImportBodyFiles(std::string programFolder)
        : programFolder_(std::move(programFolder)) {}

    // A new stored path under "外部存储\" that names no file yet and was not given before.
    std::string NewName();

    // A file item whose body is over `threshold` bytes: the body goes to a new file and the
    // item keeps its path (bodyInFile). When the file cannot be written the body stays in the
    // item and bodyFileFailed is set. Other items are left alone. Thread-safe.
    void Write(ImportItem& item, size_t threshold);

private:
    std::string programFolder_;
    std::mutex mutex_;
    std::unordered_set<std::string> given_;
};

}  // namespace qm
