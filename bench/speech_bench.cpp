// Speech to a WAV file: a 10,000-character Chinese note spoken into a 16 kHz 16-bit mono WAV
// file, its time beside the real-time length of the audio, beside synthesis alone (the
// baseline, same run: what resampling and writing add), and the window's longest stall while
// the save runs on its worker thread (a 1 ms timer on the window's thread measures the gaps),
// beside the longest gap of the same window left idle for as long (the baseline: what the
// machine's other load alone costs the window).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "app/speech/speech_voice.h"
#include "time_keeping_reporter.h"
#include "tools/speech/espeak_engine.h"
#include "tools/speech/wave_writer.h"

namespace qm {
namespace {

constexpr int kChars = 10000;
constexpr int kItem16kMono16 = 14;  // "16kHz 16位单声道"

// Chinese prose-like text: common characters, a comma or full stop every few words and a line
// break every few sentences.
const std::string& ChineseNote() {
    static const std::string text = [] {
        const std::u32string pool =
            U"的一是在不了有和人这中大为上个国我以要他时来用们生到作地于出就分对成会可主发年动"
            U"同工也能下过子说产种面而方后多定行学法所民得经十三之进着等部度家电力里如水化高自"
            U"二理起小物现实加量都两体制机当使点从业本去把性好应开它合还因由其些然前外天政四日";
        std::u32string out;
        unsigned seed = 12345;
        for (int i = 0; static_cast<int>(out.size()) < kChars; ++i) {
            seed = seed * 1103515245u + 12345u;
            out += pool[(seed >> 8) % pool.size()];
            if (i % 11 == 10) out += U'，';
            if (i % 37 == 36) out += U'。';
            if (i % 150 == 149) out += U"\r\n";
        }
        out.resize(kChars);
        std::string utf8;
        for (char32_t c : out) {
            if (c < 0x80) {
                utf8 += static_cast<char>(c);
            } else if (c < 0x800) {
                utf8 += static_cast<char>(0xC0 | (c >> 6));
                utf8 += static_cast<char>(0x80 | (c & 0x3F));
            } else {
                utf8 += static_cast<char>(0xE0 | (c >> 12));
                utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
                utf8 += static_cast<char>(0x80 | (c & 0x3F));
            }
        }
        return utf8;
    }();
    return text;
}

EspeakEngine& Engine() {
    EspeakEngine* engine = EspeakEngine::Instance();
    if (engine == nullptr) std::abort();
    engine->SelectVoice(engine->MandarinVoice());
    engine->SetRate(-2);  // "稍慢语速", the list's first choice
    engine->SetVolume(100);
    return *engine;
}

std::string OutputPath() {
    return (std::filesystem::temp_directory_path() / "qm-speech-bench.wav").string();
}

void SetAudioCounters(benchmark::State& state, double audioSeconds) {
    state.counters["audio_s"] = audioSeconds;
    state.counters["x_realtime"] = benchmark::Counter(
        audioSeconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// Baseline: synthesis alone, the samples dropped.
void BM_SynthesisOnly(benchmark::State& state) {
    EspeakEngine& engine = Engine();
    int64_t samples = 0;
    for (auto _ : state) {
        samples = 0;
        engine.Synthesize(
            ChineseNote(), [&](const int16_t*, size_t n) { samples += n; }, [](const WordMark&) {});
    }
    SetAudioCounters(state, static_cast<double>(samples) / engine.SampleRate());
}
BENCHMARK(BM_SynthesisOnly)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

void BM_SaveToWave16k(benchmark::State& state) {
    EspeakEngine& engine = Engine();
    const std::string path = OutputPath();
    for (auto _ : state) {
        if (!SaveSpeechToWave(engine, ChineseNote(), kItem16kMono16, path)) {
            state.SkipWithError("save failed");
            return;
        }
    }
    const auto bytes = std::filesystem::file_size(path);
    SetAudioCounters(state, static_cast<double>(bytes - 44) / 2 / 16000);
    std::filesystem::remove(path);
}
BENCHMARK(BM_SaveToWave16k)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

// The longest gap between ticks of a 1 ms timer on the window's thread over `ms`, with
// nothing else to do on the thread.
double LongestGap(int ms) {
    double worstMs = 0;
    QEventLoop loop;
    QElapsedTimer sinceTick;
    QTimer beat;
    beat.setInterval(1);
    QObject::connect(&beat, &QTimer::timeout, [&] {
        worstMs = std::max(worstMs, sinceTick.nsecsElapsed() / 1e6);
        sinceTick.restart();
    });
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    sinceTick.start();
    beat.start();
    loop.exec();
    return worstMs;
}

double saveSeconds = 5;  // how long the last save took; the idle baseline watches as long

// Baseline: the idle window, watched for as long as the save below took.
void BM_IdleWindowStall(benchmark::State& state) {
    double worstMs = 0;
    for (auto _ : state) worstMs = LongestGap(static_cast<int>(saveSeconds * 1000));
    state.counters["max_stall_ms"] = worstMs;
}

// The same save as the window starts it, with the window's thread watched for stalls.
void BM_SaveToWave16kWindowStall(benchmark::State& state) {
    EspeakEngine& engine = Engine();
    const std::string path = OutputPath();
    double worstMs = 0;
    for (auto _ : state) {
        SpeechVoice voice(&engine);
        QEventLoop loop;
        QObject::connect(&voice, &SpeechVoice::saveFinished, &loop, &QEventLoop::quit);
        QElapsedTimer sinceTick;
        QTimer beat;
        beat.setInterval(1);
        QObject::connect(&beat, &QTimer::timeout, [&] {
            worstMs = std::max(worstMs, sinceTick.nsecsElapsed() / 1e6);
            sinceTick.restart();
        });
        voice.setVolume(100);
        voice.setRate(-2);
        sinceTick.start();
        beat.start();
        QElapsedTimer saveTime;
        saveTime.start();
        if (!voice.startSaving(ChineseNote(), kItem16kMono16, path)) {
            state.SkipWithError("save did not start");
            return;
        }
        loop.exec();
        saveSeconds = saveTime.nsecsElapsed() / 1e9;
    }
    state.counters["max_stall_ms"] = worstMs;
    std::filesystem::remove(path);
}
BENCHMARK(BM_SaveToWave16kWindowStall)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_IdleWindowStall)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

class Reporter : public bench::TimeKeepingReporter {
public:
    void Finalize() override {
        ConsoleReporter::Finalize();
        const double base = times_["BM_SynthesisOnly"];
        const double save = times_["BM_SaveToWave16k"];
        if (base > 0) std::printf("\nsave to 16 kHz WAV / synthesis alone: %.2fx\n", save / base);
    }
};

}  // namespace
}  // namespace qm

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    qm::Reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
