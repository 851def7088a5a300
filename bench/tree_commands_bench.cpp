// The tree commands in the real window on a notebook of 100,000 notes (~100 MB): a new note,
// a delete into the recycle bin, a move by cut and paste, and a rename, each timed from the
// command to the rebuilt tree view, beside the store operations the command cannot do without
// (the floor). The rebuild of the notebook view from the store's outline is timed on its own.
// The last table gives each command beside its floor.
//
// The program folder is generated once into a temporary folder, removed at the end.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/tree_commands/title_editor.h"
#include "app/tree_commands/tree_commands.h"
#include "app/trees/note_tree_view.h"
#include "app/trees/note_trees.h"
#include "app/trees/outline_model.h"
#include "app/window/main_window.h"
#include "app/window/program.h"
#include "bench_session.h"
#include "common/qt_text.h"
#include "notebook_generator.h"
#include "store/time_text.h"
#include "store/tree_store.h"
#include "time_keeping_reporter.h"

namespace qm {
namespace {

constexpr int kNotes = 100000;
constexpr int kMaxDepth = 12;

struct Bench {
    std::string folder;
    std::unique_ptr<Session> session;
    std::vector<int> depths;
    int middle = 0;  // a leaf followed by a sibling, near the middle
    int early = 0;   // the same near 10%: the note that moves
    int late = 0;    // a leaf near 90%: where it moves to

    MainWindow& window() { return session->window(); }
    TreeCommands& commands() { return *window().treeCommands(); }
    NoteTreeView& view() { return *window().trees()->notebookView(); }
    TreeStore& notebook() { return window().trees()->notebook(); }
    TreeStore& recycleBin() { return window().trees()->recycleBin(); }
};

Bench* g = nullptr;

int LeafWithSibling(const std::vector<int>& depths, int from) {
    for (int i = from; i + 1 < static_cast<int>(depths.size()); ++i) {
        if (depths[i] == depths[i + 1]) return i;
    }
    return -1;
}

void SetUp() {
    g = new Bench;
    std::string folder = (std::filesystem::temp_directory_path() / "qm-bench-XXXXXX").string();
    if (mkdtemp(folder.data()) == nullptr) std::abort();
    g->folder = folder;
    {
        const std::string image = bench::GenerateNotebookImage(
            kNotes, kMaxDepth, 20240501, TimeText(std::time(nullptr)), &g->depths);
        std::ofstream(folder + "/笔记本.qm", std::ios::binary)
            .write(image.data(), static_cast<std::streamsize>(image.size()));
    }
    g->middle = LeafWithSibling(g->depths, kNotes / 2);
    g->early = LeafWithSibling(g->depths, kNotes / 10);
    g->late = LeafWithSibling(g->depths, kNotes * 9 / 10);
    g->session = bench::StartBenchSession(folder);
    std::fprintf(stderr, "notebook: %d notes, %.1f MB in %s\n", kNotes,
                 g->notebook().DataSize() / 1e6, folder.c_str());
}

void TearDown() {
    g->session.reset();
    std::error_code ignored;
    std::filesystem::remove_all(g->folder, ignored);
    delete g;
}

// The view shows its store again after a floor run changed the store alone.
void Resync() {
    g->window().trees()->notebookModel()->reload();
    g->window().trees()->recycleBinModel()->reload();
}

// "新建" under the middle note, from the command to the new note loaded and open for its
// title. Afterwards (untimed) the note goes to the recycle bin and is purged.
void NewNote(benchmark::State& state) {
    for (auto _ : state) {
        const int added = g->commands().newNote(g->middle, true);
        state.PauseTiming();
        if (added < 0) state.SkipWithError("no note added");
        g->commands().titleEditor()->cancel();
        g->commands().deleteNote();
        g->commands().purgeRecycledNote(g->recycleBin().NodeCount() - 1);
        state.ResumeTiming();
    }
}

void NewNoteFloor(benchmark::State& state) {
    NodeFields fields;
    fields.title = ToGb(QStringLiteral("新笔记1"));
    fields.image = 1;
    for (auto _ : state) {
        const int added = g->notebook().AddNode(g->middle, fields);
        state.PauseTiming();
        g->notebook().DeleteSubtree(added);
        state.ResumeTiming();
    }
    Resync();
}

// "删除" of a new leaf under the middle note, into the recycle bin, to the next note loaded.
void DeleteNote(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        g->commands().newNote(g->middle, true);
        g->commands().titleEditor()->cancel();
        state.ResumeTiming();
        if (g->commands().deleteNote() != 1) state.SkipWithError("nothing deleted");
        state.PauseTiming();
        g->commands().purgeRecycledNote(g->recycleBin().NodeCount() - 1);
        state.ResumeTiming();
    }
}

void DeleteNoteFloor(benchmark::State& state) {
    NodeFields fields;
    fields.title = ToGb(QStringLiteral("新笔记1"));
    fields.image = 1;
    for (auto _ : state) {
        state.PauseTiming();
        const int added = g->notebook().AddNode(g->middle, fields);
        state.ResumeTiming();
        std::string removed;
        int depth = 0;
        const int count = g->notebook().DeleteSubtree(added, &removed, &depth);
        int to = 0;
        g->recycleBin().MoveSubtree(removed, count, depth, &to, false);
        state.PauseTiming();
        g->recycleBin().DeleteSubtree(g->recycleBin().NodeCount() - 1);
        state.ResumeTiming();
    }
    Resync();
}

// "同级粘贴": the early leaf goes after the late one, then back before its old next sibling;
// each move is one operation. Cutting and selecting are untimed.
void PasteMove(benchmark::State& state) {
    int at = g->early;
    bool down = true;
    for (auto _ : state) {
        state.PauseTiming();
        g->view().selectNode(at);
        g->commands().cutNote();
        g->view().selectNode(down ? g->late : g->early);
        state.ResumeTiming();
        if (!g->commands().pasteNote(true)) state.SkipWithError("paste refused");
        at = g->view().selectedNode();
        down = !down;
    }
}

void PasteMoveFloor(benchmark::State& state) {
    int at = g->early;
    bool down = true;
    for (auto _ : state) {
        int from = at;
        int to = down ? g->late : g->early;
        if (!g->notebook().MoveSubtree(&from, &to, true)) state.SkipWithError("move refused");
        at = to;
        down = !down;
    }
    Resync();
}

// A title typed in place and stored, with the view rebuilt to show it.
void Rename(benchmark::State& state) {
    int n = 0;
    for (auto _ : state) {
        const QString title = QStringLiteral("改名 %1").arg(++n % 2);
        if (!g->commands().renameNote(g->middle, title)) state.SkipWithError("rename refused");
    }
}

void RenameFloor(benchmark::State& state) {
    int n = 0;
    for (auto _ : state) {
        const std::string title = ToGb(QStringLiteral("改名 %1").arg(++n % 2));
        g->notebook().SetField(g->middle, kFieldTitle, title);
    }
    Resync();
}

// The notebook view rebuilt from the store's outline rows, as every command does once or twice.
void RebuildView(benchmark::State& state) {
    for (auto _ : state) g->window().trees()->notebookModel()->reload();
}

class RatioReporter : public qm::bench::TimeKeepingReporter {
public:
    void PrintRatios() const {
        std::printf("\n%-12s %12s %14s %9s\n", "command", "ours (ms)", "store (ms)", "ratio");
        for (const char* name : {"NewNote", "DeleteNote", "PasteMove", "Rename"}) {
            const auto ours = times_.find(std::string(name) + "/ours");
            const auto floor = times_.find(std::string(name) + "/store_floor");
            if (ours == times_.end() || floor == times_.end()) continue;
            std::printf("%-12s %12.2f %14.2f %8.1fx\n", name, ours->second, floor->second,
                        ours->second / floor->second);
        }
    }

};

}  // namespace
}  // namespace qm

int main(int argc, char** argv) {
    using namespace qm;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    SetUp();

    auto reg = [](const char* name, void (*fn)(benchmark::State&), int iterations) {
        benchmark::RegisterBenchmark(name, fn)
            ->Unit(benchmark::kMillisecond)
            ->Iterations(iterations);
    };
    reg("NewNote/ours", NewNote, 10);
    reg("NewNote/store_floor", NewNoteFloor, 10);
    reg("DeleteNote/ours", DeleteNote, 10);
    reg("DeleteNote/store_floor", DeleteNoteFloor, 10);
    reg("PasteMove/ours", PasteMove, 10);
    reg("PasteMove/store_floor", PasteMoveFloor, 10);
    reg("Rename/ours", Rename, 10);
    reg("Rename/store_floor", RenameFloor, 10);
    reg("RebuildView", RebuildView, 10);

    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios();
    benchmark::Shutdown();
    TearDown();
    return 0;
}
