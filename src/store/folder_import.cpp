#include "store/folder_import.h"

#include <algorithm>

#include "common/charset.h"
#include "common/edit_log.h"
#include "store/batch_log_writer.h"
#include "store/external_file.h"
#include "store/folder_listing.h"
#include "store/import_body_files.h"
#include "store/record_format.h"
#include "store/time_text.h"
#include "store/tree_store.h"

namespace qm {

namespace {
// Records per piece: small enough that writing and syncing one into the log on the writer's
// thread holds the log only briefly, large enough that a big import makes few pieces.
constexpr size_t kPieceBytes = size_t{1} << 20;
}  // namespace

ImportBatch::ImportBatch(TreeStore& store, ImportOptions options)
    : store_(store), options_(std::move(options)) {
    programFolder_ = CanonicalPath(store_.programFolder().empty() ? "." : store_.programFolder());
    bodyFiles_ = std::make_shared<ImportBodyFiles>(store_.programFolder());
}

ImportBatch::~ImportBatch() {
    if (logWriter_ != nullptr) {
        logWriter_.reset();
        store_.AbandonLoggedBatch();
    }
}

const std::string& ImportBatch::NowText() {
    const std::time_t now = options_.now ? options_.now() : std::time(nullptr);
    if (now != timeOfText_) {
        timeOfText_ = now;
        timeText_ = TimeText(now);
    }
    return timeText_;
}

std::function<void(ImportItem&)> ImportBatch::bodyFileWriter() const {
    return [files = bodyFiles_](ImportItem& item) { files->Write(item, kImportExternalThreshold); };
}

int ImportBatch::AppendBatchRecord(int parentDepth, std::string_view title, std::string body,
                                   const std::string& externalPath, bool hasChildren) {
    return AppendRecord(parentDepth, title, std::move(body), externalPath, hasChildren,
                        BodyPlace::kDecide);
}

int ImportBatch::AppendRecord(int parentDepth, std::string_view title, std::string body,
                              const std::string& externalPath, bool hasChildren, BodyPlace place) {
    std::string path = SanitizeField(externalPath);
    bool bodyInRecord = true;
    if (place == BodyPlace::kInFile) {
        bodyInRecord = false;
    } else if (place == BodyPlace::kFailed) {
        ++tally_.bodyFilesFailed;
    } else {
        if (path.empty() && body.size() > kImportExternalThreshold) path = bodyFiles_->NewName();
        if (!path.empty()) {
            // A body whose external file cannot be written stays in the record rather than
            // be lost.
            bodyInRecord =
                !store_.ExternalFileExists(path) && !store_.WriteExternalFile(path, body);
            if (bodyInRecord && !body.empty()) ++tally_.bodyFilesFailed;
        }
    }
    RecordFields fields;
    fields[kFieldTitle - 1] = SanitizeField(title);
    fields[kFieldImage - 1] = hasChildren ? "0" : "1";
    fields[kFieldDepth - 1] = std::to_string(parentDepth + 1);
    if (bodyInRecord) fields[kFieldBody - 1] = SanitizeField(body);
    fields[kFieldExternalPath - 1] = std::move(path);
    const std::string& now = NowText();
    fields[kFieldCreated - 1] = now;
    fields[kFieldModified - 1] = now;
    fields[kFieldAccessed - 1] = now;
    const std::string record = JoinRecord(fields);
    if (filling_.empty()) filling_.reserve(std::max(kPieceBytes, record.size()));
    filling_ += record;
    recordBytes_ += record.size();
    ++tally_.notes;
    if (filling_.size() >= kPieceBytes) ClosePiece(true);
    return parentDepth + 1;
}

void ImportBatch::ClosePiece(bool mayLog) {
    if (filling_.empty()) return;
    auto piece = std::make_shared<const std::string>(std::move(filling_));
    filling_ = std::string();
    pieces_.push_back(piece);
    if (!mayLog) return;
    if (!logTried_ && options_.logAhead) {
        logTried_ = true;
        if (std::shared_ptr<EditLog> log = store_.OpenLoggedBatch()) {
            logWriter_ = std::make_unique<BatchLogWriter>(std::move(log));
        }
    }
    if (logWriter_ != nullptr) logWriter_->Add(std::move(piece));
}

std::string ImportBatch::records() const {
    std::string all;
    all.reserve(recordBytes_);
    for (const auto& piece : pieces_) all += *piece;
    all += filling_;
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
            AppendRecord(item.parentDepth, item.title, std::move(item.body), item.externalPath,
                         false,
                         item.bodyInFile       ? BodyPlace::kInFile
                         : item.bodyFileFailed ? BodyPlace::kFailed
                                               : BodyPlace::kDecide);
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

void ImportBatch::Clear() {
    pieces_.clear();
    filling_ = std::string();
    recordBytes_ = 0;
}

bool ImportBatch::LogWritten(int waitMs) {
    if (logWriter_ == nullptr) return true;
    ClosePiece(true);
    return logWriter_->Idle(waitMs);
}

bool ImportBatch::Commit(int index, int builtForDepth) {
    if (logWriter_ != nullptr) {
        ClosePiece(true);
        const bool logged = logWriter_->Finish();
        logWriter_.reset();
        if (logged && store_.SealLoggedBatch(index, builtForDepth, pieces_)) {
            Clear();
            return true;
        }
        store_.AbandonLoggedBatch();
    }
    ClosePiece(false);
    // The records go in as one ordinary edit: a batch too small to be logged ahead, or one
    // whose pieces could not be written or no longer fit the node's depth.
    const int depth = store_.BeginBatch(index);
    if (depth < 0) {
        Clear();
        return false;
    }
    store_.ReserveBatch(recordBytes_);
    for (std::shared_ptr<const std::string>& piece : pieces_) {
        if (depth != builtForDepth) {
            std::string shifted = *piece;
            TreeStore::ShiftDepth(&shifted, depth - builtForDepth);
            store_.AppendBatchBytes(shifted);
        } else {
            store_.AppendBatchBytes(*piece);
        }
        piece.reset();
    }
    store_.CommitBatch();
    Clear();
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
