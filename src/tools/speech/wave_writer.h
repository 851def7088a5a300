// Writing synthesized speech into a WAV file: the engine's 16-bit mono samples are resampled
// (libsoxr) to the chosen rate and written through libsndfile, 8-bit as unsigned PCM, stereo
// as the mono channel twice. The file is written under a temporary name beside the target and
// renamed only when complete, so a failure never leaves half a file under the chosen name.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "tools/speech/wave_format.h"

namespace qm {

class SpeechEngine;

class WaveWriter {
public:
    // Opens a temporary file beside `path` for samples at `sourceRate`. ok() tells whether
    // that worked.
    WaveWriter(const std::string& path, int sourceRate, const WaveFormat& format);
    // Removes the temporary file unless commit() succeeded.
    ~WaveWriter();
    WaveWriter(const WaveWriter&) = delete;
    WaveWriter& operator=(const WaveWriter&) = delete;

    bool ok() const { return ok_; }
    // Resamples and writes `count` mono samples. A failure is remembered in ok().
    void write(const int16_t* samples, size_t count);
    // Flushes the resampler, closes and syncs the file and renames it to the target. Returns
    // false (and removes the temporary file) when anything failed on the way.
    bool commit();

    const std::string& temporaryPath() const { return temporary_; }

private:
    void put(const int16_t* samples, size_t count);

    struct Handles;
    std::unique_ptr<Handles> handles_;
    std::string path_;
    std::string temporary_;
    WaveFormat format_;
    double ratio_ = 1;
    bool ok_ = false;
    bool committed_ = false;
};

// Speaks `utf8` with `engine` into a WAV file of list item `formatItem` at `path`. Returns
// false when the format is unknown, the engine fails, `stop` is set or the file cannot be
// written; the target is then left as it was.
bool SaveSpeechToWave(SpeechEngine& engine, std::string_view utf8, int formatItem,
                      const std::string& path, const std::atomic<bool>* stop = nullptr);

}  // namespace qm
