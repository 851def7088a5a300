#include "store/folder_listing.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "store/text_decoder.h"

namespace qm {

namespace {

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Orders names as a file manager does: ignoring case, then by bytes so the order is total.
bool NameBefore(const std::string& a, const std::string& b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const unsigned char x = static_cast<unsigned char>(LowerAscii(a[i]));
        const unsigned char y = static_cast<unsigned char>(LowerAscii(b[i]));
        if (x != y) return x < y;
    }
    if (a.size() != b.size()) return a.size() < b.size();
    return a < b;
}

bool EndsWithIgnoringCase(std::string_view text, std::string_view tail) {
    if (text.size() < tail.size()) return false;
    for (size_t i = 0; i < tail.size(); ++i) {
        if (LowerAscii(text[text.size() - tail.size() + i]) != LowerAscii(tail[i])) return false;
    }
    return true;
}

enum class EntryKind { kOther, kFile, kFolder };

// What an entry is, following a link only to a regular file.
EntryKind KindOf(const std::string& path, unsigned char type) {
    if (type == DT_DIR) return EntryKind::kFolder;
    if (type == DT_REG) return EntryKind::kFile;
    struct stat st;
    if (type == DT_UNKNOWN) {
        if (lstat(path.c_str(), &st) != 0) return EntryKind::kOther;
        if (S_ISDIR(st.st_mode)) return EntryKind::kFolder;
        if (S_ISREG(st.st_mode)) return EntryKind::kFile;
        if (!S_ISLNK(st.st_mode)) return EntryKind::kOther;
    } else if (type != DT_LNK) {
        return EntryKind::kOther;
    }
    // A link: a regular file behind it is taken, a folder behind it is not followed (it could
    // lead back up the tree).
    if (stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return EntryKind::kFile;
    return EntryKind::kOther;
}

}  // namespace

bool WildcardMatch(std::string_view pattern, std::string_view name) {
    size_t p = 0;
    size_t n = 0;
    size_t starAt = std::string_view::npos;
    size_t resumeAt = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starAt = p++;
            resumeAt = n;
        } else if (p < pattern.size() &&
                   (pattern[p] == '?' || LowerAscii(pattern[p]) == LowerAscii(name[n]))) {
            ++p;
            ++n;
        } else if (starAt != std::string_view::npos) {
            p = starAt + 1;
            n = ++resumeAt;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

std::vector<std::string> ListFolder(const std::string& folder, std::string_view patterns,
                                    bool wantDirectories) {
    std::string prefix = folder;
    if (prefix.empty() || prefix.back() != '/') prefix += '/';

    std::vector<std::string> names;
    if (DIR* dir = opendir(prefix.c_str())) {
        const EntryKind wanted = wantDirectories ? EntryKind::kFolder : EntryKind::kFile;
        while (const dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name == "." || name == "..") continue;
            if (KindOf(prefix + name, entry->d_type) == wanted) names.push_back(name);
        }
        closedir(dir);
    }
    std::sort(names.begin(), names.end(), NameBefore);

    std::vector<std::string_view> list;
    for (size_t start = 0;;) {
        const size_t bar = patterns.find('|', start);
        list.push_back(patterns.substr(start, bar == std::string_view::npos ? bar : bar - start));
        if (bar == std::string_view::npos) break;
        start = bar + 1;
    }
    std::vector<std::string> paths;
    for (std::string_view pattern : list) {
        if (pattern.empty() || pattern == "*.*") pattern = "*";
        // "*.htm" must not bring in ".html" files.
        const bool htmOnly = !wantDirectories && EndsWithIgnoringCase(pattern, "*.htm");
        for (const std::string& name : names) {
            if (!WildcardMatch(pattern, name)) continue;
            if (htmOnly && !EndsWithIgnoringCase(name, ".htm")) continue;
            paths.push_back(prefix + name);
        }
    }
    return paths;
}

std::string TitleFromFileName(std::string_view path) {
    const size_t slash = path.rfind('/');
    std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string_view::npos) name = name.substr(0, dot);
    return std::string(name);
}

std::string LastFolderName(std::string_view folder) {
    const size_t last = folder.rfind('/');
    if (last == std::string_view::npos) return {};
    if (last == 0) return {};
    const size_t before = folder.rfind('/', last - 1);
    if (before == std::string_view::npos) return std::string(folder.substr(0, last));
    return std::string(folder.substr(before + 1, last - before - 1));
}

bool IsRegularFile(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsFolder(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool ReadRegularFile(const std::string& path, std::string* bytes) {
    bytes->clear();
    // O_NONBLOCK: a FIFO put in the file's place after it was listed must not hang the open.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return false;
    struct stat st;
    bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (ok) {
        bytes->resize(static_cast<size_t>(st.st_size));
        size_t got = 0;
        while (ok) {
            if (got == bytes->size()) bytes->resize(got + 65536);  // the file grew
            const ssize_t n = read(fd, bytes->data() + got, bytes->size() - got);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) ok = false;
            if (n <= 0) break;
            got += static_cast<size_t>(n);
        }
        bytes->resize(ok ? got : 0);
    }
    close(fd);
    return ok;
}

std::string ReadRegularTextFile(const std::string& path) {
    std::string bytes;
    if (!ReadRegularFile(path, &bytes) || bytes.empty()) return {};
    return DecodeTextBytes(bytes);
}

}  // namespace qm
