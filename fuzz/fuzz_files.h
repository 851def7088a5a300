// Files for the targets that must go through the disk (a store opens a path): one scratch
// folder per process, emptied before each input.
#pragma once

#include <sys/stat.h>

#include <string>
#include <string_view>

namespace qm::fuzz {

class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& path() const { return path_; }
    std::string File(std::string_view name) const { return path_ + "/" + std::string(name); }
    // Removes everything inside the folder.
    void Clear() const;

private:
    std::string path_;
};

bool WriteWholeFile(const std::string& path, std::string_view bytes);
bool ReadWholeFile(const std::string& path, std::string* bytes);

}  // namespace qm::fuzz
