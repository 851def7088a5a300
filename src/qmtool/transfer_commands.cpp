#include "qmtool/transfer_commands.h"

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/charset.h"
#include "common/stopwatch.h"
#include "qmtool/arguments.h"
#include "store/folder_export.h"
#include "store/folder_import.h"
#include "store/folder_listing.h"
#include "store/tree_store.h"

namespace qm {

namespace {

int Fail(const std::string& message) { return ToolFail(message); }

// "1.5 秒" (UTF-8) for the time since `watch` started.
std::string Elapsed(const Stopwatch& watch) {
    std::string text = Gb18030ToUtf8(watch.ElapsedText(""));
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

// Checks INDEX against the store; an error message when it names no node.
std::string CheckIndex(TreeStore& store, const std::string& text, int* index) {
    if (!ParseIndex(text, index)) return "bad index: " + text;
    const int count = store.NodeCount();
    if (*index >= count) {
        return "no node " + text + " (the file has " + std::to_string(count) + ")";
    }
    return {};
}

}  // namespace

int RunImportCommand(const std::string& file, const std::string& indexText,
                     const std::string& folder, bool keepPaths) {
    if (!IsRegularFile(file)) return Fail("cannot read " + file + ": " + std::strerror(errno));
    char resolved[PATH_MAX];
    if (!IsFolder(folder) || access(folder.c_str(), R_OK | X_OK) != 0 ||
        realpath(folder.c_str(), resolved) == nullptr) {
        return Fail("cannot read folder " + folder + ": " +
                    std::strerror(errno != 0 ? errno : ENOTDIR));
    }
    TreeStore store(FolderOf(file));
    if (!store.Open(file)) {
        return Fail(file + " is open in the program or cannot be written; nothing imported");
    }
    store.BuildOutline();
    int index = 0;
    const std::string error = CheckIndex(store, indexText, &index);
    if (!error.empty()) return Fail(error);

    const Stopwatch watch;
    ImportOptions options;
    options.keepFilePaths = keepPaths;
    ImportTally tally;
    ImportFolder(store, index, resolved, options, &tally);
    store.BuildOutline();
    MarkAsParent(store, index);
    if (!store.writable()) return Fail("writing " + file + " failed; the file is as it was");

    std::string line = "imported " + std::to_string(tally.notes) + " notes (" +
                       std::to_string(tally.files) + " files) from " + folder + " in " +
                       Elapsed(watch);
    if (tally.refused > 0) {
        line += "; " + std::to_string(tally.refused) +
                " program data files not kept by path (first: " + tally.firstRefused + ")";
    }
    if (tally.depthCapped) line += "; folders deeper than 1000 levels left out";
    if (tally.bodyFilesFailed > 0) {
        line += "; " + std::to_string(tally.bodyFilesFailed) +
                " long bodies kept in the notebook: their files could not be written";
    }
    std::printf("%s\n", line.c_str());
    return 0;
}

int RunExportCommand(const std::string& file, const std::string& indexText,
                     const std::string& dir) {
    TreeStore store(FolderOf(file));
    if (!store.Load(file)) return Fail("cannot read " + file + ": " + std::strerror(errno));
    store.BuildOutline();  // repairs short records in memory only
    int index = 0;
    const std::string error = CheckIndex(store, indexText, &index);
    if (!error.empty()) return Fail(error);
    if (!IsFolder(dir) || access(dir.c_str(), W_OK | X_OK) != 0) {
        return Fail("cannot write to folder " + dir + ": " +
                    std::strerror(errno != 0 ? errno : ENOTDIR));
    }

    const Stopwatch watch;
    const ExportResult result = ExportSubtree(store, index, dir);
    std::string line = "exported " + std::to_string(result.written) + " notes (" +
                       std::to_string(result.written) + " files) to " + dir + " in " +
                       Elapsed(watch);
    if (result.failed > 0) line += "; " + std::to_string(result.failed) + " notes not written";
    if (result.badDepth) line += " (a record with a depth outside 1..1000 ended the export)";
    std::printf("%s\n", line.c_str());
    return result.failed > 0 ? 1 : 0;
}

}  // namespace qm
