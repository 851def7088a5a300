// Export of a note subtree into a folder tree: a note with children becomes a folder holding
// its own text in ".dirtxt", a leaf note a ".txt" file. Bodies are written as stored (GB18030
// bytes), names in UTF-8, so an export imports back unchanged.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "store/transfer_control.h"

namespace qm {

class TreeStore;

struct ExportResult {
    int written = 0;  // notes whose file was written
    int failed = 0;   // notes not written: failed writes, and the records left at a bad depth
    bool stopped = false;
    bool badDepth = false;  // ended at a record whose depth is outside 1..1000
};

// Writes the subtree of `index` below `folder` (which must exist). Reads the store only.
// Titles become names by ExportFileName; "." and ".." are made full-width, an empty name at
// the top becomes "_", a folder whose name comes out empty below the top becomes "_" (its
// ".dirtxt" would replace its parent's), and a leaf whose name is empty writes to its
// parent's path with ".txt". A name already given to an earlier note in the same folder gets
// " (2)", " (3)", ... Nothing is followed through a symbolic link found in the target, and
// nothing is written outside `folder`. A node that does not exist writes nothing. Changes
// nothing in the store.
ExportResult ExportSubtree(TreeStore& store, int index, const std::string& folder,
                           const TransferControl& control = {});

// The same for the records of a subtree already copied out (GetSubtreeBytes), given in one
// piece or in slices of whole records. Of `store` only the external files are read (its const
// file calls), so this may run on a worker thread while the store's own thread goes on.
class RecordExport {
public:
    RecordExport(const TreeStore& store, const std::string& folder);
    ~RecordExport();
    RecordExport(const RecordExport&) = delete;
    RecordExport& operator=(const RecordExport&) = delete;

    // Writes the next records, stepping after each note. False once the export has ended:
    // stopped, or at a record of a bad depth (the rest of the slice counts as not written).
    bool Write(std::string_view records, const TransferControl& control = {});
    // Counts the records of a slice that will not be written (the export ended before them).
    void Skip(std::string_view records);
    const ExportResult& result() const { return result_; }

private:
    class Writer;
    std::unique_ptr<Writer> writer_;
    ExportResult result_;
    bool top_ = true;
    bool ended_ = false;
};

ExportResult ExportRecords(const TreeStore& store, std::string_view records,
                           const std::string& folder, const TransferControl& control = {});

}  // namespace qm
