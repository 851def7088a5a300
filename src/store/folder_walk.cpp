#include "store/folder_walk.h"

#include <climits>
#include <cstdlib>

#include "common/charset.h"
#include "store/folder_listing.h"

namespace qm {

namespace {

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

std::string CanonicalPath(const std::string& path) {
    if (path.empty()) return {};
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : std::string();
}

void ImportWalk::Emit(ImportItem::Kind kind, int parentDepth) {
    ImportItem item;
    item.kind = kind;
    item.parentDepth = parentDepth;
    sink_(std::move(item));
}

bool ImportWalk::Step() {
    Emit(ImportItem::Kind::kStep, 0);
    options_.control.step();
    return !options_.control.stopRequested();
}

bool ImportWalk::IsOwnDataFile(const std::string& path) const {
    const std::string& folder = options_.programFolder;
    if (folder.empty()) return false;
    const std::string file = CanonicalPath(path);
    if (file.empty()) return false;
    const std::string inside = folder == "/" ? "/" : folder + "/";
    if (!StartsWith(file, inside)) return false;
    const std::string rest = file.substr(inside.size());
    if (StartsWith(rest, "备份文件/") || StartsWith(rest, "外部存储/")) return true;
    if (rest.find('/') != std::string::npos) return false;
    return EndsWith(rest, ".qm") || EndsWith(rest, ".journal") || EndsWith(rest, ".ini");
}

void ImportWalk::File(int parentDepth, const std::string& path) {
    ImportItem item;
    item.parentDepth = parentDepth;
    item.title = Utf8ToGb18030(TitleFromFileName(path));
    if (options_.keepFilePaths) {
        if (IsOwnDataFile(path)) {
            item.kind = ImportItem::Kind::kRefused;
            item.path = path;
            sink_(std::move(item));
            return;
        }
        // A name with no GB18030 form could not be found again from the record: such a
        // file is read like any other.
        if (!path.empty() && path[0] == '/' && SurvivesGb18030(path)) {
            item.kind = ImportItem::Kind::kKeptFile;
            item.externalPath = Utf8ToGb18030(path);
            sink_(std::move(item));
            return;
        }
    }
    item.kind = ImportItem::Kind::kFile;
    item.body = ReadRegularTextFile(path);
    sink_(std::move(item));
}

bool ImportWalk::Folder(int parentDepth, const std::string& folder) {
    if (parentDepth + 1 > kMaxTransferDepth) {
        Emit(ImportItem::Kind::kDepthCapped, parentDepth);
        return true;
    }
    std::string prefix = folder;
    if (prefix.empty() || prefix.back() != '/') prefix += '/';
    const std::vector<std::string> files = ListFolder(prefix, "*.txt|*.htm", false);
    const std::vector<std::string> folders = ListFolder(prefix, "*", true);
    const bool roomForChildren = parentDepth + 2 <= kMaxTransferDepth;
    if (!roomForChildren && !(files.empty() && folders.empty())) {
        Emit(ImportItem::Kind::kDepthCapped, parentDepth);
    }

    ImportItem record;
    record.kind = ImportItem::Kind::kFolder;
    record.parentDepth = parentDepth;
    record.title = Utf8ToGb18030(LastFolderName(prefix));
    record.body = ReadRegularTextFile(prefix + ".dirtxt");
    record.hasChildren = roomForChildren && !(files.empty() && folders.empty());
    sink_(std::move(record));
    if (!roomForChildren) return true;

    const int depth = parentDepth + 1;
    for (const std::string& file : files) {
        File(depth, file);
        if (!Step()) return false;
    }
    for (const std::string& sub : folders) {
        // A stop chosen while the events of the last step were processed.
        if (options_.control.stopRequested()) return false;
        if (!Folder(depth, sub)) return false;
        if (options_.control.stopRequested()) return false;
        if (!Step()) return false;
    }
    return true;
}

bool ImportWalk::Path(int parentDepth, const std::string& path) {
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
    if (IsFolder(trimmed)) return Folder(parentDepth, trimmed);
    if (IsRegularFile(trimmed)) {
        File(parentDepth, trimmed);
    } else {
        Emit(ImportItem::Kind::kSkipped, parentDepth);
    }
    return true;
}

}  // namespace qm
