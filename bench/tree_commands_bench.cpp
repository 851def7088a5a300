// The tree commands in the real window on a notebook of 100,000 notes (~100 MB): a new note,
// a delete into the recycle bin, a move by cut and paste, and a rename, each timed from the
// command to the tree view laid out again, beside the store operations the command cannot do
// without (the floor), each at a note near the start, the middle and the end of the file. The
// view's own part is the difference; the rebuild of the notebook view from the store's outline
// (what every command used to cost on top) is timed on its own. The last table gives each command
// beside its floor. LayoutView times one full layout of the notebook view's open rows on its own.
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
    int places[3] = {};   // leaves followed by a sibling near 0.1%, 50% and 99% of the file
    int targets[3] = {};  // for each, a leaf about 1% further on, where it moves to

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
    const int at[3] = {kNotes / 1000, kNotes / 2, kNotes * 98 / 100};
    for (int i = 0; i < 3; ++i) {
        g->places[i] = LeafWithSibling(g->depths, at[i]);
        g->targets[i] = LeafWithSibling(g->depths, at[i] + kNotes / 100);
    }
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
void NewNote(benchmark::State& state, int place) {
    const int middle = g->places[place];
    for (auto _ : state) {
        const int added = g->commands().newNote(middle, true);
        QCoreApplication::processEvents();  // the view lays out what changed
        state.PauseTiming();
        if (added < 0) state.SkipWithError("no note added");
        g->commands().titleEditor()->cancel();
        g->commands().deleteNote();
        g->commands().purgeRecycledNote(g->recycleBin().NodeCount() - 1);
        QCoreApplication::processEvents();  // the set-up's own layout stays off the clock
        state.ResumeTiming();
    }
}

void NewNoteFloor(benchmark::State& state, int place) {
    const int middle = g->places[place];
    NodeFields fields;
    fields.title = ToGb(QStringLiteral("新笔记1"));
    fields.image = 1;
    for (auto _ : state) {
        const int added = g->notebook().AddNode(middle, fields);
        state.PauseTiming();
        g->notebook().DeleteSubtree(added);
        state.ResumeTiming();
    }
    Resync();
}

// "删除" of a new leaf under the middle note, into the recycle bin, to the next note loaded.
void DeleteNote(benchmark::State& state, int place) {
    const int middle = g->places[place];
    for (auto _ : state) {
        state.PauseTiming();
        g->commands().newNote(middle, true);
        g->commands().titleEditor()->cancel();
        QCoreApplication::processEvents();  // the new note laid out and shown, before the clock
        state.ResumeTiming();
        if (g->commands().deleteNote() != 1) state.SkipWithError("nothing deleted");
        QCoreApplication::processEvents();
        state.PauseTiming();
        g->commands().purgeRecycledNote(g->recycleBin().NodeCount() - 1);
        QCoreApplication::processEvents();  // the set-up's own layout stays off the clock
        state.ResumeTiming();
    }
}

void DeleteNoteFloor(benchmark::State& state, int place) {
    const int middle = g->places[place];
    NodeFields fields;
    fields.title = ToGb(QStringLiteral("新笔记1"));
    fields.image = 1;
    for (auto _ : state) {
        state.PauseTiming();
        const int added = g->notebook().AddNode(middle, fields);
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

// "同级粘贴": the leaf at the place goes after the one 1% further on, then back before its old next
// sibling; each move is one operation. Cutting and selecting are untimed.
void PasteMove(benchmark::State& state, int place) {
    const int early = g->places[place];
    const int late = g->targets[place];
    int at = early;
    bool down = true;
    for (auto _ : state) {
        state.PauseTiming();
        g->view().selectNode(at);
        g->commands().cutNote();
        g->view().selectNode(down ? late : early);
        QCoreApplication::processEvents();
        state.ResumeTiming();
        if (!g->commands().pasteNote(true)) state.SkipWithError("paste refused");
        QCoreApplication::processEvents();
        at = g->view().selectedNode();
        down = !down;
    }
}

void PasteMoveFloor(benchmark::State& state, int place) {
    const int early = g->places[place];
    const int late = g->targets[place];
    int at = early;
    bool down = true;
    for (auto _ : state) {
        int from = at;
        int to = down ? late : early;
        if (!g->notebook().MoveSubtree(&from, &to, true)) state.SkipWithError("move refused");
        at = to;
        down = !down;
    }
    Resync();
}

// A title typed in place and stored, with the view rebuilt to show it.
void Rename(benchmark::State& state, int place) {
    const int middle = g->places[place];
    int n = 0;
    for (auto _ : state) {
        const QString title = QStringLiteral("改名 %1").arg(++n % 2);
        if (!g->commands().renameNote(middle, title)) state.SkipWithError("rename refused");
        QCoreApplication::processEvents();
    }
}

void RenameFloor(benchmark::State& state, int place) {
    const int middle = g->places[place];
    int n = 0;
    for (auto _ : state) {
        const std::string title = ToGb(QStringLiteral("改名 %1").arg(++n % 2));
        g->notebook().SetField(middle, kFieldTitle, title);
    }
    Resync();
}

// The notebook view rebuilt from the store's outline rows, as every command does once or twice.
void RebuildView(benchmark::State& state) {
    for (auto _ : state) g->window().trees()->notebookModel()->reload();
}

// The notebook view lays out all its open rows again, as Qt's tree view does after a row
// insertion, removal or move under an open item.
void LayoutView(benchmark::State& state) {
    NoteTreeView& view = g->view();
    int rows = 0;
    for (auto _ : state) {
        view.doItemsLayout();
        state.PauseTiming();
        rows = 0;
        for (QModelIndex index = view.model()->index(0, 0); index.isValid();
             index = view.indexBelow(index)) {
            ++rows;
        }
        state.ResumeTiming();
    }
    state.counters["open_rows"] = rows;
}

class RatioReporter : public qm::bench::TimeKeepingReporter {
public:
    void PrintRatios() const {
        std::printf("\n%-20s %12s %14s %14s %9s  (medians; goal: ours under 16 ms)\n", "command",
                    "ours (ms)", "store (ms)", "view (ms)", "ratio");
        for (const char* name : {"NewNote", "DeleteNote", "PasteMove", "Rename"}) {
            for (const char* place : {"start", "middle", "end"}) {
                const std::string at = std::string(name) + "/" + place;
                const auto ours = times_.find(at + "/ours");
                const auto floor = times_.find(at + "/store_floor");
                if (ours == times_.end() || floor == times_.end()) continue;
                std::printf("%-20s %12.2f %14.2f %14.2f %8.1fx\n", at.c_str(), ours->second,
                            floor->second, ours->second - floor->second,
                            ours->second / floor->second);
            }
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
    using Command = void (*)(benchmark::State&, int);
    const std::pair<const char*, Command> commands[] = {
        {"NewNote/%s/ours", NewNote},       {"NewNote/%s/store_floor", NewNoteFloor},
        {"DeleteNote/%s/ours", DeleteNote}, {"DeleteNote/%s/store_floor", DeleteNoteFloor},
        {"PasteMove/%s/ours", PasteMove},   {"PasteMove/%s/store_floor", PasteMoveFloor},
        {"Rename/%s/ours", Rename},         {"Rename/%s/store_floor", RenameFloor},
    };
    const char* const places[] = {"start", "middle", "end"};
    for (const auto& [pattern, fn] : commands) {
        for (int place = 0; place < 3; ++place) {
            char name[64];
            std::snprintf(name, sizeof name, pattern, places[place]);
            const Command command = fn;
            benchmark::RegisterBenchmark(
                name, [command, place](benchmark::State& state) { command(state, place); })
                ->Unit(benchmark::kMillisecond)
                ->Iterations(10)
                ->Repetitions(5)
                ->ReportAggregatesOnly(true);  // the median of five: one slow sync decides nothing
        }
    }
    reg("RebuildView", RebuildView, 10);
    reg("LayoutView", LayoutView, 50);

    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios();
    benchmark::Shutdown();
    TearDown();
    return 0;
}
