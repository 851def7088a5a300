// The cost of a durable store edit on a notebook of 100,000 notes (~100 MB), at the start, the
// middle and the end of the file, beside a durable one-row update of SQLite (WAL,
// synchronous=FULL) over the same 100,000 rows, measured in the same run; and the cost of
// opening (Open + BuildOutline) beside a plain read() of the file. The table at the end gives
// every store figure as a ratio of its baseline.
//
// The notebook and the database are generated once into a temporary folder, removed at the end.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "notebook_generator.h"
#include "read_whole_file.h"
#include "store/record_format.h"
#include "store/time_text.h"
#include "store/tree_store.h"
#include "time_keeping_reporter.h"

extern char** environ;

namespace qm {
namespace {

constexpr int kNotes = 100000;
constexpr int kMaxDepth = 12;

struct Notebook {
    std::string folder;
    std::string path;
    std::string database;
    std::vector<int> depths;
};

// A leaf whose next record is a sibling, at or after `from`.
int LeafWithSibling(const std::vector<int>& depths, int from) {
    for (int i = from; i + 1 < static_cast<int>(depths.size()); ++i) {
        if (depths[i] >= 2 && depths[i] == depths[i + 1]) return i;
    }
    return -1;
}

void Check(int rc, sqlite3* db, const char* what) {
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
        std::fprintf(stderr, "sqlite %s: %s\n", what, sqlite3_errmsg(db));
        std::abort();
    }
}

// The same notes as rows of one table (id, depth, title, body), in WAL mode.
void WriteDatabase(const std::string& path, const std::string& image) {
    sqlite3* db = nullptr;
    Check(sqlite3_open(path.c_str(), &db), db, "open");
    Check(sqlite3_exec(db,
                       "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL;"
                       "CREATE TABLE notes(id INTEGER PRIMARY KEY, depth INTEGER, title TEXT,"
                       " body TEXT); BEGIN;",
                       nullptr, nullptr, nullptr),
          db, "create");
    sqlite3_stmt* insert = nullptr;
    Check(sqlite3_prepare_v2(db, "INSERT INTO notes VALUES(?,?,?,?)", -1, &insert, nullptr), db,
          "prepare");
    size_t start = 0;
    for (int id = 0; start < image.size(); ++id) {
        const size_t end = image.find('\0', start);
        if (end == std::string::npos) break;
        const RecordFields f = SplitRecord(std::string_view(image).substr(start, end - start));
        sqlite3_bind_int(insert, 1, id);
        sqlite3_bind_int(insert, 2, ParseIntField(f[kFieldDepth - 1]));
        sqlite3_bind_blob(insert, 3, f[0].data(), static_cast<int>(f[0].size()), SQLITE_TRANSIENT);
        sqlite3_bind_blob(insert, 4, f[6].data(), static_cast<int>(f[6].size()), SQLITE_TRANSIENT);
        Check(sqlite3_step(insert), db, "insert");
        sqlite3_reset(insert);
        start = end + 1;
    }
    sqlite3_finalize(insert);
    Check(sqlite3_exec(db, "COMMIT; PRAGMA wal_checkpoint(TRUNCATE);", nullptr, nullptr, nullptr),
          db, "commit");
    sqlite3_close(db);
}

const Notebook& SharedNotebook() {
    static Notebook* notebook = [] {
        auto* nb = new Notebook;
        // On the disk, not in a memory file system, so that a sync costs what it costs.
        std::string folder = "/var/tmp/qm-edit-bench-XXXXXX";
        if (mkdtemp(folder.data()) == nullptr) std::abort();
        nb->folder = folder;
        nb->path = folder + "/notebook.qm";
        nb->database = folder + "/notes.sqlite";
        const std::string image = bench::GenerateNotebookImage(
            kNotes, kMaxDepth, 20240501, TimeText(std::time(nullptr)), &nb->depths);
        std::ofstream(nb->path, std::ios::binary)
            .write(image.data(), static_cast<std::streamsize>(image.size()));
        WriteDatabase(nb->database, image);
        std::fprintf(stderr, "notebook: %d notes, %.1f MB in %s\n", kNotes, image.size() / 1e6,
                     folder.c_str());
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(SharedNotebook().folder, ignored);
        });
        return nb;
    }();
    return *notebook;
}

// A leaf near the start, the middle or the end of the file.
int NodeAt(const std::string& where) {
    const Notebook& nb = SharedNotebook();
    const int from = where == "start" ? 1 : where == "middle" ? kNotes / 2 : kNotes - 200;
    return LeafWithSibling(nb.depths, from);
}

// The store the edit benchmarks share, opened once: every benchmark leaves the notes as it
// found them.
TreeStore* OpenStore() {
    static TreeStore* store = [] {
        auto* s = new TreeStore(SharedNotebook().folder);
        if (!s->Open(SharedNotebook().path)) std::abort();
        s->BuildOutline();
        return s;
    }();
    return store;
}

// ---------------------------------------------------------------------------------------------
// Baselines

void SqliteUpdateRow(benchmark::State& state) {
    sqlite3* db = nullptr;
    Check(sqlite3_open(SharedNotebook().database.c_str(), &db), db, "open");
    Check(sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL;", nullptr, nullptr,
                       nullptr),
          db, "pragma");
    sqlite3_stmt* update = nullptr;
    Check(sqlite3_prepare_v2(db, "UPDATE notes SET body=? WHERE id=?", -1, &update, nullptr), db,
          "prepare");
    const std::string shorter(700, 'a');
    const std::string longer(800, 'b');
    int n = 0;
    for (auto _ : state) {
        const std::string& body = ++n % 2 ? longer : shorter;
        sqlite3_bind_blob(update, 1, body.data(), static_cast<int>(body.size()), SQLITE_STATIC);
        sqlite3_bind_int(update, 2, kNotes / 2);
        Check(sqlite3_step(update), db, "update");
        sqlite3_reset(update);
    }
    sqlite3_finalize(update);
    sqlite3_close(db);
}

void ReadWholeFile(benchmark::State& state) { bench::ReadWholeFile(state, SharedNotebook().path); }

// Runs a program to its end with its output thrown away.
void RunProcess(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) std::abort();
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    waitpid(pid, &status, 0);
}

// Not in any generated text, so both walk the whole file.
const char kAbsent[] = "zqxjv";

void GrepProcess(benchmark::State& state) {
    for (auto _ : state) RunProcess({"/usr/bin/grep", "-F", kAbsent, SharedNotebook().path});
}

void QmtoolSearchProcess(benchmark::State& state) {
    for (auto _ : state) {
        RunProcess({QMTOOL_PATH, "search", SharedNotebook().path, kAbsent, "--bodies"});
    }
}

// ---------------------------------------------------------------------------------------------
// Store operations, each durable when it returns

void OpenAndOutline(benchmark::State& state) {
    for (auto _ : state) {
        TreeStore store(SharedNotebook().folder);
        store.Open(SharedNotebook().path);
        benchmark::DoNotOptimize(store.BuildOutline());
    }
}

// The note's body alternates between two lengths.
void UpdateNodeBody(benchmark::State& state, int index) {
    TreeStore* store = OpenStore();
    const std::string body = store->ReadNode(index, kFieldBody);
    NodeFields fields;
    int n = 0;
    for (auto _ : state) {
        fields.body = ++n % 2 ? body + "增加的文字" : body;
        store->UpdateNode(index, fields);
    }
    fields.body = body;
    store->UpdateNode(index, fields);
}

// A selection field alternating between two lengths.
void SetSelection(benchmark::State& state, int index) {
    TreeStore* store = OpenStore();
    int n = 0;
    for (auto _ : state) store->SetField(index, kFieldSelStart, ++n % 2 ? "12345" : "0");
    store->SetField(index, kFieldSelStart, "0");
}

// The title alternating between two lengths, as a rename in place stores it.
void RenameNode(benchmark::State& state, int index) {
    TreeStore* store = OpenStore();
    const std::string title = store->ReadNode(index, kFieldTitle);
    int n = 0;
    for (auto _ : state) store->SetField(index, kFieldTitle, ++n % 2 ? title + "\xB8\xC4" : title);
    store->SetField(index, kFieldTitle, title);
}

// A child added under the node, deleted again outside the timing.
void AddChild(benchmark::State& state, int index) {
    TreeStore* store = OpenStore();
    for (auto _ : state) {
        const int added = store->AddNode(index, NodeFields{});
        state.PauseTiming();
        store->DeleteSubtree(added);
        state.ResumeTiming();
    }
}

// The leaf is deleted and put back (untimed) before its next sibling.
void DeleteLeaf(benchmark::State& state, int index) {
    TreeStore* store = OpenStore();
    std::string removed;
    int depth = 0;
    for (auto _ : state) {
        store->DeleteSubtree(index, &removed, &depth);
        state.PauseTiming();
        int to = index;
        store->MoveSubtree(removed, 1, depth, &to, true);
        state.ResumeTiming();
    }
}

// The leaf and its next sibling swap places, again and again.
void MoveLeaf(benchmark::State& state, int index) {
    TreeStore* store = OpenStore();
    for (auto _ : state) {
        int from = index + 1;
        int to = index;
        store->MoveSubtree(&from, &to, true);
    }
}

class RatioReporter : public bench::TimeKeepingReporter {
public:
    void PrintRatios() {
        std::printf("\n%-40s %12s %10s\n", "operation", "time", "ratio");
        for (const auto& [name, time] : times_) {
            const bool open = name.rfind("Open", 0) == 0;
            const bool process = name.rfind("Qmtool", 0) == 0;
            const char* base = open ? "ReadWholeFile" : process ? "GrepProcess" : "SqliteUpdateRow";
            const auto found = times_.find(base);
            const bool baseline =
                name == "ReadWholeFile" || name == "GrepProcess" || name == "SqliteUpdateRow";
            if (baseline || found == times_.end()) continue;
            std::printf("%-40s %9.3f ms %9.2fx of %s\n", name.c_str(), time / 1e3,
                        time / found->second, base);
        }
    }
};

}  // namespace
}  // namespace qm

int main(int argc, char** argv) {
    using namespace qm;
    benchmark::Initialize(&argc, argv);
    SharedNotebook();
    // Each figure is the median of five repetitions, so that one slow sync of a shared disk
    // does not decide it.
    auto reg = [](const std::string& name, auto fn, int iterations) {
        benchmark::RegisterBenchmark(name.c_str(), fn)
            ->Unit(benchmark::kMicrosecond)
            ->Iterations(iterations)
            ->Repetitions(5)
            ->ReportAggregatesOnly(true);
    };
    reg("SqliteUpdateRow", SqliteUpdateRow, 100);
    reg("ReadWholeFile", ReadWholeFile, 4);
    reg("OpenAndOutline", OpenAndOutline, 2);
    reg("GrepProcess", GrepProcess, 4);
    reg("QmtoolSearchProcess", QmtoolSearchProcess, 4);
    for (const std::string where : {"start", "middle", "end"}) {
        const int index = NodeAt(where);
        reg(
            "UpdateNode/" + where, [index](benchmark::State& s) { UpdateNodeBody(s, index); }, 40);
        reg(
            "SetField/" + where, [index](benchmark::State& s) { SetSelection(s, index); }, 40);
        reg(
            "Rename/" + where, [index](benchmark::State& s) { RenameNode(s, index); }, 40);
        reg(
            "AddNode/" + where, [index](benchmark::State& s) { AddChild(s, index); }, 20);
        reg(
            "DeleteSubtree/" + where, [index](benchmark::State& s) { DeleteLeaf(s, index); }, 20);
        reg(
            "MoveSubtree/" + where, [index](benchmark::State& s) { MoveLeaf(s, index); }, 20);
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios();
    benchmark::Shutdown();
    return 0;
}
