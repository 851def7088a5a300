#include <ftw.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz_files.h"
#include "fuzz_input.h"

namespace qm::fuzz {

void Require(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "fuzz property broken: %s\n", what);
    std::abort();
}

namespace {

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) { return ::remove(path); }

}  // namespace

ScratchFolder::ScratchFolder() {
    // A memory file system where there is one: the stores sync every edit, which a disk makes
    // slow enough to starve the fuzzer.
    std::string pattern =
        ::access("/dev/shm", W_OK) == 0 ? "/dev/shm/qm-fuzz-XXXXXX" : "/tmp/qm-fuzz-XXXXXX";
    const char* made = ::mkdtemp(pattern.data());
    Require(made != nullptr, "a scratch folder can be made");
    path_ = made;
}

ScratchFolder::~ScratchFolder() { ::nftw(path_.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS); }

void ScratchFolder::Clear() const {
    // The folder and everything in it, then the folder made again under the same name.
    const std::string keep = path_;
    ::nftw(keep.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
    Require(::mkdir(keep.c_str(), 0700) == 0, "the scratch folder can be made again");
}

bool WriteWholeFile(const std::string& path, std::string_view bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

bool ReadWholeFile(const std::string& path, std::string* bytes) {
    bytes->clear();
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return false;
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes->append(buffer, got);
    return std::fclose(file) == 0;
}

}  // namespace qm::fuzz
