#include "store/folder_export.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "common/charset.h"
#include "store/export_name.h"
#include "store/record_format.h"
#include "store/tree_store.h"

namespace qm {

namespace {

// Room left in a 255-byte name for " (nnnn)" and ".txt".
constexpr size_t kMaxNameBytes = 240;

// Makes `path` a real folder (not a link to one). Only the part below the export's target
// folder is ever created here.
bool MakeFolder(const std::string& path) {
    if (mkdir(path.c_str(), 0777) == 0) return true;
    if (errno != EEXIST) return false;
    struct stat st;
    return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Writes the bytes, replacing a regular file there; a link at the path is not followed.
bool WriteFileBytes(const std::string& path, std::string_view bytes) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    struct stat st;
    bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    for (size_t done = 0; ok && done < bytes.size();) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) ok = false;
        if (ok) done += static_cast<size_t>(n);
    }
    if (close(fd) != 0) ok = false;
    return ok;
}

}  // namespace

class SubtreeWriter {
public:
    SubtreeWriter(const TreeStore& store, std::string folder)
        : store_(store), target_(std::move(folder)) {
        while (target_.size() > 1 && target_.back() == '/') target_.pop_back();
    }

    // Writes one record; false when it was not written.
    bool Write(const RecordFields& fields, int depth, bool top) {
        const std::string& title = fields[kFieldTitle - 1];
        const bool hasChildren = fields[kFieldImage - 1] != "1";
        std::string name = SafeComponent(ExportFileName(title), kMaxNameBytes);
        if (name.empty() && (top || hasChildren)) name = "_";

        // Names at this depth and deeper belong to an earlier branch; dropping them keeps a
        // record that jumps several levels down out of that branch's folders.
        names_.resize(static_cast<size_t>(depth - 1));
        std::string parent = target_;
        for (const std::string& component : names_) {
            if (!component.empty()) parent += "/" + component;
        }

        const std::string extension = hasChildren ? "" : ".txt";
        std::string path;
        if (name.empty()) {
            path = parent + Unique(parent, "", extension) + extension;
            names_.emplace_back();
        } else {
            const std::string component = Unique(parent + "/", Gb18030ToUtf8(name), extension);
            path = parent + "/" + component + extension;
            names_.push_back(hasChildren ? component : std::string());
        }

        const std::string& externalPath = fields[kFieldExternalPath - 1];
        const std::string text = !externalPath.empty() && store_.ExternalFileExists(externalPath)
                                     ? store_.ReadExternalFile(externalPath)
                                     : fields[kFieldBody - 1];
        if (hasChildren) {
            if (!MakeFolders(path)) return false;
            return WriteFileBytes(path + "/.dirtxt", text);
        }
        if (!MakeFolders(parent)) return false;
        return WriteFileBytes(path, text);
    }

private:
    // `name`, or `name` + " (2)", " (3)", ... when an earlier note of this export already
    // took `stem` + that + `extension`.
    std::string Unique(const std::string& stem, const std::string& name,
                       const std::string& extension) {
        std::string unique = name;
        for (int n = 2; taken_.count(stem + unique + extension) != 0; ++n) {
            unique = name + " (" + std::to_string(n) + ")";
        }
        taken_.insert(stem + unique + extension);
        return unique;
    }

    // Creates the folders from the target down to `path`.
    bool MakeFolders(const std::string& path) {
        if (made_.count(path) != 0) return true;
        if (path.size() > target_.size()) {
            const size_t slash = path.rfind('/');
            if (slash >= target_.size() && !MakeFolders(path.substr(0, slash))) return false;
            if (!MakeFolder(path)) return false;
        }
        made_.insert(path);
        return true;
    }

    const TreeStore& store_;
    std::string target_;
    std::vector<std::string> names_;  // the folder name in use at each depth (UTF-8)
    std::unordered_set<std::string> taken_;
    std::unordered_set<std::string> made_;
};

class RecordExport::Writer : public SubtreeWriter {
public:
    using SubtreeWriter::SubtreeWriter;
};

RecordExport::RecordExport(const TreeStore& store, const std::string& folder)
    : writer_(std::make_unique<Writer>(store, folder)) {}

RecordExport::~RecordExport() = default;

void RecordExport::Skip(std::string_view records) {
    for (size_t at = 0; (at = records.find(kRecordTerminator, at)) != std::string::npos; ++at) {
        ++result_.failed;
    }
}

bool RecordExport::Write(std::string_view bytes, const TransferControl& control) {
    if (ended_) {
        if (result_.badDepth) Skip(bytes);  // the records after a bad depth are not written
        return false;
    }
    size_t start = 0;
    for (size_t end; (end = bytes.find(kRecordTerminator, start)) != std::string::npos;
         start = end + 1) {
        const RecordFields fields = SplitRecord(bytes.substr(start, end - start));
        const int depth = ParseIntField(fields[kFieldDepth - 1]);
        if (depth < 1 || depth > kMaxTransferDepth) {
            result_.badDepth = true;
            ended_ = true;
            Skip(bytes.substr(start));
            return false;
        }
        if (writer_->Write(fields, depth, top_)) {
            ++result_.written;
        } else {
            ++result_.failed;
        }
        top_ = false;
        control.step();
        if (control.stopRequested()) {
            result_.stopped = true;
            ended_ = true;
            return false;
        }
    }
    return true;
}

ExportResult ExportSubtree(TreeStore& store, int index, const std::string& folder,
                           const TransferControl& control) {
    std::string bytes;
    int count = 0;
    if (index < 0 || !store.GetSubtreeBytes(index, &bytes, &count)) return {};
    return ExportRecords(store, bytes, folder, control);
}

ExportResult ExportRecords(const TreeStore& store, std::string_view records,
                           const std::string& folder, const TransferControl& control) {
    RecordExport run(store, folder);
    run.Write(records, control);
    return run.result();
}

}  // namespace qm
