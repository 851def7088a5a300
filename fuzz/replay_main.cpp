// Replays every file of the folders (or the files) named on the command line through a fuzz
// target's entry function: the corpus as a regression test of the normal build, where
// libFuzzer is not linked.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

bool ReadFile(const std::string& path, std::string* bytes) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return false;
    char buffer[65536];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes->append(buffer, got);
    std::fclose(file);
    return true;
}

void CollectFiles(const std::string& path, std::vector<std::string>* files) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return;
    if (!S_ISDIR(info.st_mode)) {
        files->push_back(path);
        return;
    }
    DIR* folder = ::opendir(path.c_str());
    if (folder == nullptr) return;
    while (const dirent* entry = ::readdir(folder)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        CollectFiles(path + "/" + name, files);
    }
    ::closedir(folder);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) CollectFiles(argv[i], &files);
    std::sort(files.begin(), files.end());
    if (files.empty()) {
        std::fprintf(stderr, "no corpus files found\n");
        return 1;
    }
    for (const std::string& path : files) {
        std::string bytes;
        if (!ReadFile(path, &bytes)) {
            std::fprintf(stderr, "cannot read %s\n", path.c_str());
            return 1;
        }
        std::fprintf(stderr, "replaying %s (%zu bytes)\n", path.c_str(), bytes.size());
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    }
    std::printf("%zu inputs replayed\n", files.size());
    return 0;
}
