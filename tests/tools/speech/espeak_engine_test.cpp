#include "tools/speech/espeak_engine.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>

namespace qm {
namespace {

EspeakEngine& Engine() {
    EspeakEngine* engine = EspeakEngine::Instance();
    if (engine == nullptr) ADD_FAILURE() << "eSpeak NG did not start (espeak-ng-data missing?)";
    return *engine;
}

TEST(EspeakEngineTest, MandarinLeadsTheVoiceList) {
    const auto voices = Engine().ListVoices();
    ASSERT_GT(voices.size(), 1u);
    EXPECT_EQ(voices.front(), Engine().MandarinVoice());
    EXPECT_NE(voices.front().find("(cmn)"), std::string::npos) << voices.front();
    EXPECT_TRUE(Engine().SelectVoice(voices.front()));
    EXPECT_FALSE(Engine().SelectVoice("no such voice"));
}

TEST(EspeakEngineTest, WordsOfChineseWithLineBreaksStandAtTheirCharacters) {
    ASSERT_TRUE(Engine().SelectVoice(Engine().MandarinVoice()));
    Engine().SetRate(0);
    Engine().SetVolume(100);
    // 你0 好1 。2 CR3 LF4 世5 界6: a line break is two characters.
    std::vector<WordMark> words;
    int64_t samples = 0;
    double energy = 0;
    ASSERT_TRUE(Engine().Synthesize(
        "你好。\r\n世界",
        [&](const int16_t* s, size_t n) {
            for (size_t i = 0; i < n; ++i) energy += static_cast<double>(s[i]) * s[i];
            samples += static_cast<int64_t>(n);
        },
        [&](const WordMark& w) { words.push_back(w); }));
    std::vector<int> positions;
    for (const WordMark& w : words) positions.push_back(w.position);
    EXPECT_EQ(positions, (std::vector<int>{0, 1, 5, 6}));
    for (size_t i = 1; i < words.size(); ++i) EXPECT_GT(words[i].sample, words[i - 1].sample);
    EXPECT_GT(samples, Engine().SampleRate() / 2) << "four syllables last over half a second";
    EXPECT_GT(std::sqrt(energy / static_cast<double>(samples)), 300) << "not silent";
}

TEST(EspeakEngineTest, FasterRateGivesShorterSpeechAndStopEndsIt) {
    ASSERT_TRUE(Engine().SelectVoice(Engine().MandarinVoice()));
    auto length = [](int rate) {
        Engine().SetRate(rate);
        int64_t n = 0;
        Engine().Synthesize(
            "今天天气很好", [&](const int16_t*, size_t c) { n += c; }, [](const WordMark&) {});
        return n;
    };
    EXPECT_LT(length(5), length(-5));

    std::atomic<bool> stop{false};
    int64_t n = 0;
    const bool done = Engine().Synthesize(
        "今天天气很好，我们去公园散步吧。今天天气很好，我们去公园散步吧。",
        [&](const int16_t*, size_t c) {
            n += c;
            stop = true;
        },
        [](const WordMark&) {}, &stop);
    EXPECT_FALSE(done);
    EXPECT_LT(n, Engine().SampleRate()) << "stopped after its first chunk";
}

// A save synthesizes for seconds on a worker thread; the window meanwhile lists voices (F5),
// and sets voice, rate and volume. None of that may wait for the synthesis to end.
TEST(EspeakEngineTest, VoicesAndSettingsDoNotWaitForARunningSynthesis) {
    std::atomic<bool> inside{false};
    std::atomic<bool> release{false};
    std::thread synthesis([&] {
        Engine().Synthesize(
            "你好世界",
            [&](const int16_t*, size_t) {
                inside = true;
                while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            },
            [](const WordMark&) {});
    });
    while (!inside) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    // The synthesis is held inside eSpeak now; these would wait for it before.
    const auto voices = Engine().ListVoices();
    EXPECT_GT(voices.size(), 1u);
    EXPECT_TRUE(Engine().SelectVoice(Engine().MandarinVoice()));
    EXPECT_FALSE(Engine().SelectVoice("no such voice"));
    Engine().SetRate(3);
    Engine().SetVolume(50);
    release = true;
    synthesis.join();
    Engine().SetRate(0);
    Engine().SetVolume(100);
}

}  // namespace
}  // namespace qm
