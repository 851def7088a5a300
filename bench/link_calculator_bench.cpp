// Link styling while typing and the line calculator. A note of 10,000 lines with links on
// every fifth: the restyle work after one keystroke (one line), and a full restyle beside one
// pass of the link pattern over the same text (counter x_pattern_pass, the goal is under 3).
// One calculator rewrite of a 200-character expression beside one match of its "+" level over
// it (counter x_one_match).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <chrono>
#include <string>

#include "editor/link_styler.h"
#include "editor/note_editor.h"
#include "store/regex.h"
#include "time_keeping_reporter.h"
#include "tools/calculator/calculator.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from) {
    return std::chrono::duration<double>(Clock::now() - from).count();
}

std::string NoteText(int lines) {
    std::string text;
    for (int i = 0; i < lines; ++i) {
        if (i % 5 == 0) {
            text += "see https://example.cn/page/" + std::to_string(i) + "?q=1 and qm:\\a\\b\r\n";
        } else {
            text += "plain words of a note, line " + std::to_string(i) + " with some more text\r\n";
        }
    }
    return text;
}

void BM_RestyleAfterKeystroke(benchmark::State& state) {
    qm::NoteEditor editor;
    qm::LinkStyler styler(editor);
    editor.setText(NoteText(10000));
    const int line = 5000;
    editor.showRange(editor.lineEndPosition(line), 0);
    styler.onUpdateUI();
    for (auto _ : state) {
        state.PauseTiming();
        editor.insertText("x");  // the keystroke itself is the editor's work
        state.ResumeTiming();
        styler.onUpdateUI();
    }
}
BENCHMARK(BM_RestyleAfterKeystroke)->Unit(benchmark::kMicrosecond);

void BM_FullRestyle(benchmark::State& state) {
    qm::NoteEditor editor;
    qm::LinkStyler styler(editor);
    const std::string text = NoteText(10000);
    editor.setText(text);
    qm::Regex pattern;
    pattern.Compile(qm::LinkPattern::kPattern, true, true);
    std::vector<qm::RegexMatch> matches;
    double restyle = 0;
    double pass = 0;
    for (auto _ : state) {
        auto start = Clock::now();
        styler.restyleAll();
        restyle += Seconds(start);
        state.PauseTiming();
        start = Clock::now();
        benchmark::DoNotOptimize(pattern.AllMatches(text, &matches));
        pass += Seconds(start);
        state.ResumeTiming();
    }
    state.counters["x_pattern_pass"] = restyle / pass;
    state.counters["links"] = static_cast<double>(matches.size());
}
BENCHMARK(BM_FullRestyle)->Unit(benchmark::kMillisecond);

void BM_CalculatorRewrite200(benchmark::State& state) {
    const qm::Calculator calculator;
    std::string line;
    for (int i = 1; line.size() < 196; ++i) line += std::to_string(i % 97) + "*2.5-3/4+";
    line += "1.25";
    line.resize(200);
    line.back() = '1';
    qm::Regex level;
    level.Compile(R"(((?<!\d)\-[\d\.]+|[\d\.]+)(\+|\-)((?<!\d)\-[\d\.]+|[\d\.]+))", true, true);
    double rewrite = 0;
    double match = 0;
    for (auto _ : state) {
        auto start = Clock::now();
        benchmark::DoNotOptimize(calculator.rewrite(line));
        rewrite += Seconds(start);
        state.PauseTiming();
        start = Clock::now();
        benchmark::DoNotOptimize(level.FirstMatch(line, nullptr));
        match += Seconds(start);
        state.ResumeTiming();
    }
    state.counters["x_one_match"] = rewrite / match;
    state.counters["chars"] = static_cast<double>(line.size());
}
BENCHMARK(BM_CalculatorRewrite200)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    qm::bench::TimeKeepingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
