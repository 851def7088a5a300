#include "store/external_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <random>

#include "common/charset.h"
#include "common/file_calls.h"

namespace qm {
namespace fs = std::filesystem;

namespace {

bool CreateFoldersFor(const std::string& path) {
    const fs::path parent = fs::path(path).parent_path();
    if (parent.empty()) return true;
    std::error_code error;
    fs::create_directories(parent, error);
    const int made = error.value();
    if (fs::is_directory(parent, error)) return true;
    errno = made != 0 ? made : ENOTDIR;
    return false;
}

bool WriteAll(int fd, std::string_view bytes) {
    const char* p = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        const ssize_t n = write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n == 0) errno = ENOSPC;
        if (n <= 0) return false;
        p += n;
        left -= static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

bool IsDrivePath(std::string_view path) { return path.find(":\\") != std::string_view::npos; }

std::string ResolveStoredPath(std::string_view programFolder, std::string_view storedPath) {
    // Stored paths are GB18030 text, names on disk are UTF-8. Converting first also keeps a
    // trail byte 0x5C (as in 淺) from being taken for a separator.
    const std::string utf8 = Gb18030ToUtf8(storedPath);
    std::string_view path = utf8;
    if (path.empty() || path.front() == '/' || IsDrivePath(path)) return std::string(path);
    std::string folder(programFolder.empty() ? std::string_view(".") : programFolder);
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    std::string resolved = folder;
    if (path.front() != '\\' && folder != "/") resolved.push_back('/');
    if (path.front() == '\\' && folder == "/") path.remove_prefix(1);
    for (const char c : path) resolved.push_back(c == '\\' ? '/' : c);
    return resolved;
}

std::string NewExternalName() {
    // Seeded once: a generator seeded from the clock for every name repeats the same name for
    // every name made within one clock tick.
    static std::mt19937 generator{std::random_device{}()};
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    static const std::string kPrefix = Utf8ToGb18030("外部存储\\");
    // Names are made on the reading thread of an import as well as on the window's.
    static std::mutex mutex;
    const std::lock_guard<std::mutex> lock(mutex);
    std::uniform_int_distribution<int> pick(0, 35);
    std::string name = kPrefix;
    for (int i = 0; i < 8; ++i) name.push_back(kAlphabet[pick(generator)]);
    name += ".txt";
    return name;
}

bool RegularFileExists(const std::string& path) {
    struct stat st;
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes) {
    if (path.empty() || !CreateFoldersFor(path)) return false;
    // A user may tie a note to a file through a link; replace the file it names, not the link.
    std::string target = path;
    std::error_code error;
    if (fs::is_symlink(path, error)) {
        const fs::path real = fs::canonical(path, error);
        if (!error) target = real.string();
    }
    if (fileio::Injected(fileio::kOpen, target)) return false;
    std::string temp = target + ".tmp-XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0) return false;
    const bool ok = fchmod(fd, 0644) == 0 && !fileio::Injected(fileio::kWrite, target) &&
                    WriteAll(fd, bytes) && fsync(fd) == 0;
    int reason = errno;
    const bool closed = close(fd) == 0;
    if (ok && !closed) reason = errno;
    if (!ok || !closed || rename(temp.c_str(), target.c_str()) != 0) {
        if (ok && closed) reason = errno;
        unlink(temp.c_str());
        errno = reason;  // the reason the caller reports, not the clean-up's
        return false;
    }
    return true;
}

bool MoveFileCreatingFolders(const std::string& from, const std::string& to) {
    if (from.empty() || to.empty() || !CreateFoldersFor(to)) return false;
    if (rename(from.c_str(), to.c_str()) == 0) return true;
    if (errno != EXDEV) return false;
    std::ifstream in(from, std::ios::binary);
    if (!in) return false;
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad() || !WriteFileAtomically(to, bytes)) return false;
    RemoveFile(from);
    return true;
}

bool RemoveFile(const std::string& path) { return !path.empty() && unlink(path.c_str()) == 0; }

}  // namespace qm
