// What a tree file holds durably: the file with the edit log beside it applied, as a reader
// that cannot write loads it, or as a writer finds it after a crash. The file alone may lag
// behind until the next checkpoint.
#pragma once

#include <filesystem>
#include <string>

#include "common/edit_log.h"
#include "store/tree_store.h"

namespace qm::testing {

inline std::string DurableBytes(const std::string& path) {
    TreeStore reader;
    if (!reader.Load(path)) return {};
    return reader.image();
}

// Copies the file at `path` and its log to `copy` and opens the copy as a writer would after a
// crash (the original stays open, its log not emptied). `opened` tells whether Open succeeded.
inline std::string RecoveredCopy(const std::string& path, const std::string& copy,
                                 bool* opened = nullptr) {
    namespace fs = std::filesystem;
    fs::copy_file(path, copy, fs::copy_options::overwrite_existing);
    std::error_code ignored;
    fs::remove(EditLog::LogPath(copy), ignored);
    if (fs::exists(EditLog::LogPath(path))) {
        fs::copy_file(EditLog::LogPath(path), EditLog::LogPath(copy));
    }
    TreeStore recovered;
    const bool ok = recovered.Open(copy);
    if (opened != nullptr) *opened = ok;
    return recovered.image();
}

}  // namespace qm::testing
