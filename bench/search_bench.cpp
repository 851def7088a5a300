// Search speed on a generated notebook of 100,000 notes (~100 MB) whose last note holds the
// query: the title search over every item, the body search from the root to that last note
// (substring, ignore case, regular expression) beside memmem over the same bytes, and how soon
// a running body search answers a stop. The body search runs as the window runs it: through
// NoteSearch, with the event pump between notes and a window on screen (offscreen platform).
//
// The notebook is generated once into a temporary folder, removed at the end.
#include <benchmark/benchmark.h>
#include <string.h>
#include <unistd.h>

#include <QApplication>
#include <QTimer>
#include <QTreeView>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <thread>

#include "app/search/event_pump.h"
#include "app/search/note_search.h"
#include "app/trees/outline_model.h"
#include "notebook_generator.h"
#include "store/time_text.h"
#include "store/tree_store.h"

namespace qm {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kNotes = 100000;
constexpr int kMaxDepth = 12;
// Put at the end of the last note's body; found nowhere else.
const char kMarker[] = "zqxjv";
const char kMissing[] = "vjxqz";

struct Shared {
    std::string folder;
    std::string path;
    std::unique_ptr<TreeStore> store;
    std::unique_ptr<OutlineModel> model;
    std::unique_ptr<QTreeView> view;
    int last = 0;
};

Shared& Notebook() {
    static Shared* shared = [] {
        auto* s = new Shared;
        std::string folder = (std::filesystem::temp_directory_path() / "qm-bench-XXXXXX").string();
        if (mkdtemp(folder.data()) == nullptr) std::abort();
        s->folder = folder;
        s->path = folder + "/notebook.qm";
        const std::string image =
            bench::GenerateNotebookImage(kNotes, kMaxDepth, 20240501, TimeText(std::time(nullptr)));
        std::ofstream(s->path, std::ios::binary)
            .write(image.data(), static_cast<std::streamsize>(image.size()));

        s->store = std::make_unique<TreeStore>(folder);
        if (!s->store->Open(s->path)) std::abort();
        s->store->BuildOutline();
        s->last = s->store->NodeCount() - 1;
        NodeFields marked;
        marked.body = s->store->ReadNode(s->last, kFieldBody) + " " + kMarker;
        if (!s->store->UpdateNode(s->last, marked)) std::abort();
        s->model = std::make_unique<OutlineModel>(s->store.get());
        s->model->reload();
        // A window with the tree in it, so that processing events is what it costs in the
        // program.
        s->view = std::make_unique<QTreeView>();
        s->view->setModel(s->model.get());
        s->view->resize(400, 600);
        s->view->show();
        QCoreApplication::processEvents();

        std::fprintf(stderr, "notebook: %d notes, %.1f MB in %s\n", kNotes,
                     static_cast<double>(s->store->DataSize()) / 1e6, s->path.c_str());
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(Notebook().folder, ignored);
        });
        return s;
    }();
    return *shared;
}

struct Kind {
    const char* name;
    const char* pattern;
    MatchOptions options;
};
const Kind kKinds[] = {
    {"substring", kMarker, {false, false, false}},
    {"ignore_case", "ZQXJV", {true, false, false}},
    {"regex", "zq[a-z]jv", {false, false, true}},
};

// Between-records callbacks: none, the window's pump (events every 10 ms), events every note.
enum class Pump { kNone, kWindow, kEveryNote };
const char* PumpName(Pump pump) {
    switch (pump) {
        case Pump::kNone:
            return "bare";
        case Pump::kWindow:
            return "pump_10ms";
        case Pump::kEveryNote:
            return "events_every_note";
    }
    return "";
}

void TitleSearch(benchmark::State& state, const Kind& kind, int selected) {
    Shared& nb = Notebook();
    NoteSearch search(nb.store.get(), nb.model.get());
    for (auto _ : state) {
        if (search.findTitle(kMissing, kind.options, selected).index != -1) {
            state.SkipWithError("found the missing text");
        }
    }
}

void TitleSearchToLast(benchmark::State& state) {
    Shared& nb = Notebook();
    NoteSearch search(nb.store.get(), nb.model.get());
    const std::string title = nb.model->row(nb.last)->title;
    for (auto _ : state) {
        if (search.findTitle(title, MatchOptions{}, 0).index != nb.last) {
            state.SkipWithError("missed the last note");
        }
    }
}

void BodySearch(benchmark::State& state, const Kind& kind, Pump pump) {
    Shared& nb = Notebook();
    NoteSearch search(nb.store.get(), nb.model.get());
    int rounds = 0;
    for (auto _ : state) {
        EventPump windowPump;
        std::function<void()> between;
        if (pump == Pump::kWindow) between = [&windowPump] { windowPump(); };
        if (pump == Pump::kEveryNote) between = [] { QCoreApplication::processEvents(); };
        const SearchResult result = search.findTitleOrBody(kind.pattern, kind.options, 0, between);
        if (result.index != nb.last || result.matchedPart != 2) {
            state.SkipWithError("missed the last note");
        }
        rounds += windowPump.rounds();
    }
    if (pump == Pump::kWindow) {
        state.counters["event_rounds"] =
            benchmark::Counter(rounds, benchmark::Counter::kAvgIterations);
    }
}

void Memmem(benchmark::State& state) {
    const std::string& image = Notebook().store->image();
    for (auto _ : state) {
        const void* hit = memmem(image.data(), image.size(), kMarker, sizeof kMarker - 1);
        if (hit == nullptr) state.SkipWithError("marker missing");
        benchmark::DoNotOptimize(hit);
    }
}

// Time from setting the stop flag (in the callback, half-way) to the search returning.
void StopFromCallback(benchmark::State& state) {
    Shared& nb = Notebook();
    NoteSearch search(nb.store.get(), nb.model.get());
    for (auto _ : state) {
        search.clearStop();
        int visited = 0;
        Clock::time_point stopped;
        EventPump pump;
        search.findTitleOrBody(kMissing, MatchOptions{}, 0, [&] {
            pump();
            if (++visited == kNotes / 2) {
                stopped = Clock::now();
                search.requestStop();
            }
        });
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - stopped).count());
    }
}

// Time from a click posted to the window's queue (from another thread, 30 ms into the search)
// to the search returning: the event waits for the pump, whose handler sets the stop flag.
void StopFromPostedClick(benchmark::State& state, Pump pump) {
    Shared& nb = Notebook();
    NoteSearch search(nb.store.get(), nb.model.get());
    QObject receiver;
    for (auto _ : state) {
        search.clearStop();
        std::atomic<int64_t> postedAt{0};
        std::thread clicker([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            postedAt = Clock::now().time_since_epoch().count();
            QMetaObject::invokeMethod(
                &receiver, [&search] { search.requestStop(); }, Qt::QueuedConnection);
        });
        EventPump windowPump;
        std::function<void()> between = [&windowPump] { windowPump(); };
        if (pump == Pump::kEveryNote) between = [] { QCoreApplication::processEvents(); };
        const SearchResult result = search.findTitleOrBody(kMissing, MatchOptions{}, 0, between);
        const Clock::time_point returned = Clock::now();
        clicker.join();
        if (result.status != SearchResult::Status::kStopped) {
            state.SkipWithError("the search ended before the click");
            break;
        }
        const Clock::time_point posted{Clock::duration(postedAt.load())};
        state.SetIterationTime(std::chrono::duration<double>(returned - posted).count());
    }
}

// Collects the mean times for the summary against memmem and the goals. The machine may be
// shared: the CPU time of this process is printed beside the wall time, and for the searches
// it is the fairer figure (a stop's latency is wall time by nature).
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    SummaryReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_Defaults : OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
            // Milliseconds, whatever unit the run printed in.
            const double toMs = 1e3 / benchmark::GetTimeUnitMultiplier(run.time_unit);
            times_[run.run_name.function_name] = {run.GetAdjustedRealTime() * toMs,
                                                  run.GetAdjustedCPUTime() * toMs};
        }
    }

    void PrintSummary() const {
        const auto floor = times_.find("BodySearch/memmem");
        std::printf("\n%-40s %10s %10s %9s %9s  %s\n", "operation", "wall (ms)", "cpu (ms)",
                    "wall x", "cpu x", "against");
        for (const auto& [name, t] : times_) {
            const char* against = "";
            double wall = 0;
            double cpu = 0;
            if (name.rfind("BodySearch/", 0) == 0 && name != "BodySearch/memmem" &&
                floor != times_.end()) {
                against = "memmem (goal 2x)";
                wall = t.wall / floor->second.wall;
                cpu = t.cpu / floor->second.cpu;
            } else if (name.rfind("TitleSearch/", 0) == 0) {
                against = "20 ms (goal 1x)";
                wall = t.wall / 20;
                cpu = t.cpu / 20;
            } else if (name.rfind("Stop/", 0) == 0) {
                against = "100 ms (goal 1x)";
                wall = t.wall / 100;
            }
            if (name.rfind("Stop/", 0) == 0) {
                // The process's CPU time covers the whole search, not the latency.
                std::printf("%-40s %10.2f %10s %8.2fx %9s  %s\n", name.c_str(), t.wall, "-", wall,
                            "-", against);
            } else if (*against == '\0') {
                std::printf("%-40s %10.2f %10.2f\n", name.c_str(), t.wall, t.cpu);
            } else {
                std::printf("%-40s %10.2f %10.2f %8.2fx %8.2fx  %s\n", name.c_str(), t.wall, t.cpu,
                            wall, cpu, against);
            }
        }
    }

private:
    struct Times {
        double wall;
        double cpu;
    };
    std::map<std::string, Times> times_;
};

}  // namespace
}  // namespace qm

int main(int argc, char** argv) {
    using namespace qm;
    using benchmark::kMillisecond;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    Notebook();

    for (const Kind& kind : kKinds) {
        benchmark::RegisterBenchmark(
            (std::string("TitleSearch/all_items_no_hit/") + kind.name).c_str(),
            [&kind](benchmark::State& s) { TitleSearch(s, kind, -1); })
            ->Unit(kMillisecond)
            ->MinTime(0.5);
    }
    benchmark::RegisterBenchmark("TitleSearch/no_hit_two_passes/substring",
                                 [](benchmark::State& s) { TitleSearch(s, kKinds[0], 0); })
        ->Unit(kMillisecond)
        ->MinTime(0.5);
    benchmark::RegisterBenchmark("TitleSearch/to_last_item/substring", TitleSearchToLast)
        ->Unit(kMillisecond)
        ->MinTime(0.5);
    for (const Kind& kind : kKinds) {
        for (const Pump pump : {Pump::kNone, Pump::kWindow, Pump::kEveryNote}) {
            benchmark::RegisterBenchmark(
                (std::string("BodySearch/") + kind.name + "/" + PumpName(pump)).c_str(),
                [&kind, pump](benchmark::State& s) { BodySearch(s, kind, pump); })
                ->Unit(kMillisecond)
                ->Iterations(pump == Pump::kEveryNote || kind.options.useRegex ? 3 : 10);
        }
    }
    benchmark::RegisterBenchmark("BodySearch/memmem", Memmem)->Unit(kMillisecond)->MinTime(0.5);
    benchmark::RegisterBenchmark("Stop/flag_set_in_callback", StopFromCallback)
        ->Unit(kMillisecond)
        ->UseManualTime()
        ->Iterations(5);
    for (const Pump pump : {Pump::kWindow, Pump::kEveryNote}) {
        benchmark::RegisterBenchmark((std::string("Stop/posted_click/") + PumpName(pump)).c_str(),
                                     [pump](benchmark::State& s) { StopFromPostedClick(s, pump); })
            ->Unit(kMillisecond)
            ->UseManualTime()
            ->Iterations(10);
    }

    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintSummary();
    benchmark::Shutdown();
    return 0;
}
