// The reading side of a folder import: walks folders and files in import order, reads and
// decodes them, and hands each record to be (its title, body and place) to a sink. It touches
// no tree store, so it can run on a worker thread while the records are added elsewhere.
#pragma once

#include <functional>
#include <string>

#include "store/transfer_control.h"

namespace qm {

// One thing the walk found, in import order.
struct ImportItem {
    enum class Kind {
        kFolder,       // a folder's record: title, its ".dirtxt" as body, hasChildren
        kFile,         // a file read: title and body
        kKeptFile,     // a file kept by its path: title and externalPath
        kRefused,      // a kept path that is one of the program's own files: path
        kSkipped,      // an entry that is neither a regular file nor a folder
        kDepthCapped,  // folders below the deepest allowed record were left out
        kStep,         // the point after a file, a subfolder or a dropped path
    };
    Kind kind = Kind::kStep;
    int parentDepth = 0;       // the records' parent depth
    std::string title;         // GB18030
    std::string body;          // GB18030
    std::string externalPath;  // GB18030
    std::string path;          // UTF-8, of a refused file
    bool hasChildren = false;
    // kFile: the body was written to the file `externalPath` names (and cleared here), or that
    // write failed and the body stays.
    bool bodyInFile = false;
    bool bodyFileFailed = false;
};

struct ImportWalkOptions {
    bool keepFilePaths = false;
    // Where the program keeps its files (canonical, UTF-8); empty when unknown.
    std::string programFolder;
    // `stop` is read at every step; `betweenSteps` runs there, after the sink got the step.
    TransferControl control;
};

// Receives each item. Called on the walking thread.
using ImportSink = std::function<void(ImportItem&& item)>;

// The canonical form of an existing path; empty when it cannot be resolved.
std::string CanonicalPath(const std::string& path);

class ImportWalk {
public:
    ImportWalk(ImportWalkOptions options, ImportSink sink)
        : options_(std::move(options)), sink_(std::move(sink)) {}

    // The folder (title: its name; body: its ".dirtxt") and, below it, its "*.txt" and
    // "*.htm" files and then its subfolders, recursively, below a record of `parentDepth`.
    // Steps after each file and each subfolder; returns false when it stopped.
    bool Folder(int parentDepth, const std::string& folder);
    // One dropped path: a folder as Folder, a regular file (whatever its extension) as a
    // leaf; anything else is skipped. Returns false when it stopped.
    bool Path(int parentDepth, const std::string& path);
    // Hands a step to the sink, runs the caller's step; false when a stop was asked for.
    bool Step();

private:
    void File(int parentDepth, const std::string& path);
    // True when keeping `path` would let note edits overwrite the program's own files.
    bool IsOwnDataFile(const std::string& path) const;
    void Emit(ImportItem::Kind kind, int parentDepth);

    ImportWalkOptions options_;
    ImportSink sink_;
};

}  // namespace qm
