#include "tools/speech/wave_format.h"

namespace qm {

namespace {

struct Rate {
    int hertz;
    const char* caption;
};
constexpr Rate kRates[] = {{8000, "8"},   {11025, "11"}, {12000, "12"},
                           {16000, "16"}, {22050, "22"}, {24000, "24"},
                           {32000, "32"}, {44100, "44"}, {48000, "48"}};

bool InList(int item) { return item >= 0 && item < kWaveFormatCount; }

}  // namespace

WaveFormat WaveFormatAt(int item) {
    if (!InList(item)) return {};
    const int kind = item % 4;  // 8-bit mono, 8-bit stereo, 16-bit mono, 16-bit stereo
    return {kRates[item / 4].hertz, kind < 2 ? 8 : 16, kind % 2 == 0 ? 1 : 2};
}

std::string WaveFormatCaption(int item) {
    if (!InList(item)) return {};
    const WaveFormat format = WaveFormatAt(item);
    return std::string(kRates[item / 4].caption) + "kHz " + std::to_string(format.bits) + "位" +
           (format.channels == 1 ? "单声道" : "双声道");
}

std::string WaveFormatCaptions() {
    std::string text;
    for (int item = 0; item < kWaveFormatCount; ++item) {
        if (item > 0) text += "\r\n";
        text += WaveFormatCaption(item);
    }
    return text;
}

}  // namespace qm
