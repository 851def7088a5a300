// Cost of building the preview's page for a 3 MB note, against the bare work it cannot avoid.
//
// A page declaring a GBK charset is served as the note's bytes: compared with one copy of the
// same bytes (counter x_copy). Any other page is converted to UTF-8: compared with one bare
// GB18030-to-UTF-8 conversion of the same bytes (counter x_iconv). Both baselines are timed in
// the same iteration, outside the measured time; 1.0 means no cost beyond the baseline.
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

#include "common/charset.h"
#include "editor/preview/preview_snapshot.h"

namespace qm {
namespace {

constexpr size_t kNoteBytes = 3 * 1024 * 1024;

std::string Note(const char* head) {
    std::string html = Utf8ToGb18030(std::string("<html><head>") + head + "</head><body>");
    const std::string row =
        Utf8ToGb18030("<p>第一行，这是一段很长的笔记，含有中文和 ASCII text.</p>\r\n");
    while (html.size() < kNoteBytes) html += row;
    return html + "</body></html>";
}

template <typename Baseline>
void Run(benchmark::State& state, const std::string& note, Baseline baseline, const char* counter) {
    double measured = 0;
    double base = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        PreviewSnapshot snapshot = MakePreviewSnapshot(note);
        const auto end = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(snapshot);
        measured += std::chrono::duration<double>(end - start).count();

        state.PauseTiming();
        const auto baseStart = std::chrono::steady_clock::now();
        std::string copy = baseline(note);
        const auto baseEnd = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(copy);
        base += std::chrono::duration<double>(baseEnd - baseStart).count();
        state.ResumeTiming();
    }
    state.counters[counter] = base > 0 ? measured / base : 0;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * note.size()));
}

void BM_SnapshotGbkDeclared(benchmark::State& state) {
    static const std::string note = Note("<meta charset=\"gbk\">");
    Run(
        state, note, [](const std::string& text) { return std::string(text); }, "x_copy");
}
BENCHMARK(BM_SnapshotGbkDeclared)->Unit(benchmark::kMillisecond);

void BM_SnapshotUtf8Declared(benchmark::State& state) {
    static const std::string note = Note("<meta charset=\"utf-8\">");
    Run(
        state, note, [](const std::string& text) { return Gb18030ToUtf8(text); }, "x_iconv");
}
BENCHMARK(BM_SnapshotUtf8Declared)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace qm

BENCHMARK_MAIN();
