#include "store/tree_store.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <utility>

#include "common/edit_log.h"
#include "common/file_calls.h"
#include "common/journaled_file.h"
#include "store/checkpoint_task.h"
#include "store/external_file.h"
#include "store/outline.h"
#include "store/record_format.h"
#include "store/text_decoder.h"
#include "store/text_match.h"
#include "store/time_text.h"

namespace qm {
namespace {

std::string Separators(int count) {
    std::string out;
    for (int i = 0; i < count; ++i) out.append(kFieldSeparator);
    return out;
}

// Fields 1 to 6 of a record, as views into it: the part the outline and the depth come from.
struct Head {
    std::string_view fields[kFieldDepth];
    bool complete = false;  // the record holds a separator after field 6
};

Head ReadHead(std::string_view record) {
    Head head;
    size_t positions[kFieldDepth];
    const int found = FindSeparators(record, 0, record.size(), kFieldDepth, positions);
    head.complete = found == kFieldDepth;
    size_t from = 0;
    for (int i = 0; i < kFieldDepth && i <= found; ++i) {
        const size_t to = i < found ? positions[i] : record.size();
        head.fields[i] = record.substr(from, to - from);
        from = to + kFieldSeparator.size();
    }
    return head;
}

// The file read into the heap, without zero-filling the buffer first.
class HeapBuffer : public ImageBuffer {
public:
    explicit HeapBuffer(size_t size) : data_(new char[size == 0 ? 1 : size]), size_(size) {}
    char* data() { return data_.get(); }
    void set_size(size_t size) { size_ = size; }
    std::string_view bytes() const override { return {data_.get(), size_}; }

private:
    std::unique_ptr<char[]> data_;
    size_t size_;
};

// The file mapped read-only. The tree file is never changed in place (a checkpoint renames a
// new file over it), so the mapping keeps the bytes it was made from.
class MappedBuffer : public ImageBuffer {
public:
    MappedBuffer(void* data, size_t size) : data_(data), size_(size) {}
    ~MappedBuffer() override { munmap(data_, size_); }
    std::string_view bytes() const override { return {static_cast<const char*>(data_), size_}; }

private:
    void* data_;
    size_t size_;
};

class StringBuffer : public ImageBuffer {
public:
    explicit StringBuffer(std::string bytes) : bytes_(std::move(bytes)) {}
    std::string_view bytes() const override { return bytes_; }

private:
    std::string bytes_;
};

std::shared_ptr<const ImageBuffer> ReadBuffer(int fd) {
    if (fileio::Injected(fileio::kRead, fd)) return nullptr;
    struct stat st;
    if (fstat(fd, &st) != 0) return nullptr;
    auto buffer = std::make_shared<HeapBuffer>(static_cast<size_t>(st.st_size));
    size_t done = 0;
    const size_t size = static_cast<size_t>(st.st_size);
    while (done < size) {
        const ssize_t n = pread(fd, buffer->data() + done, size - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return nullptr;
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    buffer->set_size(done);
    return buffer;
}

std::shared_ptr<const ImageBuffer> MapBuffer(int fd) {
    if (fileio::Injected(fileio::kRead, fd)) return nullptr;
    struct stat st;
    if (fstat(fd, &st) != 0) return nullptr;
    if (st.st_size == 0) return std::make_shared<StringBuffer>(std::string());
    void* data = mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
    if (data == MAP_FAILED) return ReadBuffer(fd);
    return std::make_shared<MappedBuffer>(data, static_cast<size_t>(st.st_size));
}

bool FileExists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

// The image's identity as a log header names it.
uint32_t SampleCrcOf(const RecordImage& image) {
    const size_t sample = std::min(EditLog::kSampleSize, image.size());
    return EditLog::SampleCrc(image.Copy(0, sample), image.Copy(image.size() - sample, sample));
}

}  // namespace

TreeStore::Transaction::Transaction(TreeStore& store) : store_(&store) { store_->BeginGroup(true); }

TreeStore::Transaction::~Transaction() { store_->EndGroup(); }

// Gathers the edits of one store operation into one log append (one sync), so that recovery
// replays all of them or none.
class TreeStore::EditGroup {
public:
    explicit EditGroup(TreeStore* store, bool durable = true) : store_(store) {
        store_->BeginGroup(durable);
    }
    ~EditGroup() { store_->EndGroup(); }
    EditGroup(const EditGroup&) = delete;
    EditGroup& operator=(const EditGroup&) = delete;

private:
    TreeStore* store_;
};

TreeStore::TreeStore(std::string programFolder)
    : programFolder_(std::move(programFolder)), checkpoint_(std::make_shared<CheckpointState>()) {}

TreeStore::~TreeStore() { Close(); }

void TreeStore::ResetState() {
    nodeCount_ = 0;
    outlineBuilt_ = false;
    batchBuffer_.clear();
    batchInsertOffset_.reset();
    flatValid_ = false;
    pending_.clear();
}

bool TreeStore::writable() const { return log_ != nullptr && log_->isOpen(); }

const std::string& TreeStore::image() const {
    if (!flatValid_) {
        flat_ = image_.Flatten();
        flatValid_ = true;
    }
    return flat_;
}

bool TreeStore::Open(const std::string& path) {
    Close();
    ResetState();
    image_.Clear();
    path_ = path;
    openProblem_ = OpenProblem::kNone;
    openError_ = {};
    // What a file that exists but cannot be read gets: no image, and never a write.
    auto unreadable = [this, &path] {
        openProblem_ = OpenProblem::kUnreadable;
        openError_ = WriteError{path, errno != 0 ? errno : EIO};
        image_.Clear();
        return false;
    };
    auto log = std::make_shared<EditLog>();
    const EditLog::OpenResult opened = log->Open(path);
    if (opened != EditLog::OpenResult::kWritable) {
        openProblem_ = opened == EditLog::OpenResult::kLocked ? OpenProblem::kLocked
                                                              : OpenProblem::kNotWritable;
        if (opened == EditLog::OpenResult::kFailed) {
            openError_ = WriteError{EditLog::LogPath(path), errno != 0 ? errno : EIO};
        }
        if (!LoadReadOnly(path) && FileExists(path)) return unreadable();
        return false;
    }
    // An edit that an older version of the store left half done in place is rolled back.
    if (FileExists(path + ".journal")) {
        JournaledFile legacy;
        legacy.Open(path);
    }
    // A checkpoint that died before its rename left its file behind.
    if (FileExists(CheckpointTask::NewFilePath(path)))
        unlink(CheckpointTask::NewFilePath(path).c_str());

    const bool existed = FileExists(path);
    const int fd = fileio::OpenFile(path, O_RDWR | O_CREAT);
    if (fd < 0) {
        const int error = errno;
        log->Close(true);
        // Readable but not writable: shown, and edits stay in memory.
        if (existed && LoadReadOnly(path)) {
            openProblem_ = OpenProblem::kNotWritable;
            openError_ = WriteError{path, error};
            return false;
        }
        errno = error;
        if (existed) return unreadable();
        openProblem_ = OpenProblem::kNotWritable;
        openError_ = WriteError{path, error};
        return false;
    }
    std::shared_ptr<const ImageBuffer> buffer = ReadBuffer(fd);
    const int readError = errno;
    close(fd);
    std::string logBytes;
    if (buffer == nullptr) {
        log->Close(true);
        errno = readError;
        return unreadable();
    }
    if (!log->ReadAll(&logBytes)) {
        openProblem_ = OpenProblem::kNotWritable;
        openError_ = WriteError{EditLog::LogPath(path), errno != 0 ? errno : EIO};
        log->Close(false);
        if (!LoadReadOnly(path)) return unreadable();
        return false;
    }
    if (!existed) fileio::SyncFolderOf(path);
    const EditLog::Recovery recovery = EditLog::Recover(logBytes, buffer->bytes());
    image_.Assign(buffer);
    if (recovery.belongs) {
        for (const EditLog::Edit& edit : recovery.edits) {
            if (!image_.Replace(edit.offset, edit.removed, edit.inserted)) break;
        }
        log->Continue(recovery.validEnd, recovery.lastSeq);
    } else {
        log->SetAside(logBytes);
    }
    log_ = std::move(log);
    RememberFileIdentity();
    if (!writable()) {
        openProblem_ = OpenProblem::kNotWritable;
        openError_ = log_->lastError();
    }
    return writable();
}

bool TreeStore::Load(const std::string& path) {
    Close();
    ResetState();
    image_.Clear();
    path_ = path;
    return LoadReadOnly(path);
}

bool TreeStore::LoadReadOnly(const std::string& path) {
    // A checkpoint of the writing process may replace the file between reading it and reading
    // the log; then both are read again.
    std::shared_ptr<const ImageBuffer> buffer;
    std::string logBytes;
    for (int attempt = 0; attempt < 5; ++attempt) {
        const int fd = fileio::OpenFile(path, O_RDONLY);
        if (fd < 0) return false;
        struct stat held;
        fstat(fd, &held);
        buffer = MapBuffer(fd);
        const int error = errno;
        close(fd);
        errno = error;
        if (buffer == nullptr) return false;
        logBytes.clear();
        fileio::ReadFile(EditLog::LogPath(path), &logBytes);
        struct stat named;
        if (stat(path.c_str(), &named) == 0 && named.st_ino == held.st_ino &&
            named.st_dev == held.st_dev) {
            break;
        }
    }
    // An edit an older version left half done in place is rolled back in memory.
    std::string journal;
    if (fileio::ReadFile(path + ".journal", &journal) && !journal.empty()) {
        JournaledFile legacy;
        if (legacy.Load(path)) buffer = std::make_shared<StringBuffer>(legacy.data());
    }
    const EditLog::Recovery recovery = EditLog::Recover(logBytes, buffer->bytes());
    image_.Assign(buffer);
    if (recovery.belongs) {
        for (const EditLog::Edit& edit : recovery.edits) {
            if (!image_.Replace(edit.offset, edit.removed, edit.inserted)) break;
        }
    }
    return true;
}

void TreeStore::Close() {
    if (log_ != nullptr) {
        log_->AbandonBatch();
        if (writable()) Checkpoint();
        log_->Close(true);
        log_.reset();
    }
    unsaved_ = false;
    lastError_ = {};
    staleBodyFiles_.clear();
}

bool TreeStore::writeFailing() const { return unsaved() || checkpoint_->failing.load(); }

WriteError TreeStore::lastWriteError() const {
    if (lastError_.failed() && unsaved()) return lastError_;
    if (!checkpoint_->failing.load()) return {};
    std::lock_guard<std::mutex> lock(checkpoint_->errorMutex);
    return checkpoint_->error;
}

void TreeStore::NoteFailure(const WriteError& error) {
    lastError_ = error;
    if (failureHandler_) failureHandler_();
}

void TreeStore::RememberFileIdentity() { checkpoint_->fileId = CheckpointTask::FileId(path_); }

bool TreeStore::FileMovedUnderneath(WriteError* error) const {
    // A checkpoint renaming its new file in place changes the identity on purpose.
    if (checkpoint_->started.load() > 0) return false;
    const uint64_t id = CheckpointTask::FileId(path_);
    if (id == checkpoint_->fileId.load()) return false;
    // ESTALE stands for "replaced by another file"; ENOENT for "removed".
    *error = WriteError{path_, id == 0 ? ENOENT : ESTALE};
    return true;
}

bool TreeStore::RetryWrites() {
    if (log_ == nullptr || !log_->isOpen()) return !unsaved();
    // Writing a stale body file back edits its record, whose group ends here again.
    if (retrying_) return false;
    retrying_ = true;
    bool ok = true;
    if (unsaved_ || checkpoint_->failing.load()) {
        if (!unsaved_ && log_->empty()) {
            checkpoint_->failing = false;  // the log holds nothing the file lacks
        } else {
            // After failed appends the whole image goes to the file and the log restarts;
            // otherwise this is an ordinary checkpoint of the logged edits.
            if (!unsaved_) LogOpenGroup();
            CheckpointTask task(path_, image_.Snapshot(), log_->lastSeq(), log_, checkpoint_,
                                unsaved_);
            ok = task.Run();
            if (ok) unsaved_ = false;
            // The file now holds every edit of an open scope too.
            if (ok && groupDepth_ > 0) RebaseGroup();
        }
    }
    ok = ok && RetryBodyFiles();
    retrying_ = false;
    if (!ok && unsaved()) {
        if (checkpoint_->failing.load()) {
            std::lock_guard<std::mutex> lock(checkpoint_->errorMutex);
            if (checkpoint_->error.failed()) lastError_ = checkpoint_->error;
        }
    }
    if (ok) lastError_ = {};
    return ok;
}

bool TreeStore::SaveCopy(const std::string& path) const {
    return WriteFileAtomically(path, image());
}

// The pieces of an open batch are no edit yet: no checkpoint is due for them.
bool TreeStore::HasLoggedEdits() const { return writable() && log_->editBytes() > 0; }

uint64_t TreeStore::LogSize() const { return log_ != nullptr ? log_->size() : 0; }

bool TreeStore::NeedsCheckpoint() const {
    return writable() && log_->editBytes() > checkpointLogLimit_;
}

std::shared_ptr<CheckpointTask> TreeStore::StartCheckpoint() {
    LogOpenGroup();
    // Edits that exist in memory alone go to the file only through RetryWrites.
    if (unsaved_ || !HasLoggedEdits()) return nullptr;
    return std::make_shared<CheckpointTask>(path_, image_.Snapshot(), log_->lastSeq(), log_,
                                            checkpoint_);
}

bool TreeStore::Checkpoint() {
    if (log_ == nullptr) return false;
    if (unsaved()) return RetryWrites();
    const std::shared_ptr<CheckpointTask> task = StartCheckpoint();
    if (task == nullptr) return writable();
    return task->Run();
}

void TreeStore::LogOpenGroup() {
    // A snapshot must hold no edit that the log lacks: what an open scope gathered is logged
    // now, as a group of its own.
    if (groupDepth_ == 0 || pending_.empty()) return;
    LogPending();
    RebaseGroup();
}

void TreeStore::RebaseGroup() {
    pending_.clear();
    // The scope's later edits apply to the image as it is now, which a checkpoint may have
    // made the file (and emptied the log).
    groupHasBase_ = writable();
    if (groupHasBase_) {
        groupBaseSize_ = image_.size();
        groupBaseCrc_ = SampleCrcOf(image_);
    }
}

void TreeStore::BeginGroup(bool durable) {
    if (groupDepth_++ > 0) {
        groupDurable_ = groupDurable_ || durable;
        return;
    }
    groupDurable_ = durable;
    // A log that is empty (or that a running checkpoint may empty) starts with a header naming
    // the file the edits apply to: the image as it is before them.
    groupHasBase_ = writable() && (log_->empty() || checkpoint_->started.load() > 0);
    if (groupHasBase_) {
        groupBaseSize_ = image_.size();
        groupBaseCrc_ = SampleCrcOf(image_);
    }
}

void TreeStore::EndGroup() {
    if (--groupDepth_ > 0) return;
    LogPending();
}

void TreeStore::LogPending() {
    if (pending_.empty()) return;
    if (writable()) {
        WriteError moved;
        if (unsaved_) {
            // The log misses earlier edits: this one waits in memory with them, and the next
            // edit is the moment to try writing them all again.
            RetryWrites();
        } else if (FileMovedUnderneath(&moved)) {
            // The log no longer belongs to the file under the name: the whole image goes there.
            unsaved_ = true;
            NoteFailure(moved);
            RetryWrites();
        } else {
            std::vector<EditLog::Edit> edits;
            edits.reserve(pending_.size());
            for (const PendingEdit& p : pending_) {
                edits.push_back({p.offset, p.removed, p.inserted});
            }
            if (!log_->Append(edits, groupDurable_, groupBaseSize_, groupBaseCrc_)) {
                unsaved_ = true;
                NoteFailure(log_->lastError());
            }
        }
    }
    pending_.clear();
}

std::string TreeStore::NowText() const { return TimeText(now_ ? now_() : std::time(nullptr)); }

bool TreeStore::Edit(size_t offset, size_t length, std::string_view bytes) {
    if (groupDepth_ == 0) {
        EditGroup group(this);
        return Edit(offset, length, bytes);
    }
    if (!image_.Replace(offset, length, bytes)) return false;
    flatValid_ = false;
    if (writable()) pending_.push_back({offset, length, std::string(bytes)});
    return true;
}

std::string_view TreeStore::ImageBytes(size_t offset, size_t length, std::string* copy) const {
    const int r = image_.RecordAt(offset);
    if (r < image_.count()) {
        const size_t start = image_.start(r);
        const std::string_view record = image_.Record(r);
        // A record's piece holds its terminator right behind it.
        if (offset + length <= start + record.size() + 1) {
            return std::string_view(record.data() + (offset - start), length);
        }
    }
    *copy = image_.Copy(offset, length);
    return *copy;
}

bool TreeStore::EditChanged(size_t offset, size_t length, std::string_view bytes) {
    // The old bytes are compared in place: a record losing a body of hundreds of megabytes
    // is not copied for it.
    std::string copy;
    const std::string_view old = ImageBytes(offset, length, &copy);
    size_t prefix = 0;
    const size_t shorter = std::min(old.size(), bytes.size());
    while (prefix < shorter && old[prefix] == bytes[prefix]) ++prefix;
    size_t suffix = 0;
    while (suffix < shorter - prefix &&
           old[old.size() - 1 - suffix] == bytes[bytes.size() - 1 - suffix]) {
        ++suffix;
    }
    if (prefix == old.size() && prefix == bytes.size()) return true;  // nothing differs
    return Edit(offset + prefix, old.size() - prefix - suffix,
                bytes.substr(prefix, bytes.size() - prefix - suffix));
}

bool TreeStore::ValidIndex(int index) const {
    return index >= 0 && index < nodeCount_ && index < image_.count();
}

std::string_view TreeStore::RecordBytes(int index) const { return image_.Record(index); }

// ---------------------------------------------------------------------------------------------
// Raw bytes and fields

bool TreeStore::InsertBytes(size_t offset, std::string_view bytes, std::string* target) {
    return ReplaceBytes(offset, 0, bytes, target);
}

bool TreeStore::ReplaceBytes(size_t offset, size_t length, std::string_view bytes,
                             std::string* target) {
    if (target == nullptr) return Edit(offset, length, bytes);
    if (offset > target->size() || length > target->size() - offset) return false;
    target->replace(offset, length, bytes.data(), bytes.size());
    return true;
}

bool TreeStore::FindRecordEnd(size_t* offset, const std::string* target) const {
    if (target != nullptr) {
        if (*offset >= target->size()) return false;
        const size_t end = target->find(kRecordTerminator, *offset);
        if (end == std::string::npos) return false;
        *offset = end;
        return true;
    }
    if (*offset >= image_.size()) return false;
    const int record = image_.RecordAt(*offset);
    if (record >= image_.count()) return false;
    *offset = image_.end(record);
    return true;
}

bool TreeStore::LocateField(int fieldNumber, size_t* fieldStart, size_t* fieldEnd,
                            size_t* recordEnd, size_t* dataEnd, std::string* target) {
    if (target != nullptr) {
        return LocateFieldIn(target, fieldNumber, fieldStart, fieldEnd, recordEnd, dataEnd);
    }
    if (fieldNumber < 1 || fieldNumber > kFieldCount) return false;
    if (*fieldStart > *recordEnd || *recordEnd > image().size()) return false;
    FieldSpan span = FindField(image(), *fieldStart, *recordEnd, fieldNumber);
    if (!span.found) {
        // A short record: the missing separators go in before its terminator, so it holds
        // 13 fields again, the missing ones empty.
        const std::string missing = Separators(kFieldCount - 1 - span.separators);
        if (!Edit(*recordEnd, 0, missing)) return false;
        *recordEnd += missing.size();
        if (dataEnd != nullptr) *dataEnd += missing.size();
        span = FindField(image(), *fieldStart, *recordEnd, fieldNumber);
    }
    *fieldStart = span.start;
    *fieldEnd = span.end;
    return span.found;
}

bool TreeStore::LocateFieldIn(std::string* buffer, int fieldNumber, size_t* fieldStart,
                              size_t* fieldEnd, size_t* recordEnd, size_t* dataEnd) {
    if (fieldNumber < 1 || fieldNumber > kFieldCount) return false;
    if (*fieldStart > *recordEnd || *recordEnd > buffer->size()) return false;
    FieldSpan span = FindField(*buffer, *fieldStart, *recordEnd, fieldNumber);
    if (!span.found) {
        const std::string missing = Separators(kFieldCount - 1 - span.separators);
        buffer->insert(*recordEnd, missing);
        *recordEnd += missing.size();
        if (dataEnd != nullptr) *dataEnd += missing.size();
        span = FindField(*buffer, *fieldStart, *recordEnd, fieldNumber);
    }
    *fieldStart = span.start;
    *fieldEnd = span.end;
    return span.found;
}

void TreeStore::RunLong(size_t bytes, const std::function<void()>& work) {
    if (longWork_ && bytes >= kLongRecordBytes) {
        longWork_(work);
    } else {
        work();
    }
}

bool TreeStore::SameRecord(int index, std::string_view bytes) const {
    if (index < 0 || index >= image_.count()) return false;
    const std::string_view now = image_.Record(index);
    return now.data() == bytes.data() && now.size() == bytes.size();
}

RecordViews TreeStore::FieldViews(int index, std::shared_ptr<const void>* owner) {
    *owner = image_.Owner(index);
    const std::string_view record = image_.Record(index);
    RecordViews views;
    RunLong(record.size(), [&views, record] { views = SplitRecordViews(record); });
    if (SameRecord(index, record)) return views;
    // Changed while the runner let the window answer: split what is there now, here.
    *owner = image_.Owner(index);
    return SplitRecordViews(image_.Record(index));
}

bool TreeStore::LocateRecordField(int index, int fieldNumber, size_t* start, size_t* end) {
    std::string_view record = image_.Record(index);
    FieldSpan span;
    {
        const std::shared_ptr<const void> owner = image_.Owner(index);
        RunLong(record.size(), [&span, record, fieldNumber] {
            span = FindField(record, 0, record.size(), fieldNumber);
        });
    }
    if (index >= image_.count()) return false;  // removed while the window answered
    if (!SameRecord(index, record)) {
        record = image_.Record(index);
        span = FindField(record, 0, record.size(), fieldNumber);
    }
    if (!span.found) {
        // A short record: the missing separators go in before its terminator.
        const std::string missing = Separators(kFieldCount - 1 - span.separators);
        if (!Edit(image_.start(index) + record.size(), 0, missing)) return false;
        record = image_.Record(index);
        span = FindField(record, 0, record.size(), fieldNumber);
    }
    const size_t base = image_.start(index);
    *start = base + span.start;
    *end = base + span.end;
    return span.found;
}

std::string TreeStore::RawField(int index, int fieldNumber) {
    size_t start = 0;
    size_t end = 0;
    if (!LocateRecordField(index, fieldNumber, &start, &end)) return {};
    return image_.Copy(start, end - start);
}

bool TreeStore::SetLongFieldBytes(int index, int fieldNumber, std::string_view value) {
    const EditGroup group(this, false);  // joins the caller's group
    const std::shared_ptr<const void> owner = image_.Owner(index);
    const std::string_view record = image_.Record(index);
    FieldSpan span;
    std::shared_ptr<std::string> rebuilt;
    longWork_([&] {
        span = FindField(record, 0, record.size(), fieldNumber);
        if (!span.found || record.substr(span.start, span.end - span.start) == value) return;
        rebuilt = std::make_shared<std::string>();
        rebuilt->reserve(record.size() - (span.end - span.start) + value.size() + 1);
        rebuilt->append(record.substr(0, span.start));
        rebuilt->append(value);
        rebuilt->append(record.substr(span.end));
        rebuilt->push_back(kRecordTerminator);
    });
    // A short record (to be repaired) or one changed meanwhile goes the usual way.
    if (!span.found || !SameRecord(index, record)) return false;
    if (rebuilt == nullptr) return true;  // the field holds the value already
    const size_t start = image_.start(index);
    image_.ReplaceRecord(index, std::move(rebuilt));
    flatValid_ = false;
    if (writable()) {
        pending_.push_back({start + span.start, span.end - span.start, std::string(value)});
    }
    return true;
}

bool TreeStore::SetFieldBytes(int index, int fieldNumber, std::string_view value) {
    // A long record is rebuilt off this thread; the value itself never holds a separator or a
    // terminator (fields are sanitized), so the new bytes are one record again.
    if (longWork_ && index >= 0 && index < image_.count() &&
        image_.Record(index).size() >= kLongRecordBytes &&
        SetLongFieldBytes(index, fieldNumber, value)) {
        return true;
    }
    size_t start = 0;
    size_t end = 0;
    if (!LocateRecordField(index, fieldNumber, &start, &end)) return false;
    if (end - start == value.size()) return EditChanged(start, end - start, value);
    return Edit(start, end - start, value);
}

// ---------------------------------------------------------------------------------------------
// Outline and structure

std::string TreeStore::BuildOutline() {
    const EditGroup group(this, false);  // repairs: the file's own bytes made whole again
    outlineBuilt_ = true;
    nodeCount_ = 0;
    std::string rows;
    rows.reserve(static_cast<size_t>(image_.count()) * 40);
    for (int i = 0; i < image_.count(); ++i) {
        Head head = ReadHead(RecordBytes(i));
        if (!head.complete) {
            size_t start = 0;
            size_t end = 0;
            LocateRecordField(i, kFieldDepth, &start, &end);  // repairs the short record
            head = ReadHead(RecordBytes(i));                  // the image may have moved
        }
        const int32_t depth = ParseIntField(head.fields[kFieldDepth - 1]);
        image_.set_depth(i, depth);
        AppendOutlineRow(&rows, head.fields[0], ParseIntField(head.fields[1]),
                         ParseIntField(head.fields[3]), ParseIntField(head.fields[4]), depth);
        ++nodeCount_;
    }
    return rows;
}

std::string TreeStore::BuildOutlineQuick() const { return BuildOutlineQuick(0, image_.count()); }

std::string TreeStore::BuildOutlineQuick(int first, int count) const {
    std::string rows;
    first = std::max(first, 0);
    const int end = count > image_.count() - first ? image_.count() : first + count;
    rows.reserve(static_cast<size_t>(std::max(end - first, 0)) * 40);
    for (int i = first; i < end; ++i) {
        const Head head = ReadHead(RecordBytes(i));
        AppendOutlineRow(&rows, head.fields[0], ParseIntField(head.fields[1]),
                         ParseIntField(head.fields[3]), ParseIntField(head.fields[4]),
                         ParseIntField(head.fields[5]));
    }
    return rows;
}

int TreeStore::NodeCount() {
    if (!outlineBuilt_) BuildOutline();
    return nodeCount_;
}

int TreeStore::RecordDepth(int index) {
    int32_t depth = image_.depth(index);
    if (depth != RecordImage::kUnknownDepth) return depth;
    const Head head = ReadHead(RecordBytes(index));
    depth = ParseIntField(head.fields[kFieldDepth - 1]);
    if (!head.complete) {
        size_t start = 0;
        size_t end = 0;
        LocateRecordField(index, kFieldDepth, &start, &end);  // repairs the short record
    }
    image_.set_depth(index, depth);
    return depth;
}

int TreeStore::LocateSubtree(int index, SubtreeSpan* span) {
    if (!ValidIndex(index)) return -1;
    const int depth = RecordDepth(index);
    int last = index;
    while (last + 1 < image_.count() && RecordDepth(last + 1) > depth) ++last;
    if (span != nullptr) {
        span->startOffset = image_.start(index);
        span->endOffset = image_.end(last);
        span->lastIndex = last;
        span->depth = depth;
    }
    return last - index + 1;
}

std::string TreeStore::CopyRecords(int first, int last) const {
    std::string out;
    if (first < 0 || last < first || last >= image_.count()) return out;
    for (int i = first; i <= last; ++i) {
        out.append(image_.Record(i));
        out.push_back(kRecordTerminator);
    }
    return out;
}

bool TreeStore::GetSubtreeBytes(int index, std::string* bytes, int* count, int* depth) {
    SubtreeSpan span;
    const int records = LocateSubtree(index, &span);
    if (records < 0) return false;
    if (bytes != nullptr) {
        *bytes = image_.Copy(span.startOffset, span.endOffset + 1 - span.startOffset);
    }
    if (count != nullptr) *count = records;
    if (depth != nullptr) *depth = span.depth;
    return true;
}

int TreeStore::DeleteSubtree(int index, std::string* removedBytes, int* depth) {
    const EditGroup group(this);
    SubtreeSpan span;
    const int records = LocateSubtree(index, &span);
    if (records < 0) return -1;
    const size_t length = span.endOffset + 1 - span.startOffset;
    if (removedBytes != nullptr) *removedBytes = image_.Copy(span.startOffset, length);
    if (depth != nullptr) *depth = span.depth;
    Edit(span.startOffset, length, {});
    nodeCount_ -= records;
    return records;
}

void TreeStore::ShiftDepth(std::string* block, int delta) {
    size_t start = 0;
    while (start < block->size()) {
        size_t recordEnd = block->find(kRecordTerminator, start);
        if (recordEnd == std::string::npos) break;
        size_t fieldStart = start;
        size_t fieldEnd = 0;
        if (LocateFieldIn(block, kFieldDepth, &fieldStart, &fieldEnd, &recordEnd, nullptr)) {
            const int64_t depth = int64_t{ParseIntField(std::string_view(*block).substr(
                                      fieldStart, fieldEnd - fieldStart))} +
                                  delta;
            const std::string text = std::to_string(depth);
            block->replace(fieldStart, fieldEnd - fieldStart, text);
            recordEnd = recordEnd + text.size() - (fieldEnd - fieldStart);
        }
        start = recordEnd + 1;
    }
}

bool TreeStore::MoveSubtree(int* from, int* to, bool asSibling, int* count) {
    const EditGroup group(this);
    if (!ValidIndex(*to) || !ValidIndex(*from) || *from == *to) return false;
    SubtreeSpan source;
    const int records = LocateSubtree(*from, &source);
    if (records < 0 || (*to >= *from && *to <= source.lastIndex)) return false;
    SubtreeSpan target;
    if (LocateSubtree(*to, &target) < 0) return false;

    std::string block = image_.Copy(source.startOffset, source.endOffset + 1 - source.startOffset);
    ShiftDepth(&block, target.depth - source.depth + (asSibling ? 0 : 1));

    size_t insertAt = target.startOffset;
    int newTo = *to;
    if (!asSibling || *from < *to) {
        insertAt = target.endOffset + 1;
        newTo = target.lastIndex + 1;
    }
    int newFrom = *from;
    if (newTo > *from) {
        newTo -= records;
    } else {
        newFrom += records;
    }

    // The block goes in at its new place and out of its old one: two edits logged as one, so
    // neither the log nor the image moves the bytes in between.
    const size_t length = source.endOffset + 1 - source.startOffset;
    if (insertAt > source.startOffset) {
        Edit(insertAt, 0, block);
        Edit(source.startOffset, length, {});
    } else {
        Edit(source.startOffset, length, {});
        Edit(insertAt, 0, block);
    }

    *from = newFrom;
    *to = newTo;
    if (count != nullptr) *count = records;
    return true;
}

bool TreeStore::MoveSubtree(std::string_view block, int count, int depth, int* to, bool asSibling) {
    const EditGroup group(this);
    if (!ValidIndex(*to)) return false;
    // Only complete records go in; bytes after the block's last terminator would otherwise
    // run into the record behind the insertion point.
    const size_t lastEnd = block.rfind(kRecordTerminator);
    std::string records(lastEnd == std::string_view::npos ? std::string_view()
                                                          : block.substr(0, lastEnd + 1));
    if (depth == 1) {
        // A root record carried along: only its descendants are inserted.
        const size_t rootEnd = records.find(kRecordTerminator);
        records.erase(0, rootEnd == std::string::npos ? records.size() : rootEnd + 1);
        --count;
        depth = 2;
    }
    if (count < 1 || records.empty()) return false;
    SubtreeSpan target;
    if (LocateSubtree(*to, &target) < 0) return false;
    ShiftDepth(&records, target.depth - depth + (asSibling ? 0 : 1));
    size_t insertAt = target.startOffset;
    if (!asSibling) {
        insertAt = target.endOffset + 1;
        *to = target.lastIndex + 1;
    }
    Edit(insertAt, 0, records);
    nodeCount_ += count;
    return true;
}

int TreeStore::BeginBatch(int index) {
    batchBuffer_.clear();
    batchInsertOffset_.reset();
    SubtreeSpan span;
    if (LocateSubtree(index, &span) < 0) return -1;
    batchInsertOffset_ = span.endOffset;
    return span.depth;
}

void TreeStore::CommitBatch() {
    const EditGroup group(this);
    if (batchInsertOffset_ && !batchBuffer_.empty() && *batchInsertOffset_ < image_.size()) {
        Edit(*batchInsertOffset_ + 1, 0, batchBuffer_);
    }
    batchBuffer_.clear();
}

std::shared_ptr<EditLog> TreeStore::OpenLoggedBatch() {
    if (!writable() || unsaved_ || groupDepth_ > 0) return nullptr;
    // Edits after a checkpoint that may empty the log meanwhile still find their header.
    if (!log_->OpenBatch(image_.size(), SampleCrcOf(image_))) return nullptr;
    return log_;
}

void TreeStore::AbandonLoggedBatch() {
    if (log_ != nullptr) log_->AbandonBatch();
}

bool TreeStore::SealLoggedBatch(int index, int builtForDepth,
                                const std::vector<std::shared_ptr<const std::string>>& pieces) {
    SubtreeSpan span;
    WriteError moved;
    if (!writable() || unsaved_ || groupDepth_ > 0 || LocateSubtree(index, &span) < 0 ||
        span.depth != builtForDepth || FileMovedUnderneath(&moved)) {
        AbandonLoggedBatch();
        return false;
    }
    size_t at = span.endOffset + 1;
    if (!log_->SealBatch(at)) return false;
    const int before = image_.count();
    for (const std::shared_ptr<const std::string>& piece : pieces) {
        image_.InsertRecords(at, piece);
        at += piece->size();
    }
    flatValid_ = false;
    nodeCount_ += image_.count() - before;
    return true;
}

// ---------------------------------------------------------------------------------------------
// Nodes

int TreeStore::AddNode(std::optional<int> parent, const NodeFields& fields) {
    const EditGroup group(this);
    size_t insertAt = 0;
    int newIndex = 0;
    int depth = 1;
    if (parent) {
        SubtreeSpan span;
        if (LocateSubtree(*parent, &span) < 0) return -1;
        insertAt = span.endOffset + 1;
        newIndex = span.lastIndex + 1;
        depth = span.depth + 1;
    } else {
        // Bytes that hold no complete record are dropped by the first top-level record; a
        // record goes in behind the last terminator, leaving any trailing bytes behind it.
        if (image_.count() == 0) Edit(0, image_.size(), {});
        newIndex = image_.count();
        insertAt = newIndex == 0 ? 0 : image_.end(newIndex - 1) + 1;
    }

    const int32_t image = fields.image.value_or(-1);
    RecordFields record;
    record[kFieldTitle - 1] = SanitizeField(fields.title.value_or(std::string()));
    record[kFieldImage - 1] = std::to_string(image);
    record[kFieldSelectedImage - 1] = std::to_string(fields.selectedImage.value_or(image));
    record[kFieldItemValue - 1] = std::to_string(fields.itemValue.value_or(0));
    record[kFieldExpandState - 1] = std::to_string(fields.expandState.value_or(0));
    record[kFieldDepth - 1] = std::to_string(depth);
    const std::string externalPath = SanitizeField(fields.externalPath.value_or(std::string()));
    const std::string body = fields.body.value_or(std::string());
    if (externalPath.empty() ||
        (!ExternalFileExists(externalPath) && !WriteExternalFile(externalPath, body))) {
        record[kFieldBody - 1] = SanitizeField(body);
    }
    record[kFieldExternalPath - 1] = externalPath;
    record[kFieldSelStart - 1] = std::to_string(fields.selStart.value_or(0));
    record[kFieldSelLength - 1] = std::to_string(fields.selLength.value_or(0));
    const std::string now = NowText();
    record[kFieldCreated - 1] = now;
    record[kFieldModified - 1] = now;
    record[kFieldAccessed - 1] = now;

    Edit(insertAt, 0, JoinRecord(record));
    ++nodeCount_;
    return newIndex;
}

bool TreeStore::UpdateNode(int index, const NodeFields& fields) {
    const EditGroup group(this);
    if (!ValidIndex(index)) return false;
    // The fields stay views into the old record (kept alive by `owner`) unless replaced: a
    // body of hundreds of megabytes moving into its file is neither copied nor split here.
    std::shared_ptr<const void> owner;
    RecordViews record = FieldViews(index, &owner);
    RecordFields made;
    const auto set = [&record, &made](int field, std::string value) {
        made[field - 1] = std::move(value);
        record[field - 1] = made[field - 1];
    };
    if (fields.title) set(kFieldTitle, SanitizeField(*fields.title));
    if (fields.image) set(kFieldImage, std::to_string(*fields.image));
    if (fields.selectedImage) set(kFieldSelectedImage, std::to_string(*fields.selectedImage));
    if (fields.itemValue) set(kFieldItemValue, std::to_string(*fields.itemValue));
    if (fields.expandState) set(kFieldExpandState, std::to_string(*fields.expandState));

    if (fields.externalPath) {
        const std::string newPath = SanitizeField(*fields.externalPath);
        const std::string path(record[kFieldExternalPath - 1]);
        bool keepOld = false;
        if (!fields.body && newPath.empty()) {
            if (BodyFileHolds(path)) {
                set(kFieldBody, SanitizeField(ReadExternalFile(path)));
                RemoveFile(ResolvePath(path));
            }
        } else if (!fields.body && newPath != path) {
            if (BodyFileHolds(path)) {
                // A file that cannot be moved stays where the record still finds it.
                keepOld = !MoveExternalFile(path, newPath);
            } else {
                WriteExternalFile(newPath, record[kFieldBody - 1]);
            }
        } else if (fields.body && newPath.empty()) {
            if (ExternalFileExists(path)) RemoveFile(ResolvePath(path));
        }
        if (!keepOld) set(kFieldExternalPath, newPath);
    }
    if (fields.body) {
        const std::string path(record[kFieldExternalPath - 1]);
        if (!path.empty() && fields.bodyInFile) {
            staleBodyFiles_.erase(path);  // the caller has written the file
            set(kFieldBody, std::string());
        } else if (!path.empty() && WriteBodyFile(path, *fields.body)) {
            set(kFieldBody, std::string());
        } else {
            set(kFieldBody, SanitizeField(*fields.body));
        }
        set(kFieldModified, NowText());
    }
    if (fields.selStart) set(kFieldSelStart, std::to_string(*fields.selStart));
    if (fields.selLength) set(kFieldSelLength, std::to_string(*fields.selLength));

    const size_t start = image_.start(index);
    return EditChanged(start, image_.end(index) + 1 - start, JoinRecord(record));
}

bool TreeStore::SetBodyAndPath(int index, std::string_view body, std::string_view path) {
    const EditGroup group(this);
    if (!ValidIndex(index)) return false;
    RecordFields record = SplitRecord(RecordBytes(index));
    record[kFieldBody - 1] = SanitizeField(body);
    record[kFieldExternalPath - 1] = SanitizeField(path);
    record[kFieldModified - 1] = NowText();
    const size_t start = image_.start(index);
    return EditChanged(start, image_.end(index) + 1 - start, JoinRecord(record));
}

bool TreeStore::SetExpandState(int index, bool expanded) {
    const EditGroup group(this, false);
    if (!ValidIndex(index)) return false;
    return SetFieldBytes(index, kFieldExpandState, expanded ? "2" : "0");
}

bool TreeStore::SetField(int index, int fieldNumber, std::string_view value) {
    const EditGroup group(this);
    if (!ValidIndex(index) || fieldNumber < 1 || fieldNumber > kFieldCount) return false;
    const std::string text = SanitizeField(value);
    if (fieldNumber == kFieldBody) {
        const std::string path = RawField(index, kFieldExternalPath);
        const bool external = !path.empty() && WriteBodyFile(path, value);
        SetFieldBytes(index, kFieldBody, external ? std::string() : text);
        return SetFieldBytes(index, kFieldModified, NowText());
    }
    if (fieldNumber == kFieldExternalPath) {
        const std::string old = RawField(index, kFieldExternalPath);
        if (!text.empty() && text != old) {
            if (ExternalFileExists(old)) {
                // A file that cannot be moved stays where the record still finds it.
                if (!MoveExternalFile(old, text)) return false;
            } else {
                WriteExternalFile(text, RawField(index, kFieldBody));
            }
        } else if (text.empty() && BodyFileHolds(old)) {
            SetFieldBytes(index, kFieldBody, SanitizeField(ReadExternalFile(old)));
            RemoveFile(ResolvePath(old));
        }
    }
    return SetFieldBytes(index, fieldNumber, text);
}

std::string TreeStore::BodyText(std::string_view body, const std::string& externalPath) const {
    if (BodyFileHolds(externalPath)) return ReadExternalFile(externalPath);
    return std::string(body);
}

bool TreeStore::ReadLongRecord(int index, bool bodyFileLater, NodeRecord* out,
                               RecordFields* record) {
    SetFieldBytes(index, kFieldAccessed, NowText());  // rebuilt through the runner
    if (!ValidIndex(index)) return false;
    const std::shared_ptr<const void> owner = image_.Owner(index);
    const std::string_view bytes = image_.Record(index);
    RecordViews views;
    std::string body;
    bool copied = false;
    longWork_([&] {
        views = SplitRecordViews(bytes);
        // The record's own copy is not the body shown when its file is there.
        if (!ExternalFileExists(std::string(views[kFieldExternalPath - 1]))) {
            body.assign(views[kFieldBody - 1]);
            copied = true;
        }
    });
    if (!SameRecord(index, bytes)) return false;
    for (int k = 0; k < kFieldCount; ++k) {
        if (k != kFieldBody - 1) (*record)[k].assign(views[k]);
    }
    const std::string& path = (*record)[kFieldExternalPath - 1];
    if (BodyFileHolds(path)) {
        body.clear();
        if (bodyFileLater && out != nullptr) {
            out->bodyFile = path;
        } else {
            body = ReadExternalFile(path);
        }
    } else if (!copied) {
        body.assign(views[kFieldBody - 1]);  // a stale file: the record holds the latest body
    }
    (*record)[kFieldBody - 1] = std::move(body);
    return true;
}

std::string TreeStore::ReadNode(int index, int fieldNumber, NodeRecord* out, bool withBody,
                                bool bodyFileLater) {
    // The accessed time is no user's work: it is logged without a sync of its own.
    const EditGroup group(this, false);
    if (!ValidIndex(index)) return {};
    withBody = withBody || fieldNumber == kFieldBody;
    RecordFields record;
    // A long body is split off and copied by the runner, and the accessed time put into a copy
    // of the record there, so the caller's thread is not held for hundreds of megabytes.
    const bool longRead = withBody && longWork_ && RecordBytes(index).size() >= kLongRecordBytes &&
                          ReadLongRecord(index, bodyFileLater, out, &record);
    if (!longRead) {
        const RecordViews views = SplitRecordViews(RecordBytes(index));
        for (int k = 0; k < kFieldCount; ++k) {
            if (withBody || k != kFieldBody - 1) record[k].assign(views[k]);  // no body unasked
        }
        if (withBody) {
            const std::string now = NowText();
            SetFieldBytes(index, kFieldAccessed, now);
            record[kFieldAccessed - 1] = now;
            const std::string& path = record[kFieldExternalPath - 1];
            if (bodyFileLater && out != nullptr && BodyFileHolds(path)) {
                out->bodyFile = path;
                record[kFieldBody - 1].clear();
            } else {
                record[kFieldBody - 1] = BodyText(record[kFieldBody - 1], path);
            }
        }
    }
    std::string result;
    if (fieldNumber >= 1 && fieldNumber <= kFieldCount) result = record[fieldNumber - 1];
    if (out != nullptr) {
        out->title = record[kFieldTitle - 1];
        out->image = ParseIntField(record[kFieldImage - 1]);
        out->selectedImage = ParseIntField(record[kFieldSelectedImage - 1]);
        out->itemValue = ParseIntField(record[kFieldItemValue - 1]);
        out->expandState = ParseIntField(record[kFieldExpandState - 1]);
        out->depth = ParseIntField(record[kFieldDepth - 1]);
        if (withBody) out->body = std::move(record[kFieldBody - 1]);
        out->externalPath = record[kFieldExternalPath - 1];
        out->selStart = ParseIntField(record[kFieldSelStart - 1]);
        out->selLength = ParseIntField(record[kFieldSelLength - 1]);
        out->created = record[kFieldCreated - 1];
        out->modified = record[kFieldModified - 1];
        out->accessed = record[kFieldAccessed - 1];
    }
    return result;
}

std::string TreeStore::GetField(int index, int fieldNumber) {
    const EditGroup group(this, false);
    if (!ValidIndex(index) || fieldNumber < 1 || fieldNumber > kFieldCount) return {};
    std::string text = RawField(index, fieldNumber);
    if (fieldNumber == kFieldBody) {
        const std::string path = RawField(index, kFieldExternalPath);
        SetFieldBytes(index, kFieldAccessed, NowText());
        if (BodyFileHolds(path)) return ReadExternalFile(path);
    }
    return text;
}

bool TreeStore::GetPathAndTimes(int index, PathAndTimes* out) {
    if (!ValidIndex(index)) return false;
    const RecordFields record = SplitRecord(RecordBytes(index));
    out->externalPath = record[kFieldExternalPath - 1];
    out->created = record[kFieldCreated - 1];
    out->modified = record[kFieldModified - 1];
    out->accessed = record[kFieldAccessed - 1];
    return true;
}

// ---------------------------------------------------------------------------------------------
// Search

SearchResult TreeStore::SearchNodes(const SearchQuery& query) {
    SearchResult result;
    MatchOptions options;
    options.ignoreCase = query.ignoreCase;
    options.wholeText = query.wholeText;
    options.useRegex = query.useRegex;
    const std::string pattern =
        query.useRegex && query.escapePattern ? WildcardToRegex(query.pattern) : query.pattern;
    const TextMatcher matcher(pattern, options);
    if (!matcher.valid()) {
        result.status = SearchResult::Status::kInvalidPattern;
        result.error = matcher.error();
        return result;
    }
    // The callback may change the store: the record count is read afresh for every record.
    for (int i = std::max(query.afterIndex + 1, 0); i < image_.count(); ++i) {
        if (query.betweenRecords) query.betweenRecords();
        if (query.stop != nullptr && query.stop->load()) {
            result.status = SearchResult::Status::kStopped;
            return result;
        }
        if (i >= image_.count()) break;
        const std::string_view record = RecordBytes(i);
        size_t positions[kFieldExternalPath];
        const int found = FindSeparators(record, 0, record.size(), kFieldExternalPath, positions);
        auto part = [&](int k) {
            if (found < k - 1) return std::string_view();
            const size_t from = k == 1 ? 0 : positions[k - 2] + kFieldSeparator.size();
            const size_t to = found >= k ? positions[k - 1] : record.size();
            return record.substr(from, to - from);
        };
        const std::string_view title = part(kFieldTitle);
        if (matcher.Matches(title)) {
            result.status = SearchResult::Status::kFound;
            result.index = i;
            result.matchedPart = 1;
            result.matchedText.assign(title);
            return result;
        }
        if (!query.includeBodies) continue;
        const std::string path(part(kFieldExternalPath));
        const bool fromFile = BodyFileHolds(path);
        const std::string_view inRecord = part(kFieldBody);
        bool matched = false;
        std::string text;
        // Reads the body and tests it; for a body file or a long body this runs on a worker
        // while the window answers, so it may use only what it captures: the file's path, the
        // record's bytes (kept alive by `owner`) and the matcher.
        const auto test = [&, file = fromFile ? ResolvePath(path) : std::string(),
                           owner = image_.Owner(i)] {
            std::string external;
            if (!file.empty()) external = ReadTextFile(file);
            if (query.stop != nullptr && query.stop->load()) return;
            const std::string_view body = file.empty() ? inRecord : std::string_view(external);
            matched = matcher.Matches(body);
            if (!matched) return;
            if (file.empty()) {
                text.assign(body);
            } else {
                text = std::move(external);
            }
        };
        if (query.runLong && (fromFile || inRecord.size() >= kLongRecordBytes)) {
            query.runLong(test);
            if (query.stop != nullptr && query.stop->load()) {
                result.status = SearchResult::Status::kStopped;
                return result;
            }
        } else {
            test();
        }
        if (matched) {
            result.status = SearchResult::Status::kFound;
            result.index = i;
            result.matchedPart = 2;
            result.matchedText = std::move(text);
            return result;
        }
    }
    return result;
}

// ---------------------------------------------------------------------------------------------
// External files

std::string TreeStore::ResolvePath(const std::string& path) const {
    return ResolveStoredPath(programFolder_, path);
}

bool TreeStore::ExternalFileExists(const std::string& path) const {
    return !path.empty() && !IsDrivePath(path) && RegularFileExists(ResolvePath(path));
}

bool TreeStore::WriteExternalFile(const std::string& path, std::string_view bytes) const {
    return !path.empty() && !IsDrivePath(path) && WriteFileAtomically(ResolvePath(path), bytes);
}

bool TreeStore::BodyFileHolds(const std::string& path) const {
    // A file that missed the latest body is older than the record's copy.
    return staleBodyFiles_.count(path) == 0 && ExternalFileExists(path);
}

bool TreeStore::WriteBodyFile(const std::string& path, std::string_view bytes) {
    if (IsDrivePath(path)) return false;  // names no file here: the body stays in the record
    if (WriteExternalFile(path, bytes)) {
        staleBodyFiles_.erase(path);
        return true;
    }
    const WriteError error{ResolvePath(path), errno != 0 ? errno : EIO};
    staleBodyFiles_.insert(path);
    NoteFailure(error);
    return false;
}

bool TreeStore::RetryBodyFiles() {
    if (staleBodyFiles_.empty()) return true;
    // Each stale file gets the body its record kept; the record then drops its copy.
    const std::set<std::string> stale = staleBodyFiles_;
    for (int index = 0; index < image_.count(); ++index) {
        const std::string path = RawField(index, kFieldExternalPath);
        if (stale.count(path) == 0 || staleBodyFiles_.count(path) == 0) continue;
        const std::string body = RawField(index, kFieldBody);
        if (!WriteExternalFile(path, body)) {
            lastError_ = WriteError{ResolvePath(path), errno != 0 ? errno : EIO};
            return false;
        }
        staleBodyFiles_.erase(path);
        const EditGroup group(this);
        SetFieldBytes(index, kFieldBody, {});
    }
    // A path no record names any more needs no file.
    staleBodyFiles_.clear();
    return true;
}

std::string TreeStore::ReadExternalFile(const std::string& path) const {
    if (path.empty() || IsDrivePath(path)) return {};
    return ReadTextFile(ResolvePath(path));
}

bool TreeStore::MoveExternalFile(const std::string& from, const std::string& to) const {
    if (from.empty() || to.empty() || IsDrivePath(from) || IsDrivePath(to)) return false;
    return MoveFileCreatingFolders(ResolvePath(from), ResolvePath(to));
}

}  // namespace qm
