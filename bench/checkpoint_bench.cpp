// A background checkpoint of a notebook of 100,000 notes (~100 MB) in the real window, and how
// the window answers meanwhile: from the click that starts it (the snapshot taken on the
// window's thread) to the file replaced, a probe posts one event after another and measures how
// long each waits before it is handled; the longest wait is the window's longest freeze. Run
// once with the window idle and once with a note saved every 50 ms (each save waits for the log,
// which the checkpoint also appends its marker to); beside each, the same 500 ms with no
// checkpoint (what the shared machine alone costs).
//
// The program folder is generated once into a temporary folder, removed at the end.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "answer_probe.h"
#include "app/notes/checkpoint_scheduler.h"
#include "app/notes/note_session.h"
#include "app/trees/note_trees.h"
#include "app/window/main_window.h"
#include "app/window/program.h"
#include "bench_session.h"
#include "editor/note_editor.h"
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
    CheckpointScheduler* scheduler = nullptr;

    MainWindow& window() { return session->window(); }
    TreeStore& notebook() { return window().trees()->notebook(); }
};

Bench* g = nullptr;

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

void SetUp() {
    g = new Bench;
    std::string folder = "/var/tmp/qm-checkpoint-bench-XXXXXX";  // on the disk: syncs cost
    if (mkdtemp(folder.data()) == nullptr) std::abort();
    g->folder = folder;
    {
        const std::string image =
            bench::GenerateNotebookImage(kNotes, kMaxDepth, 20240501, TimeText(std::time(nullptr)));
        std::ofstream(folder + "/笔记本.qm", std::ios::binary)
            .write(image.data(), static_cast<std::streamsize>(image.size()));
    }
    g->session = bench::StartBenchSession(folder);
    g->scheduler = g->window().findChild<CheckpointScheduler*>();
    if (g->scheduler == nullptr) std::abort();
    g->scheduler->setIdleDelay(1 << 30);  // only the benchmark starts checkpoints
    std::fprintf(stderr, "notebook: %d notes, %.1f MB in %s\n", kNotes,
                 g->notebook().DataSize() / 1e6, folder.c_str());
}

void TearDown() {
    g->session.reset();
    std::error_code ignored;
    std::filesystem::remove_all(g->folder, ignored);
    delete g;
}

// One checkpoint per iteration, started from the event loop as the scheduler's timer starts it.
// With `editing`, the loaded note is saved every 50 ms while it runs.
void Checkpoint(benchmark::State& state, bool editing) {
    NoteSession& notes = *g->window().noteSession();
    const std::string original = notes.loadedText();
    double longest = 0;
    double longestEdit = 0;
    std::vector<double> saveTimes;
    int answered = 0;
    int edits = 0;
    int failed = 0;
    for (auto _ : state) {
        state.PauseTiming();
        // Something for the checkpoint to write.
        notes.editor()->setText(original + "x");
        notes.saveCurrentNote(true);
        notes.editor()->setText(original);
        notes.saveCurrentNote(true);
        bench::AnswerProbe probe;
        QTimer saver;
        int n = 0;
        QObject::connect(&saver, &QTimer::timeout, [&] {
            notes.editor()->setText(++n % 2 ? original + "y" : original);
            QElapsedTimer t;
            t.start();
            notes.saveCurrentNote(true);
            longestEdit = std::max(longestEdit, t.nsecsElapsed() / 1e6);
            saveTimes.push_back(t.nsecsElapsed() / 1e6);
            ++edits;
        });
        bool finished = false;
        const auto done =
            QObject::connect(g->scheduler, &CheckpointScheduler::checkpointFinished, [&](bool ok) {
                finished = true;
                if (!ok) ++failed;
            });
        state.ResumeTiming();
        probe.start();
        if (editing) saver.start(50);
        QTimer::singleShot(0, [] {
            if (!g->scheduler->startNow()) std::abort();
        });
        while (!finished) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        state.PauseTiming();
        saver.stop();
        probe.stop();
        QObject::disconnect(done);
        QCoreApplication::processEvents();
        longest = std::max(longest, probe.longestMs());
        answered += probe.answered();
        notes.editor()->setText(original);
        notes.saveCurrentNote(true);
        g->scheduler->checkpointNow();
        state.ResumeTiming();
    }
    if (failed > 0) state.SkipWithError("a checkpoint failed");
    state.counters["longest_wait_ms"] = longest;
    state.counters["events_answered"] = answered;
    if (editing) {
        state.counters["saves"] = edits;
        state.counters["longest_save_ms"] = longestEdit;
        state.counters["median_save_ms"] = Median(saveTimes);
    }
}

// The baseline on this machine, measured in the same run: the same probe (and the same saves)
// for as long as a checkpoint takes, with no checkpoint, so that what a loaded machine costs
// every event is told apart from what the checkpoint costs.
void NoCheckpoint(benchmark::State& state, bool editing) {
    NoteSession& notes = *g->window().noteSession();
    const std::string original = notes.loadedText();
    double longest = 0;
    double longestEdit = 0;
    std::vector<double> saveTimes;
    for (auto _ : state) {
        bench::AnswerProbe probe;
        QTimer saver;
        int n = 0;
        QObject::connect(&saver, &QTimer::timeout, [&] {
            notes.editor()->setText(++n % 2 ? original + "y" : original);
            QElapsedTimer t;
            t.start();
            notes.saveCurrentNote(true);
            longestEdit = std::max(longestEdit, t.nsecsElapsed() / 1e6);
            saveTimes.push_back(t.nsecsElapsed() / 1e6);
        });
        probe.start();
        if (editing) saver.start(50);
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 500)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        saver.stop();
        probe.stop();
        QCoreApplication::processEvents();
        longest = std::max(longest, probe.longestMs());
    }
    notes.editor()->setText(original);
    notes.saveCurrentNote(true);
    g->scheduler->checkpointNow();
    state.counters["longest_wait_ms"] = longest;
    if (editing) {
        state.counters["longest_save_ms"] = longestEdit;
        state.counters["median_save_ms"] = Median(saveTimes);
    }
}

// The window's thread part alone: the snapshot a checkpoint starts from.
void Snapshot(benchmark::State& state) {
    NoteSession& notes = *g->window().noteSession();
    const std::string original = notes.loadedText();
    for (auto _ : state) {
        state.PauseTiming();
        notes.editor()->setText(original + "x");
        notes.saveCurrentNote(true);
        state.ResumeTiming();
        auto task = g->notebook().StartCheckpoint();
        benchmark::DoNotOptimize(task.get());
        state.PauseTiming();
        task.reset();  // dropped unrun: the log keeps every edit
        notes.editor()->setText(original);
        notes.saveCurrentNote(true);
        state.ResumeTiming();
    }
    g->scheduler->checkpointNow();
}

}  // namespace
}  // namespace qm

int main(int argc, char** argv) {
    using namespace qm;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    SetUp();
    benchmark::RegisterBenchmark("Snapshot", Snapshot)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(20)
        ->Repetitions(3)
        ->ReportAggregatesOnly(true);
    benchmark::RegisterBenchmark("NoCheckpoint/idle",
                                 [](benchmark::State& s) { NoCheckpoint(s, false); })
        ->Unit(benchmark::kMillisecond)
        ->Iterations(5);
    benchmark::RegisterBenchmark("NoCheckpoint/while_saving",
                                 [](benchmark::State& s) { NoCheckpoint(s, true); })
        ->Unit(benchmark::kMillisecond)
        ->Iterations(5);
    benchmark::RegisterBenchmark("Checkpoint/idle",
                                 [](benchmark::State& s) { Checkpoint(s, false); })
        ->Unit(benchmark::kMillisecond)
        ->Iterations(5);
    benchmark::RegisterBenchmark("Checkpoint/while_saving",
                                 [](benchmark::State& s) { Checkpoint(s, true); })
        ->Unit(benchmark::kMillisecond)
        ->Iterations(5);
    bench::TimeKeepingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    TearDown();
    return 0;
}
