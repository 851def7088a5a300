#include "common/edit_log.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unordered_map>

#include "common/file_calls.h"

namespace qm {
namespace {

using namespace fileio;

// Header: "QMW1" | base size u64 | base sample crc u32 | crc32 of the 16 bytes before it.
// Record: body length u32 | body | crc32 of the length and the body.
// Body: kind u8 | seq u64 | then for an edit: offset u64 | removed u64 | inserted bytes;
// for a checkpoint marker: file size u64 | file crc u32; for a batch piece: batch u64 | the
// records; for a batch seal: batch u64 | offset u64 | piece count u32 | bytes u64.
constexpr char kMagic[4] = {'Q', 'M', 'W', '1'};
constexpr size_t kHeaderSize = 4 + 8 + 4 + 4;
constexpr uint8_t kEditMore = 1;  // an edit; the group goes on
constexpr uint8_t kEditLast = 2;  // the last edit of a group
constexpr uint8_t kMarker = 3;    // a checkpoint marker
constexpr uint8_t kPiece = 4;     // a piece of a batch: replays only once the batch is sealed
constexpr uint8_t kSeal = 5;      // the seal of a batch: its pieces are one edit
constexpr size_t kEditBodyHead = 1 + 8 + 8 + 8;
constexpr size_t kMarkerBody = 1 + 8 + 8 + 4;
constexpr size_t kPieceBodyHead = 1 + 8 + 8;
constexpr size_t kSealBody = 1 + 8 + 8 + 8 + 4 + 8;
// A record's length field is 32 bits; a piece stays well below it.
constexpr size_t kMaxPiece = size_t{1} << 30;

void PutRecord(std::string* out, const std::string& body) {
    const size_t start = out->size();
    PutU32(out, static_cast<uint32_t>(body.size()));
    out->append(body);
    PutU32(out, Crc(out->data() + start, out->size() - start));
}

std::string Header(uint64_t baseSize, uint32_t sampleCrc) {
    std::string header(kMagic, 4);
    PutU64(&header, baseSize);
    PutU32(&header, sampleCrc);
    PutU32(&header, Crc(header.data(), header.size()));
    return header;
}

struct Marker {
    uint64_t seq = 0;
    uint64_t fileSize = 0;
    uint32_t fileCrc = 0;
    size_t firstEditAfter = 0;  // index into the committed edits
};

}  // namespace

uint32_t EditLog::SampleCrc(std::string_view head, std::string_view tail) {
    return CrcUpdate(Crc(head.data(), head.size()), tail.data(), tail.size());
}

EditLog::Recovery EditLog::Recover(std::string_view log, std::string_view file) {
    Recovery result;
    // A torn header came with a torn first group: nothing was durable.
    if (log.size() < kHeaderSize || std::memcmp(log.data(), kMagic, 4) != 0 ||
        GetU32(log.data() + 16) != Crc(log.data(), 16)) {
        return result;
    }
    const uint64_t baseSize = GetU64(log.data() + 4);
    const uint32_t baseSample = GetU32(log.data() + 12);

    std::vector<Edit> committed;
    std::vector<uint64_t> seqs;
    std::vector<Edit> group;
    std::vector<uint64_t> groupSeqs;
    std::vector<Marker> markers;
    // The pieces of batches not sealed (yet), by batch.
    struct Pieces {
        std::vector<std::string_view> parts;
        uint64_t bytes = 0;
    };
    std::unordered_map<uint64_t, Pieces> batches;
    size_t at = kHeaderSize;
    result.validEnd = kHeaderSize;
    while (log.size() - at >= 8) {
        const uint32_t length = GetU32(log.data() + at);
        if (length < 1 + 8 || length > log.size() - at - 8) break;
        const char* body = log.data() + at + 4;
        if (GetU32(body + length) != Crc(log.data() + at, 4 + size_t{length})) break;
        const uint8_t kind = static_cast<uint8_t>(body[0]);
        const uint64_t seq = GetU64(body + 1);
        if ((kind == kEditMore || kind == kEditLast) && length >= kEditBodyHead) {
            Edit edit;
            edit.offset = GetU64(body + 9);
            edit.removed = GetU64(body + 17);
            edit.inserted = std::string_view(body + kEditBodyHead, length - kEditBodyHead);
            group.push_back(edit);
            groupSeqs.push_back(seq);
            if (kind == kEditLast) {
                committed.insert(committed.end(), group.begin(), group.end());
                seqs.insert(seqs.end(), groupSeqs.begin(), groupSeqs.end());
                group.clear();
                groupSeqs.clear();
                result.lastSeq = std::max(result.lastSeq, seq);
                result.validEnd = at + 8 + length;
            }
        } else if (kind == kMarker && length == kMarkerBody && group.empty()) {
            Marker marker;
            marker.seq = seq;
            marker.fileSize = GetU64(body + 9);
            marker.fileCrc = GetU32(body + 17);
            marker.firstEditAfter = committed.size();
            markers.push_back(marker);
            result.lastSeq = std::max(result.lastSeq, seq);
            result.validEnd = at + 8 + length;
        } else if (kind == kPiece && length >= kPieceBodyHead && group.empty()) {
            // Not durable as an edit until its seal: a tail of pieces is cut off with the torn
            // part, so validEnd stays where it is.
            const uint64_t batch = GetU64(body + 9);
            // A batch opened after recovery must never take the number of pieces kept here.
            result.lastSeq = std::max({result.lastSeq, seq, batch});
            Pieces& pieces = batches[batch];
            pieces.parts.emplace_back(body + kPieceBodyHead, length - kPieceBodyHead);
            pieces.bytes += length - kPieceBodyHead;
        } else if (kind == kSeal && length == kSealBody && group.empty()) {
            const auto found = batches.find(GetU64(body + 9));
            const uint32_t count = GetU32(body + 25);
            const uint64_t bytes = GetU64(body + 29);
            // A seal whose pieces are not all there is damage, not a batch.
            if (found == batches.end() || found->second.parts.size() != count ||
                found->second.bytes != bytes) {
                break;
            }
            Edit edit;
            edit.offset = GetU64(body + 17);
            if (count == 1) {
                edit.inserted = found->second.parts.front();
            } else {
                std::string& all = result.joined.emplace_back();
                all.reserve(bytes);
                for (const std::string_view part : found->second.parts) all.append(part);
                edit.inserted = all;
            }
            batches.erase(found);
            committed.push_back(edit);
            seqs.push_back(seq);
            result.lastSeq = std::max(result.lastSeq, seq);
            result.validEnd = at + 8 + length;
        } else {
            break;
        }
        at += 8 + length;
    }

    // The newest checkpoint the file matches says which edits it already holds.
    bool haveCrc = false;
    uint32_t fileCrc = 0;
    for (auto m = markers.rbegin(); m != markers.rend(); ++m) {
        if (m->fileSize != file.size()) continue;
        if (!haveCrc) {
            fileCrc = Crc(file.data(), file.size());
            haveCrc = true;
        }
        if (m->fileCrc != fileCrc) continue;
        for (size_t i = 0; i < committed.size(); ++i) {
            if (seqs[i] > m->seq) result.edits.push_back(committed[i]);
        }
        return result;
    }
    const size_t sample = std::min(kSampleSize, file.size());
    if (baseSize != file.size() ||
        baseSample != SampleCrc(file.substr(0, sample), file.substr(file.size() - sample))) {
        result.belongs = false;
        return result;
    }
    result.edits = std::move(committed);
    return result;
}

EditLog::~EditLog() { Close(false); }

EditLog::OpenResult EditLog::Open(const std::string& path) {
    Close(false);
    std::lock_guard<std::mutex> lock(mutex_);
    path_ = LogPath(path);
    // The lock belongs to the inode; one that a clean close removed meanwhile is no lock, so
    // the name is opened again until the locked inode is the one the name holds.
    for (int attempt = 0; attempt < 5; ++attempt) {
        const int fd = OpenFile(path_, O_RDWR | O_CREAT);
        if (fd < 0) return OpenResult::kFailed;
        if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
            close(fd);
            return OpenResult::kLocked;
        }
        struct stat held;
        struct stat named;
        if (fstat(fd, &held) == 0 && stat(path_.c_str(), &named) == 0 &&
            held.st_ino == named.st_ino && held.st_dev == named.st_dev) {
            fd_ = fd;
            open_ = true;
            size_ = static_cast<uint64_t>(held.st_size);
            seq_ = 0;
            SyncFolderOf(path_);  // the log may have just been created
            return OpenResult::kWritable;
        }
        close(fd);
    }
    return OpenResult::kFailed;
}

bool EditLog::isOpen() const { return open_.load(); }

bool EditLog::ReadAll(std::string* bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    return fd_ >= 0 && fileio::ReadAll(fd_, bytes);
}

bool EditLog::Continue(size_t validEnd, uint64_t lastSeq) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (fd_ < 0) return false;
    seq_ = lastSeq;
    if (validEnd == size_) return true;
    if (!Truncate(fd_, validEnd) || !Sync(fd_)) {
        AbandonLocked();
        return false;
    }
    size_ = validEnd;
    return true;
}

bool EditLog::SetAside(const std::string& bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (fd_ < 0) return false;
    const std::string aside = path_ + ".unmatched";
    const int fd = open(aside.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const bool saved = fd >= 0 && WriteAll(fd, bytes.data(), bytes.size(), 0) && Sync(fd);
    if (fd >= 0) close(fd);
    if (!saved || !SyncFolderOf(aside) || !Truncate(fd_, 0) || !Sync(fd_)) {
        AbandonLocked();
        return false;
    }
    size_ = 0;
    return true;
}

bool EditLog::Append(const std::vector<Edit>& group, bool durable, uint64_t baseSize,
                     uint32_t baseSampleCrc) {
    // Counted from before the lock: a sync waiting for it waits as well.
    struct Waiting {
        explicit Waiting(std::atomic<int>* n) : n_(n) { ++*n_; }
        ~Waiting() { --*n_; }
        std::atomic<int>* n_;
    } const waiting(&appendsWaiting_);
    std::lock_guard<std::mutex> lock(mutex_);
    if (fd_ < 0) return false;
    if (group.empty()) return true;
    std::string bytes;
    if (size_ == 0) bytes = Header(baseSize, baseSampleCrc);
    std::string body;
    for (size_t i = 0; i < group.size(); ++i) {
        body.clear();
        body.push_back(static_cast<char>(i + 1 == group.size() ? kEditLast : kEditMore));
        PutU64(&body, ++seq_);
        PutU64(&body, group[i].offset);
        PutU64(&body, group[i].removed);
        body.append(group[i].inserted);
        PutRecord(&bytes, body);
    }
    batchAtTail_ = false;
    return AppendLocked(bytes, durable);
}

bool EditLog::AppendLocked(const std::string& bytes, bool durable) {
    // A log removed underneath would take the edits into a file no name reaches.
    if (RemovedLocked()) {
        errno = ENOENT;
        FailLocked();
        return false;
    }
    // Bytes a failed append left behind the last good one must never replay.
    if (needsCut_ && !Truncate(fd_, size_)) {
        FailLocked();
        return false;
    }
    needsCut_ = false;
    if (!WriteAll(fd_, bytes.data(), bytes.size(), size_) || (durable && !Sync(fd_))) {
        FailLocked();
        const int error = errno;
        needsCut_ = !Truncate(fd_, size_);
        errno = error;
        return false;
    }
    size_ += bytes.size();
    return true;
}

bool EditLog::RemovedLocked() const {
    struct stat st;
    return fstat(fd_, &st) == 0 && st.st_nlink == 0;
}

void EditLog::FailLocked() { error_ = WriteError{path_, errno != 0 ? errno : EIO}; }

bool EditLog::DropUnsynced() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (fd_ < 0) return false;
    if (RemovedLocked()) {
        const int fd = OpenFile(path_, O_RDWR | O_CREAT);
        if (fd < 0) {
            FailLocked();
            return false;
        }
        if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
            FailLocked();
            close(fd);
            return false;
        }
        close(fd_);
        fd_ = fd;
        size_ = 0;
        batchFailed_ = true;  // the batch's pieces went with the old log
        if (!Truncate(fd_, 0) || !Sync(fd_) || !SyncFolderOf(path_)) {
            FailLocked();
            return false;
        }
        return true;
    }
    if (!Truncate(fd_, size_) || !Sync(fd_)) {
        FailLocked();
        return false;
    }
    needsCut_ = false;
    return true;
}

WriteError EditLog::lastError() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return error_;
}

uint64_t EditLog::lastSeq() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return seq_;
}

uint64_t EditLog::size() const { return size_.load(); }

bool EditLog::empty() const { return size() == 0; }

bool EditLog::AppendMarker(uint64_t seq, uint64_t fileSize, uint32_t fileCrc) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (fd_ < 0 || size_ == 0) return false;
    std::string body;
    body.push_back(static_cast<char>(kMarker));
    PutU64(&body, seq);
    PutU64(&body, fileSize);
    PutU32(&body, fileCrc);
    std::string bytes;
    PutRecord(&bytes, body);
    batchAtTail_ = false;
    return AppendLocked(bytes, true);
}

bool EditLog::ResetIfNothingAfter(uint64_t seq) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (fd_ < 0) return false;
    // An open batch's pieces wait in the log for their seal.
    if (seq_ != seq || size_ == 0 || batchOpen_) return true;
    // When this fails the log keeps its marker, which tells recovery that the file holds
    // every edit before it; later edits append behind it.
    if (!Truncate(fd_, 0)) {
        FailLocked();
        return false;
    }
    size_ = 0;  // the next append starts a new header at 0, synced or not
    if (!Sync(fd_)) {
        FailLocked();
        return false;
    }
    return true;
}

bool EditLog::OpenBatch(uint64_t baseSize, uint32_t baseSampleCrc) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (fd_ < 0 || batchOpen_) return false;
    batchStart_ = size_;
    batchLogBytes_ = 0;
    if (size_ == 0) {
        // The header alone needs no sync: the first piece's sync takes it along.
        const std::string header = Header(baseSize, baseSampleCrc);
        if (!AppendLocked(header, false)) return false;
        batchLogBytes_ = header.size();
    }
    batchOpen_ = true;
    batchFailed_ = false;
    batchAtTail_ = true;
    batchId_ = ++seq_;
    batchPieces_ = 0;
    batchBytes_ = 0;
    return true;
}

bool EditLog::AppendPiece(std::string_view records) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (fd_ < 0 || !batchOpen_ || batchFailed_) return false;
    if (records.size() > kMaxPiece) {
        batchFailed_ = true;
        return false;
    }
    std::string body;
    body.reserve(kPieceBodyHead + records.size());
    body.push_back(static_cast<char>(kPiece));
    PutU64(&body, ++seq_);
    PutU64(&body, batchId_);
    body.append(records);
    std::string bytes;
    bytes.reserve(body.size() + 8);
    PutRecord(&bytes, body);
    const uint64_t at = size_;
    // Not synced here: the pieces count only once the seal's sync has them, and syncing each
    // would hold the log (and any edit waiting for it) once per piece. They go to the disk at
    // once, so the sync before the seal finds little left to write.
    if (!AppendLocked(bytes, false)) {
        batchFailed_ = true;
        return false;
    }
    sync_file_range(fd_, static_cast<off_t>(at), static_cast<off_t>(bytes.size()),
                    SYNC_FILE_RANGE_WRITE);
    ++batchPieces_;
    batchBytes_ += records.size();
    batchLogBytes_ += bytes.size();
    return true;
}

bool EditLog::SyncBatch() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (fd_ < 0 || !batchOpen_ || batchFailed_) return false;
    if (!Sync(fd_)) {
        FailLocked();
        batchFailed_ = true;
        return false;
    }
    return true;
}

bool EditLog::SealBatch(uint64_t offset) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (fd_ < 0 || !batchOpen_) return false;
    batchOpen_ = false;
    batchLogBytes_ = 0;
    if (batchFailed_) return false;
    std::string body;
    body.push_back(static_cast<char>(kSeal));
    PutU64(&body, ++seq_);
    PutU64(&body, batchId_);
    PutU64(&body, offset);
    PutU32(&body, batchPieces_);
    PutU64(&body, batchBytes_);
    std::string bytes;
    PutRecord(&bytes, body);
    return AppendLocked(bytes, true);
}

void EditLog::AbandonBatch() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!batchOpen_) return;
    batchOpen_ = false;
    batchLogBytes_ = 0;
    // Pieces nobody will seal replay nothing; when they end the log they go at once.
    if (fd_ >= 0 && batchAtTail_ && size_ > batchStart_ && Truncate(fd_, batchStart_)) {
        size_ = batchStart_;
    }
}

uint64_t EditLog::editBytes() const {
    const uint64_t all = size_.load();
    const uint64_t batch = batchLogBytes_.load();
    return all > batch ? all - batch : 0;
}

void EditLog::Close(bool remove) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (fd_ < 0) return;
    // Removed while still locked, so no other process takes a lock on a name going away.
    if (remove && size_ == 0 && Unlink(path_)) SyncFolderOf(path_);
    close(fd_);
    fd_ = -1;
    open_ = false;
}

void EditLog::AbandonLocked() {
    // What reached the log stays there for the next Open; from here on memory goes on alone.
    close(fd_);
    fd_ = -1;
    open_ = false;
}

}  // namespace qm
