// Note switching and saving in the real window on a notebook of 100,000 notes (~100 MB):
// - a switch to a note whose 1 MB body lives in its own file, from the selection change to
//   the text painted in the editor, and the switch away from it (which compares the 1 MB text
//   with the text loaded); a switch between two ordinary notes beside them;
// - a changed save of an ordinary note near the start, the middle and the end of the file
//   (the record grows by one byte, so everything behind it moves), beside the least any
//   in-place insertion must do: move the same tail in memory and write it to a file, once
//   without and once with a sync (the store's journal syncs every edit).
// The program folder is generated once into a temporary folder, removed at the end.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>

#include "app/notes/note_session.h"
#include "app/trees/note_tree_view.h"
#include "app/trees/note_trees.h"
#include "app/window/main_window.h"
#include "app/window/program.h"
#include "bench_session.h"
#include "common/qt_text.h"
#include "editor/note_editor.h"
#include "notebook_generator.h"
#include "store/time_text.h"
#include "store/tree_store.h"
#include "time_keeping_reporter.h"

namespace qm {
namespace {

constexpr int kNotes = 100000;
constexpr int kMaxDepth = 12;
constexpr size_t kLongBody = 1 << 20;

struct Bench {
    std::string folder;
    std::unique_ptr<Session> session;
    int longNote = 0;  // 1 MB body in its own file
    int smallA = 0;    // ordinary notes beside it
    int smallB = 0;
    int atStart = 0;  // ordinary notes at 1%, 50% and 99% of the file
    int atMiddle = 0;
    int atEnd = 0;
    size_t fileSize = 0;

    MainWindow& window() { return session->window(); }
    NoteSession& notes() { return *window().noteSession(); }
    NoteTreeView& view() { return *window().trees()->notebookView(); }
    TreeStore& store() { return window().trees()->notebook(); }
    // Byte offset of the record of `node` in the file (what a save of it has to move).
    size_t tailBehind(int node) {
        SubtreeSpan span;
        store().LocateSubtree(node, &span);
        return store().DataSize() - span.startOffset;
    }
};

Bench* g = nullptr;

// A body of about `bytes` bytes made of the generator's text.
std::string LongBody(size_t bytes) {
    std::mt19937 rng(7);
    std::string body;
    while (body.size() < bytes) body += bench::RandomBody(&rng);
    body.resize(bytes);
    // Never cut a two-byte character in half.
    size_t i = 0;
    while (i < body.size()) i += static_cast<unsigned char>(body[i]) >= 0x80 ? 2 : 1;
    if (i > body.size()) body.pop_back();
    return body;
}

void SetUp() {
    g = new Bench;
    std::string folder = (std::filesystem::temp_directory_path() / "qm-bench-XXXXXX").string();
    if (mkdtemp(folder.data()) == nullptr) std::abort();
    g->folder = folder;
    const std::string path = folder + "/笔记本.qm";
    {
        const std::string image =
            bench::GenerateNotebookImage(kNotes, kMaxDepth, 20240501, TimeText(std::time(nullptr)));
        std::ofstream(path, std::ios::binary)
            .write(image.data(), static_cast<std::streamsize>(image.size()));
    }
    g->longNote = kNotes / 2;
    g->smallA = kNotes / 2 + 2;
    g->smallB = kNotes / 2 + 4;
    g->atStart = kNotes / 100;
    g->atMiddle = kNotes / 2 + 6;
    g->atEnd = kNotes - kNotes / 100;
    {
        // The long body moves into its own file the way a save moves it.
        TreeStore store(folder);
        store.Open(path);
        store.BuildOutline();
        NodeFields fields;
        fields.body = LongBody(kLongBody);
        fields.externalPath = NoteSession::NewExternalName();
        store.UpdateNode(g->longNote, fields);
    }
    g->session = bench::StartBenchSession(folder);
    g->fileSize = g->store().DataSize();
    std::fprintf(stderr, "notebook: %d notes, %.1f MB in %s\n", kNotes, g->fileSize / 1e6,
                 folder.c_str());
}

void TearDown() {
    g->session.reset();
    std::error_code ignored;
    std::filesystem::remove_all(g->folder, ignored);
    delete g;
}

// Selects `node` as a click does and lets the editor paint. Adds the milliseconds of the two
// steps to *load and *paint when given.
void Switch(int node, double* load = nullptr, double* paint = nullptr) {
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    g->view().selectNode(node);
    const auto loaded = Clock::now();
    QCoreApplication::processEvents();
    const auto painted = Clock::now();
    const auto ms = [](Clock::duration d) {
        return std::chrono::duration<double, std::milli>(d).count();
    };
    if (load != nullptr) *load += ms(loaded - start);
    if (paint != nullptr) *paint += ms(painted - loaded);
}

// The two steps of a switch as counters: selection change to text in the editor, and the
// event processing that paints it.
void ReportSteps(benchmark::State& state, double load, double paint) {
    const double n = static_cast<double>(state.iterations());
    state.counters["load_ms"] = load / n;
    state.counters["paint_ms"] = paint / n;
}

void SwitchToLongNote(benchmark::State& state) {
    double load = 0;
    double paint = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Switch(g->smallA);
        state.ResumeTiming();
        Switch(g->longNote, &load, &paint);
    }
    ReportSteps(state, load, paint);
    if (g->notes().loadedText().size() < kLongBody - 1) state.SkipWithError("1 MB body not shown");
}

void SwitchAwayFromLongNote(benchmark::State& state) {
    double load = 0;
    double paint = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Switch(g->longNote);
        state.ResumeTiming();
        Switch(g->smallA, &load, &paint);
    }
    ReportSteps(state, load, paint);
}

void SwitchBetweenSmallNotes(benchmark::State& state) {
    double load = 0;
    double paint = 0;
    int n = 0;
    for (auto _ : state) Switch(++n % 2 ? g->smallA : g->smallB, &load, &paint);
    ReportSteps(state, load, paint);
}

// A changed save of `node`: its text grows by one byte, then shrinks back, so each save moves
// everything behind the record by one byte.
void SaveChanged(benchmark::State& state, int node) {
    Switch(node);
    const std::string original = g->notes().loadedText();
    const std::string longer = original + "x";
    int n = 0;
    for (auto _ : state) {
        state.PauseTiming();
        g->notes().editor()->setText(++n % 2 ? longer : original);
        state.ResumeTiming();
        g->notes().saveCurrentNote(true);
    }
    state.counters["tail_MB"] = static_cast<double>(g->tailBehind(node)) / 1e6;
    g->notes().editor()->setText(original);
    g->notes().saveCurrentNote(true);
}

// The floor for the same save: the tail behind the record moved by one byte in a buffer of
// the file's size and written to a file at its offset, optionally synced.
void TailMoveFloor(benchmark::State& state, int node, bool sync) {
    const size_t tail = g->tailBehind(node);
    std::string buffer(g->fileSize + 1, 'a');
    const std::string path = g->folder + "/floor.bin";
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || pwrite(fd, buffer.data(), buffer.size(), 0) < 0) {
        state.SkipWithError("cannot write the floor file");
        return;
    }
    const size_t start = buffer.size() - 1 - tail;
    int n = 0;
    for (auto _ : state) {
        const bool grow = ++n % 2 != 0;
        char* at = buffer.data() + start;
        std::memmove(grow ? at + 1 : at, grow ? at : at + 1, tail);
        if (pwrite(fd, at, tail + 1, static_cast<off_t>(start)) < 0) state.SkipWithError("pwrite");
        if (sync) fdatasync(fd);
        benchmark::ClobberMemory();
    }
    close(fd);
    unlink(path.c_str());
}

// Prints each save beside its floors after the usual table.
class RatioReporter : public qm::bench::TimeKeepingReporter {
public:
    void PrintRatios() const {
        std::printf("\n%-16s %12s %18s %9s %20s %9s\n", "save", "ours (ms)", "memmove+pwrite",
                    "ratio", "+fdatasync (ms)", "ratio");
        for (const char* where : {"start", "middle", "end"}) {
            const std::string at(where);
            const auto ours = times_.find("Save/" + at + "/ours");
            const auto plain = times_.find("Save/" + at + "/floor");
            const auto synced = times_.find("Save/" + at + "/floor_synced");
            if (ours == times_.end() || plain == times_.end() || synced == times_.end()) continue;
            std::printf("%-16s %12.2f %18.2f %8.1fx %20.2f %8.1fx\n", where, ours->second,
                        plain->second, ours->second / plain->second, synced->second,
                        ours->second / synced->second);
        }
        const auto toLong = times_.find("Switch/to_1MB_note");
        if (toLong != times_.end()) {
            std::printf("\nswitch to the 1 MB note: %.2f ms (goal: under 50 ms)\n", toLong->second);
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

    // Each figure is the median of five repetitions.
    auto reg = [](const std::string& name, auto fn, int iterations) {
        benchmark::RegisterBenchmark(name.c_str(), fn)
            ->Unit(benchmark::kMillisecond)
            ->Iterations(iterations)
            ->Repetitions(5)
            ->ReportAggregatesOnly(true);
    };
    reg("Switch/to_1MB_note", SwitchToLongNote, 10);
    reg("Switch/away_from_1MB_note", SwitchAwayFromLongNote, 10);
    reg("Switch/between_small_notes", SwitchBetweenSmallNotes, 50);
    const std::pair<const char*, int> places[] = {
        {"start", g->atStart}, {"middle", g->atMiddle}, {"end", g->atEnd}};
    for (const auto& [where, node] : places) {
        const std::string at = std::string("Save/") + where;
        const int index = node;
        reg(
            at + "/ours", [index](benchmark::State& s) { SaveChanged(s, index); }, 20);
        reg(
            at + "/floor", [index](benchmark::State& s) { TailMoveFloor(s, index, false); }, 20);
        reg(
            at + "/floor_synced", [index](benchmark::State& s) { TailMoveFloor(s, index, true); },
            20);
    }

    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios();
    benchmark::Shutdown();
    TearDown();
    return 0;
}
