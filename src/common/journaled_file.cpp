#include "common/journaled_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "common/file_calls.h"

namespace qm {
namespace {

using namespace fileio;

// Journal layout, all integers little-endian:
//   "QMJ1" | offset u64 | old file size u64 | saved length u64 | saved bytes | crc32 u32
// The crc covers everything before it. An empty or invalid journal means "nothing to undo".
constexpr char kMagic[4] = {'Q', 'M', 'J', '1'};
constexpr size_t kHeaderSize = 4 + 8 + 8 + 8;
constexpr size_t kSectorSize = 512;

// An undo record read back from a journal.
struct UndoRecord {
    uint64_t offset = 0;
    uint64_t old_size = 0;
    std::string saved;
};

bool ParseJournal(const std::string& journal, UndoRecord* undo) {
    if (journal.size() < kHeaderSize + 4 || std::memcmp(journal.data(), kMagic, 4) != 0)
        return false;
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

void JournaledFile::SetCrashPointForTesting(int n) { fileio::SetCrashPoint(n); }

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
    failing_ = false;
    error_ = {};

    const int fd = OpenFile(path, O_RDWR | O_CREAT);
    const bool locked = fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) != 0;
    const int journal_fd = fd >= 0 && !locked ? OpenFile(JournalPath(path), O_RDWR | O_CREAT) : -1;
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
    if (!writable() || failing_) {
        image_.replace(offset, length, bytes.data(), bytes.size());
        return true;
    }
    if (Removed()) {
        errno = ENOENT;
        image_.replace(offset, length, bytes.data(), bytes.size());
        Fail(path_);
        return true;
    }

    // A small same-length write inside one sector is atomic on the disk and a single
    // system call for the process: it needs no undo record.
    if (same_length) {
        if (length == 0) return true;
        if (offset / kSectorSize == (offset + length - 1) / kSectorSize) {
            image_.replace(offset, length, bytes.data(), bytes.size());
            if (!WriteAll(fd_, bytes.data(), bytes.size(), offset)) Fail(path_);
            return true;
        }
    }

    // Undo record: the bytes this edit overwrites (the range itself for a same-length
    // edit, the whole tail otherwise) and the old size. The saved bytes are written
    // straight from the image, before it changes, rather than copied into a buffer: a tail
    // can be as large as the notebook.
    const size_t saved_length = same_length ? length : old_size - offset;
    if (!WriteUndo(offset, old_size, std::string_view(image_).substr(offset, saved_length))) {
        image_.replace(offset, length, bytes.data(), bytes.size());
        Fail(JournalPath(path_));
        return true;
    }
    image_.replace(offset, length, bytes.data(), bytes.size());

    const size_t write_length = same_length ? length : image_.size() - offset;
    if (!WriteAll(fd_, image_.data() + offset, write_length, offset) ||
        (image_.size() < old_size && !Truncate(fd_, image_.size())) || !Sync(fd_)) {
        Fail(path_);
        return true;
    }
    if (!Truncate(journal_fd_, 0) || !Sync(journal_fd_)) Fail(JournalPath(path_));
    return true;
}

bool JournaledFile::WriteUndo(uint64_t offset, uint64_t old_size, std::string_view saved) {
    std::string header;
    header.append(kMagic, 4);
    PutU64(&header, offset);
    PutU64(&header, old_size);
    PutU64(&header, saved.size());
    uint32_t crc = Crc(header.data(), header.size());
    crc = CrcUpdate(crc, saved.data(), saved.size());
    char trailer[4];
    for (int i = 0; i < 4; ++i) trailer[i] = static_cast<char>(crc >> (8 * i));
    const size_t journal_size = header.size() + saved.size() + 4;
    return WriteAll(journal_fd_, header.data(), header.size(), 0) &&
           WriteAll(journal_fd_, saved.data(), saved.size(), header.size()) &&
           WriteAll(journal_fd_, trailer, 4, header.size() + saved.size()) &&
           Truncate(journal_fd_, journal_size) && Sync(journal_fd_);
}

bool JournaledFile::Removed() const {
    struct stat st;
    return fstat(fd_, &st) == 0 && st.st_nlink == 0;
}

bool JournaledFile::Reopen() {
    const int fd = OpenFile(path_, O_RDWR | O_CREAT);
    if (fd < 0) return false;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return false;
    }
    const int journal_fd = OpenFile(JournalPath(path_), O_RDWR | O_CREAT);
    if (journal_fd < 0) {
        close(fd);
        return false;
    }
    close(fd_);
    close(journal_fd_);
    fd_ = fd;
    journal_fd_ = journal_fd;
    return SyncFolderOf(path_);
}

bool JournaledFile::Retry() {
    if (!failing_) return true;
    if (fd_ < 0) return false;
    if (Removed() && !Reopen()) {
        Fail(path_);
        return false;
    }
    // First the file goes back to the state before the half edit, as the next Open would
    // put it; then the whole content is replaced under a new undo record of that state.
    std::string journal;
    UndoRecord undo;
    if (!ReadAll(journal_fd_, &journal)) {
        Fail(JournalPath(path_));
        return false;
    }
    if (ParseJournal(journal, &undo) &&
        (!WriteAll(fd_, undo.saved.data(), undo.saved.size(), undo.offset) ||
         !Truncate(fd_, undo.old_size) || !Sync(fd_))) {
        Fail(path_);
        return false;
    }
    std::string on_disk;
    if (!ReadAll(fd_, &on_disk)) {
        Fail(path_);
        return false;
    }
    if (!WriteUndo(0, on_disk.size(), on_disk)) {
        Fail(JournalPath(path_));
        return false;
    }
    if (!WriteAll(fd_, image_.data(), image_.size(), 0) || !Truncate(fd_, image_.size()) ||
        !Sync(fd_)) {
        Fail(path_);
        return false;
    }
    if (!Truncate(journal_fd_, 0) || !Sync(journal_fd_)) {
        Fail(JournalPath(path_));
        return false;
    }
    failing_ = false;
    error_ = {};
    return true;
}

void JournaledFile::Fail(const std::string& path) {
    // The file may be half edited; the journal on disk still undoes it at the next Open,
    // and Retry does the same before it writes the whole image.
    error_ = WriteError{path, errno != 0 ? errno : EIO};
    failing_ = true;
}

}  // namespace qm
