#include "tools/speech/wave_writer.h"

#include <sndfile.h>
#include <soxr.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "tools/speech/speech_engine.h"

namespace qm {

struct WaveWriter::Handles {
    SNDFILE* file = nullptr;
    soxr_t resampler = nullptr;
    ~Handles() {
        if (resampler != nullptr) soxr_delete(resampler);
        if (file != nullptr) sf_close(file);
    }
};

WaveWriter::WaveWriter(const std::string& path, int sourceRate, const WaveFormat& format)
    : handles_(std::make_unique<Handles>()), path_(path), format_(format) {
    if (format.sampleRate <= 0 || sourceRate <= 0 || path.empty()) return;
    std::string pattern = path + ".XXXXXX";
    const int fd = mkstemp(pattern.data());
    if (fd < 0) return;
    temporary_ = pattern;
    fchmod(fd, 0644);  // mkstemp's 0600 would keep the sound from other programs

    SF_INFO info{};
    info.samplerate = format.sampleRate;
    info.channels = format.channels;
    info.format = SF_FORMAT_WAV | (format.bits == 8 ? SF_FORMAT_PCM_U8 : SF_FORMAT_PCM_16);
    handles_->file = sf_open_fd(fd, SFM_WRITE, &info, SF_TRUE);
    if (handles_->file == nullptr) {
        close(fd);
        return;
    }
    if (sourceRate != format.sampleRate) {
        const soxr_io_spec_t io = soxr_io_spec(SOXR_INT16_I, SOXR_INT16_I);
        const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
        soxr_error_t error = nullptr;
        handles_->resampler =
            soxr_create(sourceRate, format.sampleRate, 1, &error, &io, &quality, nullptr);
        if (error != nullptr) return;
        ratio_ = static_cast<double>(format.sampleRate) / sourceRate;
    }
    ok_ = true;
}

WaveWriter::~WaveWriter() {
    handles_.reset();
    if (!committed_ && !temporary_.empty()) std::remove(temporary_.c_str());
}

void WaveWriter::put(const int16_t* samples, size_t count) {
    if (!ok_ || count == 0) return;
    if (format_.channels == 1) {
        ok_ = sf_write_short(handles_->file, samples, static_cast<sf_count_t>(count)) ==
              static_cast<sf_count_t>(count);
        return;
    }
    std::vector<int16_t> stereo(count * 2);
    for (size_t i = 0; i < count; ++i) stereo[2 * i] = stereo[2 * i + 1] = samples[i];
    ok_ = sf_writef_short(handles_->file, stereo.data(), static_cast<sf_count_t>(count)) ==
          static_cast<sf_count_t>(count);
}

void WaveWriter::write(const int16_t* samples, size_t count) {
    if (!ok_) return;
    if (handles_->resampler == nullptr) {
        put(samples, count);
        return;
    }
    std::vector<int16_t> out(static_cast<size_t>(count * ratio_) + 64);
    size_t done = 0;
    size_t produced = 0;
    while (ok_) {
        const size_t left = count - done;
        size_t consumed = 0;
        // A null input with no length flushes the resampler's tail.
        if (soxr_process(handles_->resampler, samples == nullptr ? nullptr : samples + done, left,
                         &consumed, out.data(), out.size(), &produced) != nullptr) {
            ok_ = false;
            return;
        }
        put(out.data(), produced);
        done += consumed;
        if (samples != nullptr && consumed == 0 && produced == 0) break;  // nothing moves
        if (samples != nullptr ? done >= count && produced < out.size() : produced == 0) break;
    }
}

bool WaveWriter::commit() {
    if (!ok_) return false;
    if (handles_->resampler != nullptr) write(nullptr, 0);
    if (!ok_) return false;
    sf_write_sync(handles_->file);
    const bool closed = sf_close(handles_->file) == 0;
    handles_->file = nullptr;
    if (!closed) return false;
    if (std::rename(temporary_.c_str(), path_.c_str()) != 0) return false;
    committed_ = true;
    return true;
}

bool SaveSpeechToWave(SpeechEngine& engine, std::string_view utf8, int formatItem,
                      const std::string& path, const std::atomic<bool>* stop) {
    const WaveFormat format = WaveFormatAt(formatItem);
    if (format.sampleRate == 0) return false;
    WaveWriter writer(path, engine.SampleRate(), format);
    if (!writer.ok()) return false;
    const bool spoken = engine.Synthesize(
        utf8, [&](const int16_t* samples, size_t count) { writer.write(samples, count); },
        [](const WordMark&) {}, stop);
    if (!spoken) return false;
    return writer.commit();
}

}  // namespace qm
