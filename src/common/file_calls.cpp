#include "common/file_calls.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <utility>
#include <vector>

namespace qm::fileio {
namespace {

int crash_countdown = 0;

// The calls a test records.
std::atomic<bool> recording{false};
std::mutex recorded_mutex;
std::vector<RecordedCall> recorded;

std::string PathOf(int fd) {
    char target[4096];
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t n = readlink(link.c_str(), target, sizeof target);
    return n > 0 ? std::string(target, static_cast<size_t>(n)) : std::string();
}

void Count(Call call, const std::string* path, int fd) {
    if (!recording.load(std::memory_order_relaxed)) return;
    RecordedCall made{call, path != nullptr ? *path : PathOf(fd)};
    std::lock_guard<std::mutex> lock(recorded_mutex);
    recorded.push_back(std::move(made));
}

// The failure a test asked for; `active` lets the calls skip the lock when there is none.
struct Injection {
    std::mutex mutex;
    std::atomic<bool> active{false};
    unsigned calls = 0;
    int error = 0;
    std::string pathPart;
    int skip = 0;
};

Injection& TheInjection() {
    static Injection injection;
    return injection;
}

bool Hits(Call call, const std::string* path, int fd) {
    Injection& in = TheInjection();
    if (!in.active.load(std::memory_order_relaxed)) return false;
    std::lock_guard<std::mutex> lock(in.mutex);
    if ((in.calls & call) == 0) return false;
    if (!in.pathPart.empty()) {
        const std::string named = path != nullptr ? *path : PathOf(fd);
        if (named.find(in.pathPart) == std::string::npos) return false;
    }
    if (in.skip > 0) {
        --in.skip;
        return false;
    }
    errno = in.error;
    return true;
}

}  // namespace

void InjectFailure(unsigned calls, int error, const std::string& pathPart, int skip) {
    Injection& in = TheInjection();
    std::lock_guard<std::mutex> lock(in.mutex);
    in.calls = calls;
    in.error = error;
    in.pathPart = pathPart;
    in.skip = skip;
    in.active = calls != 0;
}

void ClearInjectedFailures() { InjectFailure(0, 0); }

void RecordCalls(bool on) { recording = on; }

std::vector<RecordedCall> TakeRecordedCalls() {
    std::lock_guard<std::mutex> lock(recorded_mutex);
    std::vector<RecordedCall> taken;
    taken.swap(recorded);
    return taken;
}

bool Injected(Call call, const std::string& path) { return Hits(call, &path, -1); }

bool Injected(Call call, int fd) { return Hits(call, nullptr, fd); }

std::string ErrorText(int error) {
    char buffer[256];
    // The GNU strerror_r returns its text, which need not be in the buffer.
    return strerror_r(error, buffer, sizeof buffer);
}

int OpenFile(const std::string& path, int flags, int mode) {
    if (Injected(kOpen, path)) return -1;
    return open(path.c_str(), flags | O_CLOEXEC, mode);
}

void SetCrashPoint(int n) { crash_countdown = n; }

void CrashPoint() {
    if (crash_countdown > 0 && --crash_countdown == 0) _exit(86);
}

bool WriteAll(int fd, const char* data, size_t size, uint64_t offset) {
    Count(kWrite, nullptr, fd);
    while (size > 0) {
        CrashPoint();
        if (Injected(kWrite, fd)) return false;
        const ssize_t n = pwrite(fd, data, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n == 0) errno = ENOSPC;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
        offset += static_cast<uint64_t>(n);
    }
    return true;
}

bool Truncate(int fd, uint64_t size) {
    Count(kTruncate, nullptr, fd);
    CrashPoint();
    if (Injected(kTruncate, fd)) return false;
    return ftruncate(fd, static_cast<off_t>(size)) == 0;
}

bool Sync(int fd) {
    Count(kSync, nullptr, fd);
    CrashPoint();
    if (Injected(kSync, fd)) return false;
    return fdatasync(fd) == 0;
}

bool Rename(const std::string& from, const std::string& to) {
    Count(kRename, &to, -1);
    CrashPoint();
    if (Injected(kRename, to)) return false;
    return std::rename(from.c_str(), to.c_str()) == 0;
}

bool Unlink(const std::string& path) {
    Count(kUnlink, &path, -1);
    CrashPoint();
    if (Injected(kUnlink, path)) return false;
    return unlink(path.c_str()) == 0;
}

bool SyncFolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    Count(kSync, &folder, -1);
    CrashPoint();
    const bool ok = !Injected(kSync, folder) && fsync(fd) == 0;
    const int error = errno;
    close(fd);
    errno = error;
    return ok;
}

bool ReadAll(int fd, std::string* out) {
    out->clear();
    if (Injected(kRead, fd)) return false;
    struct stat st;
    if (fstat(fd, &st) != 0) return false;
    out->resize(static_cast<size_t>(st.st_size));
    size_t done = 0;
    while (done < out->size()) {
        const ssize_t n =
            pread(fd, out->data() + done, out->size() - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) break;  // the file shrank meanwhile
        done += static_cast<size_t>(n);
    }
    out->resize(done);
    return true;
}

bool ReadFile(const std::string& path, std::string* out) {
    const int fd = OpenFile(path, O_RDONLY);
    if (fd < 0) return false;
    const bool ok = ReadAll(fd, out);
    const int error = errno;
    close(fd);
    errno = error;
    return ok;
}

void PutU32(std::string* out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out->push_back(static_cast<char>(v >> (8 * i)));
}

void PutU64(std::string* out, uint64_t v) {
    for (int i = 0; i < 8; ++i) out->push_back(static_cast<char>(v >> (8 * i)));
}

uint32_t GetU32(const char* p) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(p[i]);
    return v;
}

uint64_t GetU64(const char* p) {
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(p[i]);
    return v;
}

uint32_t CrcUpdate(uint32_t crc, const char* data, size_t size) {
    uLong value = crc;
    while (size > 0) {
        const uInt piece = size > (1u << 30) ? (1u << 30) : static_cast<uInt>(size);
        value = crc32(value, reinterpret_cast<const Bytef*>(data), piece);
        data += piece;
        size -= piece;
    }
    return static_cast<uint32_t>(value);
}

uint32_t Crc(const char* data, size_t size) {
    return CrcUpdate(static_cast<uint32_t>(crc32(0L, Z_NULL, 0)), data, size);
}

}  // namespace qm::fileio
