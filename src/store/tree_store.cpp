#include "store/tree_store.h"

#include <algorithm>
#include <string>
#include <utility>

#include "store/external_file.h"
#include "store/outline.h"
#include "store/record_format.h"
#include "store/record_index.h"
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

}  // namespace

TreeStore::TreeStore(std::string programFolder)
    : programFolder_(std::move(programFolder)), index_(std::make_unique<RecordIndex>()) {}

TreeStore::~TreeStore() = default;

void TreeStore::ResetState() {
    index_->Reset();
    nodeCount_ = 0;
    outlineBuilt_ = false;
    batchBuffer_.clear();
    batchInsertOffset_.reset();
}

bool TreeStore::Open(const std::string& path) {
    const JournaledFile::OpenResult result = file_.Open(path);
    ResetState();
    return result == JournaledFile::OpenResult::kWritable;
}

bool TreeStore::Load(const std::string& path) {
    const bool ok = file_.Load(path);
    ResetState();
    return ok;
}

std::string TreeStore::NowText() const { return TimeText(now_ ? now_() : std::time(nullptr)); }

bool TreeStore::Edit(size_t offset, size_t length, std::string_view bytes) {
    if (!file_.Replace(offset, length, bytes)) return false;
    index_->Update(offset, length, bytes);
    return true;
}

bool TreeStore::EditChanged(size_t offset, size_t length, std::string_view bytes) {
    const std::string_view old = std::string_view(image()).substr(offset, length);
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
    if (index < 0 || index >= nodeCount_) return false;
    if (!index_->built()) index_->Build(image());
    return index < index_->count();
}

std::string_view TreeStore::RecordBytes(int index) const {
    const size_t start = index_->start(index);
    return std::string_view(image()).substr(start, index_->end(index) - start);
}

// ---------------------------------------------------------------------------------------------
// Raw bytes and fields

bool TreeStore::InsertBytes(size_t offset, std::string_view bytes, std::string* target) {
    return ReplaceBytes(offset, 0, bytes, target);
}

bool TreeStore::ReplaceBytes(size_t offset, size_t length, std::string_view bytes,
                             std::string* target) {
    if (target == nullptr) {
        if (!index_->built()) index_->Build(image());
        return Edit(offset, length, bytes);
    }
    if (offset > target->size() || length > target->size() - offset) return false;
    target->replace(offset, length, bytes.data(), bytes.size());
    return true;
}

bool TreeStore::FindRecordEnd(size_t* offset, const std::string* target) const {
    const std::string& data = target != nullptr ? *target : image();
    if (*offset >= data.size()) return false;
    const size_t end = data.find(kRecordTerminator, *offset);
    if (end == std::string::npos) return false;
    *offset = end;
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
        if (!index_->built()) index_->Build(image());
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

bool TreeStore::LocateRecordField(int index, int fieldNumber, size_t* start, size_t* end) {
    *start = index_->start(index);
    size_t recordEnd = index_->end(index);
    return LocateField(fieldNumber, start, end, &recordEnd);
}

std::string TreeStore::RawField(int index, int fieldNumber) {
    size_t start = 0;
    size_t end = 0;
    if (!LocateRecordField(index, fieldNumber, &start, &end)) return {};
    return image().substr(start, end - start);
}

bool TreeStore::SetFieldBytes(int index, int fieldNumber, std::string_view value) {
    size_t start = 0;
    size_t end = 0;
    if (!LocateRecordField(index, fieldNumber, &start, &end)) return false;
    if (end - start == value.size()) return EditChanged(start, end - start, value);
    return Edit(start, end - start, value);
}

// ---------------------------------------------------------------------------------------------
// Outline and structure

std::string TreeStore::BuildOutline() {
    outlineBuilt_ = true;
    nodeCount_ = 0;
    if (!index_->built()) index_->Build(image());
    std::string rows;
    rows.reserve(static_cast<size_t>(index_->count()) * 40);
    for (int i = 0; i < index_->count(); ++i) {
        Head head = ReadHead(RecordBytes(i));
        if (!head.complete) {
            size_t start = 0;
            size_t end = 0;
            LocateRecordField(i, kFieldDepth, &start, &end);  // repairs the short record
            head = ReadHead(RecordBytes(i));                  // the image may have moved
        }
        const int32_t depth = ParseIntField(head.fields[kFieldDepth - 1]);
        index_->set_depth(i, depth);
        AppendOutlineRow(&rows, head.fields[0], ParseIntField(head.fields[1]),
                         ParseIntField(head.fields[3]), ParseIntField(head.fields[4]), depth);
        ++nodeCount_;
    }
    return rows;
}

std::string TreeStore::BuildOutlineQuick() const {
    if (!index_->built()) index_->Build(image());
    std::string rows;
    rows.reserve(static_cast<size_t>(index_->count()) * 40);
    for (int i = 0; i < index_->count(); ++i) {
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
    int32_t depth = index_->depth(index);
    if (depth != RecordIndex::kUnknownDepth) return depth;
    const Head head = ReadHead(RecordBytes(index));
    depth = ParseIntField(head.fields[kFieldDepth - 1]);
    if (!head.complete) {
        size_t start = 0;
        size_t end = 0;
        LocateRecordField(index, kFieldDepth, &start, &end);  // repairs the short record
    }
    index_->set_depth(index, depth);
    return depth;
}

int TreeStore::LocateSubtree(int index, SubtreeSpan* span) {
    if (!ValidIndex(index)) return -1;
    const int depth = RecordDepth(index);
    int last = index;
    while (last + 1 < index_->count() && RecordDepth(last + 1) > depth) ++last;
    if (span != nullptr) {
        span->startOffset = index_->start(index);
        span->endOffset = index_->end(last);
        span->lastIndex = last;
        span->depth = depth;
    }
    return last - index + 1;
}

bool TreeStore::GetSubtreeBytes(int index, std::string* bytes, int* count, int* depth) {
    SubtreeSpan span;
    const int records = LocateSubtree(index, &span);
    if (records < 0) return false;
    if (bytes != nullptr) {
        bytes->assign(image(), span.startOffset, span.endOffset + 1 - span.startOffset);
    }
    if (count != nullptr) *count = records;
    if (depth != nullptr) *depth = span.depth;
    return true;
}

int TreeStore::DeleteSubtree(int index, std::string* removedBytes, int* depth) {
    SubtreeSpan span;
    const int records = LocateSubtree(index, &span);
    if (records < 0) return -1;
    const size_t length = span.endOffset + 1 - span.startOffset;
    if (removedBytes != nullptr) removedBytes->assign(image(), span.startOffset, length);
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
    if (!ValidIndex(*to) || !ValidIndex(*from) || *from == *to) return false;
    SubtreeSpan source;
    const int records = LocateSubtree(*from, &source);
    if (records < 0 || (*to >= *from && *to <= source.lastIndex)) return false;
    SubtreeSpan target;
    if (LocateSubtree(*to, &target) < 0) return false;

    std::string block =
        image().substr(source.startOffset, source.endOffset + 1 - source.startOffset);
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

    // The insertion and the removal touch only the bytes between the two places, so they go
    // to the file as one edit of that range (its length changes only with the depth text).
    const size_t sourceEnd = source.endOffset + 1;
    std::string moved;
    size_t rangeStart = 0;
    size_t rangeEnd = 0;
    if (insertAt >= sourceEnd) {
        rangeStart = source.startOffset;
        rangeEnd = insertAt;
        moved.reserve(rangeEnd - rangeStart + block.size());
        moved.append(image(), sourceEnd, insertAt - sourceEnd);
        moved.append(block);
    } else {
        rangeStart = insertAt;
        rangeEnd = sourceEnd;
        moved.reserve(rangeEnd - rangeStart + block.size());
        moved.append(block);
        moved.append(image(), insertAt, source.startOffset - insertAt);
    }
    EditChanged(rangeStart, rangeEnd - rangeStart, moved);

    *from = newFrom;
    *to = newTo;
    if (count != nullptr) *count = records;
    return true;
}

bool TreeStore::MoveSubtree(std::string_view block, int count, int depth, int* to, bool asSibling) {
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
    if (batchInsertOffset_ && !batchBuffer_.empty() && *batchInsertOffset_ < image().size()) {
        Edit(*batchInsertOffset_ + 1, 0, batchBuffer_);
    }
    batchBuffer_.clear();
}

// ---------------------------------------------------------------------------------------------
// Nodes

int TreeStore::AddNode(std::optional<int> parent, const NodeFields& fields) {
    if (!index_->built()) index_->Build(image());
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
        if (index_->count() == 0) Edit(0, image().size(), {});
        newIndex = index_->count();
        insertAt = newIndex == 0 ? 0 : index_->end(newIndex - 1) + 1;
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
    if (!ValidIndex(index)) return false;
    RecordFields record = SplitRecord(RecordBytes(index));
    if (fields.title) record[kFieldTitle - 1] = SanitizeField(*fields.title);
    if (fields.image) record[kFieldImage - 1] = std::to_string(*fields.image);
    if (fields.selectedImage) {
        record[kFieldSelectedImage - 1] = std::to_string(*fields.selectedImage);
    }
    if (fields.itemValue) record[kFieldItemValue - 1] = std::to_string(*fields.itemValue);
    if (fields.expandState) record[kFieldExpandState - 1] = std::to_string(*fields.expandState);

    std::string& body = record[kFieldBody - 1];
    std::string& path = record[kFieldExternalPath - 1];
    if (fields.externalPath) {
        const std::string newPath = SanitizeField(*fields.externalPath);
        bool keepOld = false;
        if (!fields.body && newPath.empty()) {
            if (ExternalFileExists(path)) {
                body = SanitizeField(ReadExternalFile(path));
                RemoveFile(ResolvePath(path));
            }
        } else if (!fields.body && newPath != path) {
            if (ExternalFileExists(path)) {
                // A file that cannot be moved stays where the record still finds it.
                keepOld = !MoveExternalFile(path, newPath);
            } else {
                WriteExternalFile(newPath, body);
            }
        } else if (fields.body && newPath.empty()) {
            if (ExternalFileExists(path)) RemoveFile(ResolvePath(path));
        }
        if (!keepOld) path = newPath;
    }
    if (fields.body) {
        if (!path.empty() && WriteExternalFile(path, *fields.body)) {
            body.clear();
        } else {
            body = SanitizeField(*fields.body);
        }
        record[kFieldModified - 1] = NowText();
    }
    if (fields.selStart) record[kFieldSelStart - 1] = std::to_string(*fields.selStart);
    if (fields.selLength) record[kFieldSelLength - 1] = std::to_string(*fields.selLength);

    const size_t start = index_->start(index);
    return EditChanged(start, index_->end(index) + 1 - start, JoinRecord(record));
}

bool TreeStore::SetBodyAndPath(int index, std::string_view body, std::string_view path) {
    if (!ValidIndex(index)) return false;
    RecordFields record = SplitRecord(RecordBytes(index));
    record[kFieldBody - 1] = SanitizeField(body);
    record[kFieldExternalPath - 1] = SanitizeField(path);
    record[kFieldModified - 1] = NowText();
    const size_t start = index_->start(index);
    return EditChanged(start, index_->end(index) + 1 - start, JoinRecord(record));
}

bool TreeStore::SetField(int index, int fieldNumber, std::string_view value) {
    if (!ValidIndex(index) || fieldNumber < 1 || fieldNumber > kFieldCount) return false;
    const std::string text = SanitizeField(value);
    if (fieldNumber == kFieldBody) {
        const std::string path = RawField(index, kFieldExternalPath);
        const bool external = !path.empty() && WriteExternalFile(path, value);
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
        } else if (text.empty() && ExternalFileExists(old)) {
            SetFieldBytes(index, kFieldBody, SanitizeField(ReadExternalFile(old)));
            RemoveFile(ResolvePath(old));
        }
    }
    return SetFieldBytes(index, fieldNumber, text);
}

std::string TreeStore::BodyText(std::string_view body, const std::string& externalPath) const {
    if (ExternalFileExists(externalPath)) return ReadExternalFile(externalPath);
    return std::string(body);
}

std::string TreeStore::ReadNode(int index, int fieldNumber, NodeRecord* out, bool withBody) {
    if (!ValidIndex(index)) return {};
    RecordFields record = SplitRecord(RecordBytes(index));
    withBody = withBody || fieldNumber == kFieldBody;
    if (withBody) {
        const std::string now = NowText();
        SetFieldBytes(index, kFieldAccessed, now);
        record[kFieldAccessed - 1] = now;
        record[kFieldBody - 1] = BodyText(record[kFieldBody - 1], record[kFieldExternalPath - 1]);
    }
    if (out != nullptr) {
        out->title = record[kFieldTitle - 1];
        out->image = ParseIntField(record[kFieldImage - 1]);
        out->selectedImage = ParseIntField(record[kFieldSelectedImage - 1]);
        out->itemValue = ParseIntField(record[kFieldItemValue - 1]);
        out->expandState = ParseIntField(record[kFieldExpandState - 1]);
        out->depth = ParseIntField(record[kFieldDepth - 1]);
        if (withBody) out->body = record[kFieldBody - 1];
        out->externalPath = record[kFieldExternalPath - 1];
        out->selStart = ParseIntField(record[kFieldSelStart - 1]);
        out->selLength = ParseIntField(record[kFieldSelLength - 1]);
        out->created = record[kFieldCreated - 1];
        out->modified = record[kFieldModified - 1];
        out->accessed = record[kFieldAccessed - 1];
    }
    if (fieldNumber < 1 || fieldNumber > kFieldCount) return {};
    return record[fieldNumber - 1];
}

std::string TreeStore::GetField(int index, int fieldNumber) {
    if (!ValidIndex(index) || fieldNumber < 1 || fieldNumber > kFieldCount) return {};
    std::string text = RawField(index, fieldNumber);
    if (fieldNumber == kFieldBody) {
        const std::string path = RawField(index, kFieldExternalPath);
        SetFieldBytes(index, kFieldAccessed, NowText());
        if (ExternalFileExists(path)) return ReadExternalFile(path);
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
    if (!index_->built()) index_->Build(image());
    // The callback may change the store: the record count is read afresh for every record.
    for (int i = std::max(query.afterIndex + 1, 0); i < index_->count(); ++i) {
        if (query.betweenRecords) query.betweenRecords();
        if (query.stop != nullptr && query.stop->load()) {
            result.status = SearchResult::Status::kStopped;
            return result;
        }
        if (i >= index_->count()) break;
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
        std::string external;
        const bool fromFile = ExternalFileExists(path);
        if (fromFile) external = ReadExternalFile(path);
        const std::string_view body = fromFile ? std::string_view(external) : part(kFieldBody);
        if (matcher.Matches(body)) {
            result.status = SearchResult::Status::kFound;
            result.index = i;
            result.matchedPart = 2;
            result.matchedText.assign(body);
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

std::string TreeStore::ReadExternalFile(const std::string& path) const {
    if (path.empty() || IsDrivePath(path)) return {};
    return ReadTextFile(ResolvePath(path));
}

bool TreeStore::MoveExternalFile(const std::string& from, const std::string& to) const {
    if (from.empty() || to.empty() || IsDrivePath(from) || IsDrivePath(to)) return false;
    return MoveFileCreatingFolders(ResolvePath(from), ResolvePath(to));
}

}  // namespace qm
