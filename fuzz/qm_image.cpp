// A tree file from arbitrary bytes: the file, then (after a mark) its edit log and a legacy
// undo journal. Loaded read-only, every read operation runs on every node, with the checks
// of "qmtool check" and the outline; then the same files are opened for writing, edited and
// closed, and a fresh load must find exactly the image the store held.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_files.h"
#include "fuzz_input.h"
#include "qmtool/image_check.h"
#include "store/outline.h"
#include "store/tree_store.h"

namespace {

using qm::fuzz::Require;

constexpr std::string_view kPartMark = "\n#part#\n";
// Reads on every node cost time per input; the first 64 find what thousands would.
constexpr int kMaxNodesVisited = 64;

void ReadEverything(qm::TreeStore& store) {
    std::string report;
    qm::CheckImage(store.image(), &report);

    const std::string rows = store.BuildOutline();
    std::vector<qm::OutlineRow> parsed;
    Require(qm::ParseOutline(rows, &parsed), "the outline parses whole");
    const int count = store.NodeCount();
    Require(static_cast<int>(parsed.size()) == count, "one outline row per node");
    std::vector<qm::OutlineRow> quick;
    Require(qm::ParseOutline(store.BuildOutlineQuick(), &quick), "the quick outline parses");
    Require(quick.size() == parsed.size(), "the quick outline has the same rows");

    for (int index : {-1, count, count + 1}) {
        qm::NodeRecord record;
        Require(store.ReadNode(index, 1, &record, true).empty(), "no field out of range");
        Require(store.LocateSubtree(index) == -1, "no subtree out of range");
    }
    for (int index = 0; index < count && index < kMaxNodesVisited; ++index) {
        qm::NodeRecord record;
        const std::string title = store.ReadNode(index, qm::kFieldTitle, &record, true);
        Require(title == record.title, "the title read is the record's");
        for (int field = 0; field <= 14; ++field) store.GetField(index, field);
        qm::PathAndTimes times;
        Require(store.GetPathAndTimes(index, &times), "path and times of a node");
        qm::SubtreeSpan span;
        const int records = store.LocateSubtree(index, &span);
        Require(records >= 1 && span.lastIndex == index + records - 1, "a subtree span");
        std::string bytes;
        int subtreeCount = 0;
        Require(store.GetSubtreeBytes(index, &bytes, &subtreeCount), "the subtree's bytes");
        Require(subtreeCount == records, "the subtree's record count");
    }

    static const qm::SearchQuery kQueries[] = {
        {"a", -1, true, false, false, false, true, {}, nullptr, {}},
        {"1", -1, false, true, false, false, false, {}, nullptr, {}},
        {"^.?[a-z]+", -1, true, false, true, false, true, {}, nullptr, {}},
        {"*a?", -1, true, false, true, true, true, {}, nullptr, {}},
    };
    for (const qm::SearchQuery& query : kQueries) {
        const qm::SearchResult result = store.SearchNodes(query);
        Require(result.status != qm::SearchResult::Status::kInvalidPattern, "a valid query");
        Require(result.status != qm::SearchResult::Status::kFound ||
                    (result.index >= 0 && result.index < count),
                "a hit inside the tree");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const qm::fuzz::ScratchFolder folder;
    folder.Clear();
    qm::fuzz::FuzzInput input(data, size);
    const std::string_view fileBytes = input.Until(kPartMark);
    const std::string_view logBytes = input.Until(kPartMark);
    const std::string_view journalBytes = input.Rest();
    const std::string path = folder.File("notes.qm");
    Require(qm::fuzz::WriteWholeFile(path, fileBytes), "the file is written");
    if (!logBytes.empty()) {
        Require(qm::fuzz::WriteWholeFile(path + ".log", logBytes), "the log is written");
    }
    if (!journalBytes.empty()) {
        Require(qm::fuzz::WriteWholeFile(path + ".journal", journalBytes),
                "the journal is written");
    }

    {
        qm::TreeStore reader(folder.path());
        Require(reader.Load(path), "an existing file loads");
        ReadEverything(reader);
    }

    // The same files taken over for writing: recovery, one edit, a clean close.
    std::string expected;
    {
        qm::TreeStore writer(folder.path());
        if (!writer.Open(path)) return 0;
        if (writer.NodeCount() > 0) {
            qm::NodeFields fields;
            fields.title = "t";
            fields.selStart = 1;
            Require(writer.UpdateNode(0, fields), "the first node takes an edit");
        }
        expected = writer.image();
        writer.Close();
    }
    qm::TreeStore again(folder.path());
    Require(again.Load(path), "the closed file loads");
    Require(again.image() == expected, "a clean close keeps exactly the image");
    return 0;
}
