#include "tools/speech/wave_writer.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <filesystem>
#include <vector>

#include "support/temp_dir.h"
#include "tools/speech/speech_engine.h"

namespace qm {
namespace {

using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;

// An engine that "speaks" one 440 Hz tone of 0.2 s per character, at 22050 Hz, or fails.
class ToneEngine : public SpeechEngine {
public:
    bool fail = false;
    std::vector<std::string> ListVoices() override { return {"tone"}; }
    bool SelectVoice(std::string_view d) override { return d == "tone"; }
    void SetRate(int) override {}
    void SetVolume(int) override {}
    int SampleRate() const override { return 22050; }
    bool Synthesize(std::string_view utf8, const AudioSink& audio, const WordSink& words,
                    const std::atomic<bool>* stop) override {
        if (fail) return false;
        std::vector<int16_t> chunk(4410);
        for (size_t c = 0; c < utf8.size(); ++c) {
            if (stop != nullptr && stop->load()) return false;
            words(WordMark{static_cast<int64_t>(c * chunk.size()), static_cast<int>(c), 1});
            for (size_t i = 0; i < chunk.size(); ++i) {
                chunk[i] = static_cast<int16_t>(8000 * std::sin(2 * M_PI * 440 * i / 22050.0));
            }
            audio(chunk.data(), chunk.size());
        }
        return true;
    }
};

struct ReadBack {
    SF_INFO info{};
    std::vector<short> frames;  // interleaved
};

ReadBack Read(const std::string& path) {
    ReadBack r;
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &r.info);
    if (f == nullptr) return r;
    r.frames.resize(static_cast<size_t>(r.info.frames * r.info.channels));
    sf_readf_short(f, r.frames.data(), r.info.frames);
    sf_close(f);
    return r;
}

size_t FilesIn(const std::string& folder) {
    size_t n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(folder)) ++n;
    return n;
}

class WaveWriterFormatTest : public ::testing::TestWithParam<int> {};

TEST_P(WaveWriterFormatTest, HeaderMatchesTheItemAndTheSoundIsThere) {
    const int item = GetParam();
    const WaveFormat format = WaveFormatAt(item);
    TempDir dir;
    ToneEngine engine;
    const std::string path = dir.File("说话.wav");
    ASSERT_TRUE(SaveSpeechToWave(engine, "abcde", item, path));

    const ReadBack r = Read(path);
    EXPECT_EQ(r.info.samplerate, format.sampleRate);
    EXPECT_EQ(r.info.channels, format.channels);
    EXPECT_EQ(r.info.format & SF_FORMAT_TYPEMASK, SF_FORMAT_WAV);
    EXPECT_EQ(r.info.format & SF_FORMAT_SUBMASK,
              format.bits == 8 ? SF_FORMAT_PCM_U8 : SF_FORMAT_PCM_16);
    // One second of sound, resampled: within a few milliseconds of one second.
    EXPECT_NEAR(static_cast<double>(r.info.frames), format.sampleRate, format.sampleRate * 0.01);
    double sum = 0;
    bool channelsEqual = true;
    for (sf_count_t i = 0; i < r.info.frames; ++i) {
        const short left = r.frames[static_cast<size_t>(i * r.info.channels)];
        sum += static_cast<double>(left) * left;
        if (r.info.channels == 2) channelsEqual &= left == r.frames[static_cast<size_t>(i * 2 + 1)];
    }
    const double rms = std::sqrt(sum / static_cast<double>(r.info.frames));
    EXPECT_NEAR(rms, 8000 / std::sqrt(2.0), 300) << "the tone keeps its loudness";
    EXPECT_TRUE(channelsEqual) << "stereo is the mono channel twice";
    EXPECT_EQ(FilesIn(dir.path()), 1u) << "no temporary file is left";
}

INSTANTIATE_TEST_SUITE_P(AllItems, WaveWriterFormatTest, ::testing::Range(0, kWaveFormatCount));

TEST(WaveWriterTest, EightBitIsUnsignedWithSilenceAt128) {
    TempDir dir;
    const std::string path = dir.File("quiet.wav");
    WaveWriter writer(path, 8000, WaveFormatAt(0));
    const std::vector<int16_t> silence(800, 0);
    writer.write(silence.data(), silence.size());
    ASSERT_TRUE(writer.commit());
    const std::string bytes = ReadFileBytes(path);
    ASSERT_EQ(bytes.size(), 44u + 800u);
    for (size_t i = 44; i < bytes.size(); ++i) {
        ASSERT_EQ(static_cast<unsigned char>(bytes[i]), 128) << "at byte " << i;
    }
}

TEST(WaveWriterTest, FailureLeavesTheTargetAsItWas) {
    struct Case {
        const char* name;
        bool engineFails;
        bool stopped;
        int item;
    } cases[] = {{"engine fails", true, false, 3},
                 {"stopped", false, true, 3},
                 {"unknown format", false, false, 36}};
    for (const Case& c : cases) {
        TempDir dir;
        const std::string path = dir.File("old.wav");
        WriteFileBytes(path, "old content");
        ToneEngine engine;
        engine.fail = c.engineFails;
        std::atomic<bool> stop{c.stopped};
        EXPECT_FALSE(SaveSpeechToWave(engine, "abc", c.item, path, &stop)) << c.name;
        EXPECT_EQ(ReadFileBytes(path), "old content") << c.name;
        EXPECT_EQ(FilesIn(dir.path()), 1u) << c.name << ": the temporary file is removed";
    }
}

TEST(WaveWriterTest, UnwritableFolderFails) {
    ToneEngine engine;
    EXPECT_FALSE(SaveSpeechToWave(engine, "abc", 3, "/nonexistent-folder-qm/x.wav"));
    EXPECT_FALSE(std::filesystem::exists("/nonexistent-folder-qm/x.wav"));
}

}  // namespace
}  // namespace qm
