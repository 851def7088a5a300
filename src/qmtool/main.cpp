// qmtool: looks into a tree database file from the command line, read-only (the file and its
// journal are never written, not even the accessed time of a note that is shown), except for
// "import", which adds to it as the window's import does.
//
//   qmtool outline FILE      index, depth, image, state and title (UTF-8) of every node
//   qmtool cat FILE INDEX    the body of a node as UTF-8, from its external file when it has one
//   qmtool search FILE QUERY [--regex] [--ignore-case] [--whole] [--bodies]
//                            the index of every node whose title (or body) matches
//   qmtool check FILE        short records, extra separators, trailing bytes, depth jumps
//   qmtool import FILE INDEX FOLDER [--keep-paths]
//                            the folder tree as the last child of node INDEX
//   qmtool export FILE INDEX DIR
//                            the subtree of node INDEX as folders and ".txt" files below DIR
//
// Exit status: 0 done (search: something found; check: nothing to report), 1 nothing found or
// something to report (export: notes not written), 2 an error (one line on stderr).
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "common/charset.h"
#include "qmtool/arguments.h"
#include "qmtool/image_check.h"
#include "qmtool/transfer_commands.h"
#include "store/outline.h"
#include "store/tree_store.h"

namespace {

constexpr int kOk = 0;
constexpr int kNothing = 1;

const char kUsage[] =
    "usage: qmtool outline FILE | cat FILE INDEX | search FILE QUERY [--regex] [--ignore-case] "
    "[--whole] [--bodies] | check FILE | import FILE INDEX FOLDER [--keep-paths] | "
    "export FILE INDEX DIR";

using qm::FolderOf;
using qm::ParseIndex;

int Fail(const std::string& message) { return qm::ToolFail(message); }

// One output line per node: control characters inside a title are written as escapes.
std::string OneLine(std::string_view utf8) {
    std::string out;
    for (const char c : utf8) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == '\t') {
            out += "\\t";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (u < 0x20 || u == 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02X", u);
            out += escape;
        } else {
            out.push_back(c);
        }
    }
    return out;
}

// Loads FILE into a store that can never write it.
bool LoadStore(const std::string& path, qm::TreeStore* store, std::string* error) {
    if (!store->Load(path)) {
        *error = "cannot read " + path + ": " + std::strerror(errno);
        return false;
    }
    store->BuildOutline();  // repairs short records in memory only
    return true;
}

int Outline(const std::string& path) {
    qm::TreeStore store;
    std::string error;
    if (!LoadStore(path, &store, &error)) return Fail(error);
    std::vector<qm::OutlineRow> rows;
    qm::ParseOutline(store.BuildOutline(), &rows);
    for (size_t i = 0; i < rows.size(); ++i) {
        std::printf("%zu\t%d\t%d\t%d\t%s\n", i, rows[i].depth, rows[i].image, rows[i].state,
                    OneLine(qm::Gb18030ToUtf8(rows[i].title)).c_str());
    }
    return kOk;
}

int Cat(const std::string& path, const std::string& indexText) {
    int index = 0;
    if (!ParseIndex(indexText, &index)) return Fail("bad index: " + indexText);
    qm::TreeStore store(FolderOf(path));
    std::string error;
    if (!LoadStore(path, &store, &error)) return Fail(error);
    if (index >= store.NodeCount()) {
        return Fail("no node " + indexText + " (the file has " + std::to_string(store.NodeCount()) +
                    ")");
    }
    const std::string body = qm::Gb18030ToUtf8(store.ReadNode(index, qm::kFieldBody));
    std::fwrite(body.data(), 1, body.size(), stdout);
    return kOk;
}

int Search(const std::vector<std::string>& args) {
    if (args.size() < 2) return Fail(kUsage);
    qm::SearchQuery query;
    query.ignoreCase = false;
    query.includeBodies = false;
    for (size_t i = 2; i < args.size(); ++i) {
        if (args[i] == "--regex") {
            query.useRegex = true;
        } else if (args[i] == "--ignore-case") {
            query.ignoreCase = true;
        } else if (args[i] == "--whole") {
            query.wholeText = true;
        } else if (args[i] == "--bodies") {
            query.includeBodies = true;
        } else {
            return Fail("unknown option: " + args[i]);
        }
    }
    query.pattern = qm::Utf8ToGb18030(args[1]);
    qm::TreeStore store(FolderOf(args[0]));
    std::string error;
    if (!LoadStore(args[0], &store, &error)) return Fail(error);
    bool found = false;
    for (;;) {
        const qm::SearchResult result = store.SearchNodes(query);
        if (result.status == qm::SearchResult::Status::kInvalidPattern) {
            return Fail("bad expression: " + result.error);
        }
        if (result.status != qm::SearchResult::Status::kFound) break;
        std::printf("%d\n", result.index);
        found = true;
        query.afterIndex = result.index;
    }
    return found ? kOk : kNothing;
}

int Check(const std::string& path) {
    qm::TreeStore store;
    if (!store.Load(path)) return Fail("cannot read " + path + ": " + std::strerror(errno));
    // The raw image, before any repair.
    std::string report;
    const int problems = qm::CheckImage(store.image(), &report);
    std::fwrite(report.data(), 1, report.size(), stdout);
    return problems == 0 ? kOk : kNothing;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : argc), argv + argc);
    if (args.empty()) return Fail(kUsage);
    const std::string& command = args[0];
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (command == "outline" && rest.size() == 1) return Outline(rest[0]);
    if (command == "cat" && rest.size() == 2) return Cat(rest[0], rest[1]);
    if (command == "search") return Search(rest);
    if (command == "check" && rest.size() == 1) return Check(rest[0]);
    if (command == "import" && (rest.size() == 3 || rest.size() == 4)) {
        if (rest.size() == 4 && rest[3] != "--keep-paths")
            return Fail("unknown option: " + rest[3]);
        return qm::RunImportCommand(rest[0], rest[1], rest[2], rest.size() == 4);
    }
    if (command == "export" && rest.size() == 3) {
        return qm::RunExportCommand(rest[0], rest[1], rest[2]);
    }
    return Fail(kUsage);
}
