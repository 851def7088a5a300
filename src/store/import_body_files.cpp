#include "store/import_body_files.h"

#include "store/external_file.h"
#include "store/folder_walk.h"

namespace qm {

std::string ImportBodyFiles::NewName() {
    for (;;) {
        std::string name = NewExternalName();
        // Files of this import are written before it is committed: their names count as taken.
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!given_.insert(name).second) continue;
        }
        if (!RegularFileExists(ResolveStoredPath(programFolder_, name))) return name;
    }
}

void ImportBodyFiles::Write(ImportItem& item, size_t threshold) {
    if (item.kind != ImportItem::Kind::kFile || item.bodyInFile || item.bodyFileFailed ||
        item.body.size() <= threshold) {
        return;
    }
    std::string name = NewName();
    item.externalPath = name;
    if (WriteFileAtomically(ResolveStoredPath(programFolder_, name), item.body)) {
        item.bodyInFile = true;
        std::string().swap(item.body);
    } else {
        // The body stays in the record, which names the file a later save writes.
        item.bodyFileFailed = true;
    }
}

}  // namespace qm
