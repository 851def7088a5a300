// Folder import and export of a generated tree of 10,000 text files (about 50 MB: UTF-8, GBK,
// UTF-16 and a few gzip files) beside `cp -r` of the same trees in the same run: files per
// second, the ratio to cp -r, and the longest stretch between two steps (where the window
// processes its events and a stop request is read). With the window built, the same runs go
// through the real window's "导入" and "导出" (offscreen, or on the display QT_QPA_PLATFORM
// names): the longest gap between two ticks of a 1 ms timer on the window's thread, the longest
// wait of a posted event, and the time from a stop request to the run's end. The import runs
// twice: its records logged while read and sealed at the commit, and as one edit at the commit
// (the baseline, Import/ours-one-edit), with the time of that commit.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "common/charset.h"
#include "store/folder_export.h"
#include "store/folder_import.h"
#include "store/tree_store.h"
#include "time_keeping_reporter.h"

#ifdef QM_WINDOW_BENCH
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include "answer_probe.h"
#include "app/transfer/folder_transfer.h"
#include "app/trees/note_tree_view.h"
#include "app/trees/note_trees.h"
#include "app/widgets/file_dialog.h"
#include "app/widgets/message_box.h"
#include "bench_session.h"
#endif

namespace qm {
namespace {

namespace fs = std::filesystem;

constexpr int kFolders = 100;
constexpr int kFilesPerFolder = 100;
constexpr int kFiles = kFolders * kFilesPerFolder;
constexpr size_t kFileChars = 1700;  // about 5 KB of text per file

std::string Gzip(const std::string& bytes) {
    uLongf size = compressBound(static_cast<uLong>(bytes.size())) + 32;
    std::string out(size, '\0');
    z_stream z{};
    deflateInit2(&z, Z_BEST_SPEED, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    z.avail_in = static_cast<uInt>(bytes.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

void Write(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The work folder: the source tree, made once.
struct Workspace {
    fs::path root;
    fs::path source;
    size_t bytes = 0;

    Workspace() {
        root = fs::temp_directory_path() / ("qm-transfer-bench-" + std::to_string(getpid()));
        source = root / "资料";
        fs::create_directories(source);
        std::string utf8;
        const char* const words[] = {"笔记", "文件夹", "导入", "测试", "中文", "abc ", "\r\n"};
        for (size_t i = 0; utf8.size() < kFileChars * 3; ++i) utf8 += words[i % 7];
        for (int f = 0; f < kFolders; ++f) {
            const fs::path folder = source / ("文件夹" + std::to_string(f));
            fs::create_directories(folder);
            Write(folder / ".dirtxt", Utf8ToGb18030("文件夹说明"));
            for (int i = 0; i < kFilesPerFolder; ++i) {
                const std::string text = std::to_string(f * kFilesPerFolder + i) + utf8;
                std::string data;
                const int kind = i % 20;
                if (kind < 8) {
                    data = text;  // UTF-8 without a mark
                } else if (kind < 14) {
                    data = Utf8ToGb18030(text);
                } else if (kind < 19) {
                    std::string utf16;
                    ConvertCharset(text, "UTF-8", "UTF-16LE", "", &utf16);
                    data = "\xFF\xFE" + utf16;
                } else {
                    data = Gzip("\xEF\xBB\xBF" + text);
                }
                bytes += data.size();
                Write(folder / ("笔记" + std::to_string(i) + (i % 10 == 9 ? ".htm" : ".txt")),
                      data);
            }
        }
    }
    ~Workspace() {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
};

Workspace& Shared() {
    static Workspace workspace;
    return workspace;
}

void RemoveQuietly(const fs::path& path) {
    std::error_code ignored;
    fs::remove_all(path, ignored);
}

// A notebook holding only its root, in a fresh program folder.
std::unique_ptr<TreeStore> FreshNotebook(const fs::path& folder) {
    RemoveQuietly(folder);
    fs::create_directories(folder);
    auto store = std::make_unique<TreeStore>(folder.string());
    store->Open((folder / "笔记本.qm").string());
    store->BuildOutline();
    NodeFields root;
    root.title = Utf8ToGb18030("笔记本");
    root.image = 2;
    store->AddNode(std::nullopt, root);
    return store;
}

// Measures the longest stretch between two steps of a run.
struct StepClock {
    using Clock = std::chrono::steady_clock;
    Clock::time_point last = Clock::now();
    double longestMs = 0;
    void operator()() {
        const Clock::time_point now = Clock::now();
        longestMs =
            std::max(longestMs, std::chrono::duration<double, std::milli>(now - last).count());
        last = now;
    }
};

void SetCounters(benchmark::State& state, double longestStepMs) {
    state.counters["files/s"] =
        benchmark::Counter(kFiles, benchmark::Counter::kIsIterationInvariantRate);
    if (longestStepMs >= 0) state.counters["longest_step_ms"] = longestStepMs;
}

void CopyTree(benchmark::State& state, const fs::path& from) {
    const fs::path to = Shared().root / "copy";
    const std::string command = "cp -r '" + from.string() + "' '" + to.string() + "'";
    for (auto _ : state) {
        state.PauseTiming();
        RemoveQuietly(to);
        state.ResumeTiming();
        if (std::system(command.c_str()) != 0) state.SkipWithError("cp -r failed");
    }
    RemoveQuietly(to);
    SetCounters(state, -1);
}

// `logAhead`: the records go into the log while they are read and the commit seals them;
// without, the whole batch is one edit at the commit (the baseline of the same run).
void ImportOurs(benchmark::State& state, bool logAhead) {
    const fs::path folder = Shared().root / "program";
    double longest = 0;
    double commitMs = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::unique_ptr<TreeStore> store = FreshNotebook(folder);
        StepClock clock;
        ImportOptions options;
        options.logAhead = logAhead;
        options.control.betweenSteps = [&clock] { clock(); };
        state.ResumeTiming();
        // The reading part, where the window gets its events at every step, then the one
        // insertion into the file (synced), which the window waits for.
        const int depth = store->BeginBatch(0);
        ImportBatch batch(*store, options);
        batch.ImportFolderTree(depth, Shared().source.string());
        clock();
        const StepClock::Clock::time_point commitStart = StepClock::Clock::now();
        batch.Commit(0, depth);
        commitMs = std::max(commitMs, std::chrono::duration<double, std::milli>(
                                          StepClock::Clock::now() - commitStart)
                                          .count());
        if (batch.tally().files != kFiles) state.SkipWithError("not every file was imported");
        if (store->NodeCount() != kFiles + kFolders + 2) state.SkipWithError("records missing");
        longest = std::max(longest, clock.longestMs);
    }
    SetCounters(state, longest);
    state.counters["commit_ms"] = commitMs;
}

// The notebook after one import, exported again and again.
void ExportOurs(benchmark::State& state) {
    const fs::path folder = Shared().root / "program";
    std::unique_ptr<TreeStore> store = FreshNotebook(folder);
    ImportFolder(*store, 0, Shared().source.string(), {});
    const fs::path out = Shared().root / "exported";
    double longest = 0;
    for (auto _ : state) {
        state.PauseTiming();
        RemoveQuietly(out);
        fs::create_directories(out);
        StepClock clock;
        TransferControl control;
        control.betweenSteps = [&clock] { clock(); };
        state.ResumeTiming();
        const ExportResult result = ExportSubtree(*store, 1, out.string(), control);
        clock();
        if (result.failed != 0) state.SkipWithError("some notes were not written");
        longest = std::max(longest, clock.longestMs);
    }
    SetCounters(state, longest);
}

#ifdef QM_WINDOW_BENCH
// The longest time the window's thread went without getting to a 1 ms timer's tick.
class GapWatch {
public:
    GapWatch() {
        beat_.setTimerType(Qt::PreciseTimer);
        beat_.setInterval(1);
        QObject::connect(&beat_, &QTimer::timeout, [this] {
            longestMs_ = std::max(longestMs_, sinceTick_.nsecsElapsed() / 1e6);
            sinceTick_.restart();
        });
    }
    void start() {
        longestMs_ = 0;
        sinceTick_.start();
        beat_.start();
    }
    // The longest gap, counting the stretch from the last tick to now.
    double stop() {
        beat_.stop();
        return std::max(longestMs_, sinceTick_.nsecsElapsed() / 1e6);
    }

private:
    QTimer beat_;
    QElapsedTimer sinceTick_;
    double longestMs_ = 0;
};

// The real window on a fresh program folder whose notebook holds only its root, selected.
std::unique_ptr<Session> FreshWindow(const fs::path& folder) {
    RemoveQuietly(folder);
    fs::create_directories(folder);
    std::unique_ptr<Session> session = bench::StartBenchSession(folder.string());
    session->window().trees()->notebookView()->selectNode(0);
    QCoreApplication::processEvents();
    return session;
}

// "导入" of the source tree below the root; `stopAfterMs` >= 0 chooses "停止导入" that long
// after the start and reports how long the run took from there to its end.
void ImportThroughWindow(benchmark::State& state, int stopAfterMs) {
    const fs::path folder = Shared().root / "window";
    double longest = 0;
    double answer = 0;  // the longest wait of a posted event
    double stopMs = 0;
    int notes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::unique_ptr<Session> session = FreshWindow(folder);
        FolderTransfer& transfer = *session->window().transfer();
        MessageBox::setAnswerInAdvance(true);
        MessageBox::setNextAnswer(QMessageBox::No);  // file paths not kept
        FileDialog::setNextFileName(QString::fromStdString(Shared().source.string()));
        QElapsedTimer sinceStop;
        if (stopAfterMs >= 0) {
            QTimer::singleShot(stopAfterMs, &transfer, [&] {
                sinceStop.start();
                transfer.importCommand();
            });
        }
        GapWatch gaps;
        bench::AnswerProbe probe;
        state.ResumeTiming();
        gaps.start();
        probe.start();
        transfer.importCommand();
        longest = std::max(longest, gaps.stop());
        probe.stop();
        QCoreApplication::processEvents();
        answer = std::max(answer, probe.longestMs());
        if (sinceStop.isValid()) stopMs = std::max(stopMs, sinceStop.nsecsElapsed() / 1e6);
        state.PauseTiming();
        notes = session->window().trees()->notebook().NodeCount() - 1;
        session.reset();
        if (stopAfterMs < 0 && notes != kFiles + kFolders + 1) {
            state.SkipWithError("not every file was imported");
            break;
        }
        if (stopAfterMs >= 0 && !sinceStop.isValid()) {
            state.SkipWithError("ended before the stop");
            break;
        }
        state.ResumeTiming();
    }
    if (stopAfterMs < 0) SetCounters(state, -1);
    state.counters["longest_gap_ms"] = longest;
    state.counters["longest_answer_ms"] = answer;
    if (stopAfterMs >= 0) {
        state.counters["stop_to_end_ms"] = stopMs;
        state.counters["notes_read"] = notes;
    }
}

// "导出" of the imported tree; `stopAfterMs` as for the import.
void ExportThroughWindow(benchmark::State& state, int stopAfterMs) {
    const fs::path folder = Shared().root / "window";
    std::unique_ptr<Session> session = FreshWindow(folder);
    TreeStore& notebook = session->window().trees()->notebook();
    ImportFolder(notebook, 0, Shared().source.string(), {});
    session.reset();
    session = bench::StartBenchSession(folder.string());
    session->window().trees()->notebookView()->selectNode(1);
    QCoreApplication::processEvents();
    FolderTransfer& transfer = *session->window().transfer();
    const fs::path out = Shared().root / "exported-window";
    double longest = 0;
    double stopMs = 0;
    for (auto _ : state) {
        state.PauseTiming();
        RemoveQuietly(out);
        fs::create_directories(out);
        MessageBox::setAnswerInAdvance(true);
        FileDialog::setNextFileName(QString::fromStdString(out.string()));
        QElapsedTimer sinceStop;
        if (stopAfterMs >= 0) {
            QTimer::singleShot(stopAfterMs, &transfer, [&] {
                sinceStop.start();
                transfer.exportCommand();
            });
        }
        GapWatch gaps;
        state.ResumeTiming();
        gaps.start();
        transfer.exportCommand();
        longest = std::max(longest, gaps.stop());
        if (sinceStop.isValid()) stopMs = std::max(stopMs, sinceStop.nsecsElapsed() / 1e6);
        if (stopAfterMs >= 0 && !sinceStop.isValid()) state.SkipWithError("ended before the stop");
        if (stopAfterMs < 0) {
            state.PauseTiming();
            int files = 0;
            for (const auto& entry : fs::recursive_directory_iterator(out)) {
                files += entry.is_regular_file() ? 1 : 0;
            }
            // Every note: the files, and a ".dirtxt" for each folder and the top.
            if (files != kFiles + kFolders + 1) {
                state.SkipWithError("the export is incomplete");
                break;
            }
            state.ResumeTiming();
        }
    }
    RemoveQuietly(out);
    if (stopAfterMs < 0) SetCounters(state, -1);
    state.counters["longest_gap_ms"] = longest;
    if (stopAfterMs >= 0) state.counters["stop_to_end_ms"] = stopMs;
}
#endif

class RatioReporter : public bench::TimeKeepingReporter {
public:
    void PrintRatios() const {
        std::printf("\n%-10s %12s %14s %9s\n", "operation", "ours (ms)", "cp -r (ms)", "ratio");
        for (const char* op : {"Import", "Export"}) {
            const auto ours = times_.find(std::string(op) + "/ours");
            const auto copy = times_.find(std::string(op) + "/cp-r");
            if (ours == times_.end() || copy == times_.end()) continue;
            std::printf("%-10s %12.1f %14.1f %8.2fx  ours/cp -r\n", op, ours->second, copy->second,
                        ours->second / copy->second);
        }
    }
};

}  // namespace
}  // namespace qm

int main(int argc, char** argv) {
    using namespace qm;
#ifdef QM_WINDOW_BENCH
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
#endif
    benchmark::Initialize(&argc, argv);
    std::printf("source tree: %d files, %.1f MB\n", kFiles, Shared().bytes / 1e6);
    auto reg = [](const char* name, auto fn) {
        benchmark::RegisterBenchmark(name, fn)
            ->Unit(benchmark::kMillisecond)
            ->Iterations(3)
            ->UseRealTime();
    };
    reg("Import/cp-r", [](benchmark::State& s) { CopyTree(s, Shared().source); });
    reg("Import/ours", [](benchmark::State& s) { ImportOurs(s, true); });
    reg("Import/ours-one-edit", [](benchmark::State& s) { ImportOurs(s, false); });
    reg("Export/ours", ExportOurs);
    // cp -r of the tree the export writes (its files hold GB18030 text).
    reg("Export/cp-r", [](benchmark::State& s) { CopyTree(s, Shared().root / "exported"); });
#ifdef QM_WINDOW_BENCH
    reg("Import/window", [](benchmark::State& s) { ImportThroughWindow(s, -1); });
    reg("ImportStop/window", [](benchmark::State& s) { ImportThroughWindow(s, 300); });
    reg("Export/window", [](benchmark::State& s) { ExportThroughWindow(s, -1); });
    reg("ExportStop/window", [](benchmark::State& s) { ExportThroughWindow(s, 300); });
#endif
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios();
    benchmark::Shutdown();
    return 0;
}
