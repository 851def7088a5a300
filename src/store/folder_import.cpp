#include "store/folder_import.h"

#include <algorithm>

#include "common/charset.h"
#include "store/external_file.h"
#include "store/folder_listing.h"
#include "store/record_format.h"
#include "store/time_text.h"
#include "store/tree_store.h"

namespace qm {

namespace {
constexpr size_t kRecordChunk = size_t{1} << 22;
}  // namespace

ImportBatch::ImportBatch(TreeStore& store, ImportOptions options)
    : store_(store), options_(std::move(options)) {
    programFolder_ = CanonicalPath(store_.programFolder().empty() ? "." : store_.programFolder());
}

const std::string& ImportBatch::NowText() {
    const std::time_t now = options_.now ? options_.now() : std::time(nullptr);
    if (now != timeOfText_) {
        timeOfText_ = now;
        timeText_ = TimeText(now);
    }
    return timeText_;
}

std::string ImportBatch::NewExternalName() {
    for (;;) {
        std::string name = qm::NewExternalName();
        // Files of this batch are written before the batch is committed: they count as taken.
        if (namesGiven_.insert(name).second && !store_.ExternalFileExists(name)) return name;
    }
}

int ImportBatch::AppendBatchRecord(int parentDepth, std::string_view title, std::string body,
                                   const std::string& externalPath, bool hasChildren) {
    std::string path = SanitizeField(externalPath);
    if (path.empty() && body.size() > kImportExternalThreshold) path = NewExternalName();
    RecordFields fields;
    fields[kFieldTitle - 1] = SanitizeField(title);
    fields[kFieldImage - 1] = hasChildren ? "0" : "1";
    fields[kFieldDepth - 1] = std::to_string(parentDepth + 1);
    // A body whose external file cannot be written stays in the record rather than be lost.
    if (path.empty() ||
        (!store_.ExternalFileExists(path) && !store_.WriteExternalFile(path, body))) {
        fields[kFieldBody - 1] = SanitizeField(body);
    }
    fields[kFieldExternalPath - 1] = std::move(path);
    const std::string& now = NowText();
    fields[kFieldCreated - 1] = now;
    fields[kFieldModified - 1] = now;
    fields[kFieldAccessed - 1] = now;
    const std::string record = JoinRecord(fields);
    if (records_.empty() || records_.back().size() + record.size() > kRecordChunk) {
        records_.emplace_back().reserve(std::max(kRecordChunk, record.size()));
    }
    records_.back() += record;
    recordBytes_ += record.size();
    ++tally_.notes;
    return parentDepth + 1;
}

std::string ImportBatch::records() const {
    std::string all;
    all.reserve(recordBytes_);
    for (const std::string& chunk : records_) all += chunk;
    return all;
}

ImportWalkOptions ImportBatch::walkOptions() const {
    ImportWalkOptions walk;
    walk.keepFilePaths = options_.keepFilePaths;
    walk.programFolder = programFolder_;
    return walk;
}

void ImportBatch::Add(ImportItem&& item) {
    using Kind = ImportItem::Kind;
    switch (item.kind) {
        case Kind::kFolder:
            AppendBatchRecord(item.parentDepth, item.title, std::move(item.body), {},
                              item.hasChildren);
            break;
        case Kind::kFile:
            ++tally_.files;
            AppendBatchRecord(item.parentDepth, item.title, std::move(item.body));
            break;
        case Kind::kKeptFile:
            ++tally_.files;
            AppendBatchRecord(item.parentDepth, item.title, {}, item.externalPath);
            break;
        case Kind::kRefused:
            if (tally_.refused++ == 0) tally_.firstRefused = item.path;
            break;
        case Kind::kSkipped:
            ++tally_.skipped;
            break;
        case Kind::kDepthCapped:
            tally_.depthCapped = true;
            break;
        case Kind::kStep:
            break;
    }
}

bool ImportBatch::Walk(const std::function<bool(ImportWalk&)>& run) {
    ImportWalkOptions walkOptions = this->walkOptions();
    walkOptions.control = options_.control;
    ImportWalk walk(std::move(walkOptions), [this](ImportItem&& item) { Add(std::move(item)); });
    if (run(walk)) return true;
    tally_.stopped = true;
    return false;
}

void ImportBatch::ImportFolderTree(int parentDepth, const std::string& folder) {
    Walk([&](ImportWalk& walk) { return walk.Folder(parentDepth, folder); });
}

void ImportBatch::ImportPath(int parentDepth, const std::string& path) {
    Walk([&](ImportWalk& walk) { return walk.Path(parentDepth, path); });
}

bool ImportBatch::Commit(int index, int builtForDepth) {
    const int depth = store_.BeginBatch(index);
    if (depth < 0) {
        records_.clear();
        recordBytes_ = 0;
        return false;
    }
    store_.ReserveBatch(recordBytes_);
    for (std::string& chunk : records_) {
        if (depth != builtForDepth) TreeStore::ShiftDepth(&chunk, depth - builtForDepth);
        store_.AppendBatchBytes(chunk);
        std::string().swap(chunk);
    }
    store_.CommitBatch();
    records_.clear();
    recordBytes_ = 0;
    store_.BuildOutline();  // the node count takes in the new records
    return true;
}

bool ImportFolder(TreeStore& store, int index, const std::string& folder,
                  const ImportOptions& options, ImportTally* tally) {
    const int depth = store.BeginBatch(index);
    if (depth < 0) return false;
    ImportBatch batch(store, options);
    std::string path = folder;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    batch.ImportFolderTree(depth, path);
    if (tally != nullptr) *tally = batch.tally();
    return batch.Commit(index, depth);
}

bool MarkAsParent(TreeStore& store, int index) {
    if (index < 1 || index >= store.NodeCount()) return false;
    if (store.ReadNode(index, kFieldImage) == "0") return false;
    return store.SetField(index, kFieldImage, "0");
}

}  // namespace qm
