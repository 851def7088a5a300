#include "tools/speech/wave_format.h"

#include <gtest/gtest.h>

#include "tools/speech/speech_engine.h"

namespace qm {
namespace {

TEST(WaveFormatTest, ItemsRunThroughRatesThenBitsAndChannels) {
    struct Case {
        int item;
        int rate, bits, channels;
        const char* caption;
    } cases[] = {
        {0, 8000, 8, 1, "8kHz 8位单声道"},
        {1, 8000, 8, 2, "8kHz 8位双声道"},
        {2, 8000, 16, 1, "8kHz 16位单声道"},
        {3, 8000, 16, 2, "8kHz 16位双声道"},
        {4, 11025, 8, 1, "11kHz 8位单声道"},
        {18, 22050, 16, 1, "22kHz 16位单声道"},
        {29, 44100, 8, 2, "44kHz 8位双声道"},
        {35, 48000, 16, 2, "48kHz 16位双声道"},
        {-1, 0, 0, 0, ""},
        {36, 0, 0, 0, ""},
    };
    for (const Case& c : cases) {
        const WaveFormat f = WaveFormatAt(c.item);
        EXPECT_EQ(f.sampleRate, c.rate) << c.item;
        EXPECT_EQ(f.bits, c.bits) << c.item;
        EXPECT_EQ(f.channels, c.channels) << c.item;
        EXPECT_EQ(WaveFormatCaption(c.item), c.caption) << c.item;
    }
    EXPECT_EQ(WaveFormatCaption(kDefaultWaveFormat), "8kHz 16位双声道");
}

TEST(WaveFormatTest, CaptionListHoldsAllItemsBetweenLineBreaks) {
    const std::string all = WaveFormatCaptions();
    size_t breaks = 0;
    for (size_t at = all.find("\r\n"); at != std::string::npos; at = all.find("\r\n", at + 2)) {
        ++breaks;
    }
    EXPECT_EQ(breaks, 35u);
    EXPECT_EQ(all.rfind("8kHz 8位单声道\r\n8kHz 8位双声道", 0), 0u);
    EXPECT_EQ(all.substr(all.size() - std::string("48kHz 16位双声道").size()), "48kHz 16位双声道");
}

TEST(RateScaleTest, StepsAreAConstantFactorWithinTheEnginesRange) {
    struct Case {
        int rate, wpm;
    } cases[] = {{0, 175},  {-2, 140}, {2, 218},  {-5, 101}, {5, 303},
                 {10, 450}, {-10, 80}, {99, 450}, {-99, 80}};
    for (const Case& c : cases) EXPECT_EQ(RateToWordsPerMinute(c.rate), c.wpm) << c.rate;
    for (int r = -9; r <= 10; ++r) EXPECT_GE(RateToWordsPerMinute(r), RateToWordsPerMinute(r - 1));
}

}  // namespace
}  // namespace qm
