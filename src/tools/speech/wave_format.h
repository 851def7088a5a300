// The 36 WAV formats speech can be saved in: nine sample rates from 8 to 48 kHz, each as 8-bit
// mono, 8-bit stereo, 16-bit mono and 16-bit stereo, with the captions the format list shows.
#pragma once

#include <string>

namespace qm {

struct WaveFormat {
    int sampleRate = 0;
    int bits = 0;
    int channels = 0;
};

inline constexpr int kWaveFormatCount = 36;
// The item selected when none was chosen before: "8kHz 16位双声道".
inline constexpr int kDefaultWaveFormat = 3;

// The format of list item `item` (0 to 35); all zero for an item outside the list.
WaveFormat WaveFormatAt(int item);
// The caption of item `item` (UTF-8), "8kHz 8位单声道" to "48kHz 16位双声道"; empty outside.
std::string WaveFormatCaption(int item);
// All 36 captions joined by CR LF, the form the list is filled from.
std::string WaveFormatCaptions();

}  // namespace qm
