#include "store/folder_import.h"

#include <climits>
#include <cstdlib>

#include "common/charset.h"
#include "store/external_file.h"
#include "store/folder_listing.h"
#include "store/record_format.h"
#include "store/time_text.h"
#include "store/tree_store.h"

namespace qm {

namespace {

// The canonical form of an existing path; empty when it cannot be resolved.
std::string Canonical(const std::string& path) {
    if (path.empty()) return {};
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : std::string();
}

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

bool StartsWith(const std::string& text, const std::string& head) {
    return text.compare(0, head.size(), head) == 0;
}

// The folder path (UTF-8) read back from its GB18030 form unchanged: only such paths can be
// kept in a record and found again.
bool SurvivesGb18030(const std::string& utf8) { return Gb18030ToUtf8(Utf8ToGb18030(utf8)) == utf8; }

}  // namespace

ImportBatch::ImportBatch(TreeStore& store, ImportOptions options)
    : store_(store), options_(std::move(options)) {
    programFolder_ = Canonical(store_.programFolder().empty() ? "." : store_.programFolder());
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
    records_ += JoinRecord(fields);
    ++tally_.notes;
    return parentDepth + 1;
}

bool ImportBatch::IsOwnDataFile(const std::string& path) const {
    if (programFolder_.empty()) return false;
    const std::string file = Canonical(path);
    if (file.empty()) return false;
    const std::string inside = programFolder_ == "/" ? "/" : programFolder_ + "/";
    if (!StartsWith(file, inside)) return false;
    const std::string rest = file.substr(inside.size());
    if (StartsWith(rest, "备份文件/") || StartsWith(rest, "外部存储/")) return true;
    if (rest.find('/') != std::string::npos) return false;
    return EndsWith(rest, ".qm") || EndsWith(rest, ".journal") || EndsWith(rest, ".ini");
}

void ImportBatch::ImportFile(int parentDepth, const std::string& path) {
    const std::string title = Utf8ToGb18030(TitleFromFileName(path));
    if (options_.keepFilePaths) {
        if (IsOwnDataFile(path)) {
            if (tally_.refused++ == 0) tally_.firstRefused = path;
            return;
        }
        // A name with no GB18030 form could not be found again from the record: such a
        // file is read like any other.
        if (!path.empty() && path[0] == '/' && SurvivesGb18030(path)) {
            ++tally_.files;
            AppendBatchRecord(parentDepth, title, {}, Utf8ToGb18030(path));
            return;
        }
    }
    ++tally_.files;
    AppendBatchRecord(parentDepth, title, ReadRegularTextFile(path));
}

void ImportBatch::ImportFolderTree(int parentDepth, const std::string& folder) {
    if (parentDepth + 1 > kMaxTransferDepth) {
        tally_.depthCapped = true;
        return;
    }
    std::string prefix = folder;
    if (prefix.empty() || prefix.back() != '/') prefix += '/';
    const std::vector<std::string> files = ListFolder(prefix, "*.txt|*.htm", false);
    const std::vector<std::string> folders = ListFolder(prefix, "*", true);
    const bool roomForChildren = parentDepth + 2 <= kMaxTransferDepth;
    if (!roomForChildren && !(files.empty() && folders.empty())) tally_.depthCapped = true;

    const int depth = AppendBatchRecord(parentDepth, Utf8ToGb18030(LastFolderName(prefix)),
                                        ReadRegularTextFile(prefix + ".dirtxt"), {},
                                        roomForChildren && !(files.empty() && folders.empty()));
    if (!roomForChildren) return;

    const TransferControl& control = options_.control;
    for (const std::string& file : files) {
        ImportFile(depth, file);
        control.step();
        if (control.stopRequested()) {
            tally_.stopped = true;
            return;
        }
    }
    for (const std::string& sub : folders) {
        // A stop chosen while the events of the last step were processed.
        if (control.stopRequested()) {
            tally_.stopped = true;
            return;
        }
        ImportFolderTree(depth, sub);
        if (control.stopRequested()) {
            tally_.stopped = true;
            return;
        }
        control.step();
    }
}

void ImportBatch::ImportPath(int parentDepth, const std::string& path) {
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
    if (IsFolder(trimmed)) {
        ImportFolderTree(parentDepth, trimmed);
    } else if (IsRegularFile(trimmed)) {
        ImportFile(parentDepth, trimmed);
    } else {
        ++tally_.skipped;
    }
}

bool ImportBatch::Commit(int index, int builtForDepth) {
    const int depth = store_.BeginBatch(index);
    if (depth < 0) {
        records_.clear();
        return false;
    }
    if (depth != builtForDepth) TreeStore::ShiftDepth(&records_, depth - builtForDepth);
    store_.AppendBatchBytes(records_);
    store_.CommitBatch();
    records_.clear();
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
