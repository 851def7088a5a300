#include "common/journaled_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstdint>
#include <algorithm>
#include <cstring>

namespace qm {
namespace {

// Journal layout, all integers little-endian:
//   "QMJ1" | offset u64 | old file size u64 | saved length u64 | saved bytes | crc32 u32
// The crc covers everything before it. An empty or invalid journal means "nothing to undo".
constexpr char kMagic[4] = {'Q', 'M', 'J', '1'};
constexpr size_t kHeaderSize = 4 + 8 + 8 + 8;
constexpr size_t kSectorSize = 512;

int crash_countdown = 0;

// Every call that changes a file goes through here, so a test can stop the process
// between any two of them.
void CrashPoint() {
    if (crash_countdown > 0 && --crash_countdown == 0) _exit(86);
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

bool WriteAll(int fd, const char* data, size_t size, uint64_t offset) {
    while (size > 0) {
        CrashPoint();
        const ssize_t n = pwrite(fd, data, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
        offset += static_cast<uint64_t>(n);
    }
    return true;
}

bool Truncate(int fd, uint64_t size) {
    CrashPoint();
    return ftruncate(fd, static_cast<off_t>(size)) == 0;
}

bool Sync(int fd) {
    CrashPoint();
    return fdatasync(fd) == 0;
}

bool ReadAll(int fd, std::string* out) {
    out->clear();
    struct stat st;
    if (fstat(fd, &st) != 0) return false;
    out->resize(static_cast<size_t>(st.st_size));
    size_t done = 0;
    while (done < out->size()) {
        const ssize_t n = pread(fd, out->data() + done, out->size() - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) break;  // the file shrank meanwhile
        done += static_cast<size_t>(n);
    }
    out->resize(done);
    return true;
}

bool ReadFile(const std::string& path, std::string* out) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ReadAll(fd, out);
    close(fd);
    return ok;
}

void SyncFolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    CrashPoint();
    fsync(fd);
    close(fd);
}

// An undo record read back from a journal.
struct UndoRecord {
    uint64_t offset = 0;
    uint64_t old_size = 0;
    std::string saved;
};

bool ParseJournal(const std::string& journal, UndoRecord* undo) {
    if (journal.size() < kHeaderSize + 4 || std::memcmp(journal.data(), kMagic, 4) != 0) return false;
    const uint64_t saved_length = GetU64(journal.data() + 20);
    if (saved_length != journal.size() - kHeaderSize - 4) return false;
    const uint32_t stored = GetU32(journal.data() + journal.size() - 4);
    if (stored != Crc(journal.data(), journal.size() - 4)) return false;
    undo->offset = GetU64(journal.data() + 4);
    undo->old_size = GetU64(journal.data() + 12);
    undo->saved.assign(journal, kHeaderSize, saved_length);
    return undo->offset + saved_length <= undo->old_size;
}

// Applies an undo record to an image in memory.
void UndoInMemory(const UndoRecord& undo, std::string* image) {
    if (image->size() < undo.offset) image->resize(undo.offset, '\0');
    image->resize(std::max<uint64_t>(image->size(), undo.offset + undo.saved.size()), '\0');
    image->replace(undo.offset, undo.saved.size(), undo.saved);
    image->resize(undo.old_size, '\0');
}

std::string JournalPath(const std::string& path) { return path + ".journal"; }

}  // namespace

void JournaledFile::SetCrashPointForTesting(int n) { crash_countdown = n; }

JournaledFile::~JournaledFile() { Close(); }

bool JournaledFile::Load(const std::string& path) {
    Close();
    image_.clear();
    if (!ReadFile(path, &image_)) return false;
    std::string journal;
    UndoRecord undo;
    if (ReadFile(JournalPath(path), &journal) && ParseJournal(journal, &undo)) {
        UndoInMemory(undo, &image_);
    }
    return true;
}

JournaledFile::OpenResult JournaledFile::Open(const std::string& path) {
    Close();
    image_.clear();
    path_ = path;

    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    const bool locked = fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) != 0;
    const int journal_fd =
        fd >= 0 && !locked ? open(JournalPath(path).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644) : -1;
    if (journal_fd < 0) {
        if (fd >= 0) close(fd);
        Load(path);
        return locked ? OpenResult::kLocked : OpenResult::kFailed;
    }
    fd_ = fd;
    journal_fd_ = journal_fd;

    // An edit that an earlier process left half done is undone before anything is read.
    std::string journal;
    UndoRecord undo;
    if (ReadAll(journal_fd_, &journal) && ParseJournal(journal, &undo)) {
        if (!WriteAll(fd_, undo.saved.data(), undo.saved.size(), undo.offset) ||
            !Truncate(fd_, undo.old_size) || !Sync(fd_)) {
            Close();
            Load(path);
            return OpenResult::kFailed;
        }
    }
    if (!journal.empty() && (!Truncate(journal_fd_, 0) || !Sync(journal_fd_))) {
        Close();
        Load(path);
        return OpenResult::kFailed;
    }
    SyncFolderOf(path);  // the journal (and maybe the file) was just created
    if (!ReadAll(fd_, &image_)) {
        Close();
        Load(path);
        return OpenResult::kFailed;
    }
    return OpenResult::kWritable;
}

void JournaledFile::Close() {
    if (fd_ >= 0) {
        close(fd_);
        fd_ = -1;
    }
    if (journal_fd_ >= 0) {
        // The journal is empty after every completed edit, so a clean close removes it.
        struct stat st;
        if (fstat(journal_fd_, &st) == 0 && st.st_size == 0) unlink(JournalPath(path_).c_str());
        close(journal_fd_);
        journal_fd_ = -1;
    }
}

bool JournaledFile::Replace(size_t offset, size_t length, std::string_view bytes) {
    if (offset > image_.size() || length > image_.size() - offset) return false;
    const size_t old_size = image_.size();
    const bool same_length = length == bytes.size();
    if (!writable()) {
        image_.replace(offset, length, bytes.data(), bytes.size());
        return true;
    }

    // A small same-length write inside one sector is atomic on the disk and a single
    // system call for the process: it needs no undo record.
    if (same_length) {
        if (length == 0) return true;
        if (offset / kSectorSize == (offset + length - 1) / kSectorSize) {
            image_.replace(offset, length, bytes.data(), bytes.size());
            if (!WriteAll(fd_, bytes.data(), bytes.size(), offset)) Abandon();
            return true;
        }
    }

    // Undo record: the bytes this edit overwrites (the range itself for a same-length
    // edit, the whole tail otherwise) and the old size. The saved bytes are written
    // straight from the image, before it changes, rather than copied into a buffer: a tail
    // can be as large as the notebook.
    const size_t saved_length = same_length ? length : old_size - offset;
    std::string header;
    header.append(kMagic, 4);
    PutU64(&header, offset);
    PutU64(&header, old_size);
    PutU64(&header, saved_length);
    uint32_t crc = Crc(header.data(), header.size());
    crc = CrcUpdate(crc, image_.data() + offset, saved_length);
    char trailer[4];
    for (int i = 0; i < 4; ++i) trailer[i] = static_cast<char>(crc >> (8 * i));
    const size_t journal_size = header.size() + saved_length + 4;

    if (!WriteAll(journal_fd_, header.data(), header.size(), 0) ||
        !WriteAll(journal_fd_, image_.data() + offset, saved_length, header.size()) ||
        !WriteAll(journal_fd_, trailer, 4, header.size() + saved_length) ||
        !Truncate(journal_fd_, journal_size) || !Sync(journal_fd_)) {
        image_.replace(offset, length, bytes.data(), bytes.size());
        Abandon();
        return true;
    }
    image_.replace(offset, length, bytes.data(), bytes.size());

    const size_t write_length = same_length ? length : image_.size() - offset;
    if (!WriteAll(fd_, image_.data() + offset, write_length, offset) ||
        (image_.size() < old_size && !Truncate(fd_, image_.size())) || !Sync(fd_)) {
        Abandon();
        return true;
    }
    if (!Truncate(journal_fd_, 0) || !Sync(journal_fd_)) Abandon();
    return true;
}

void JournaledFile::Abandon() {
    // The file may be half edited; the journal on disk still undoes it at the next Open.
    // From here on the image goes on alone.
    close(fd_);
    fd_ = -1;
    close(journal_fd_);
    journal_fd_ = -1;
}

}  // namespace qm
