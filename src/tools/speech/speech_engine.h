// The one small interface every speech engine offers: voices by description, rate and volume,
// and synthesis of UTF-8 text into 16-bit mono samples with the position of each word. Playback
// and WAV files are built on top of it, so a second engine only has to fill this in.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

// A word the engine is about to speak: where its sound starts, and where it stands in the
// text given to Synthesize, counted in characters (Unicode code points; a CR LF is two).
struct WordMark {
    int64_t sample = 0;
    int position = 0;  // 0-based
    int length = 0;
};

class SpeechEngine {
public:
    using AudioSink = std::function<void(const int16_t* samples, size_t count)>;
    using WordSink = std::function<void(const WordMark& word)>;

    virtual ~SpeechEngine() = default;

    // Readable descriptions of the installed voices (UTF-8), in the engine's order.
    virtual std::vector<std::string> ListVoices() = 0;
    // Makes the first voice with this description the voice of later syntheses. Returns false
    // and keeps the current voice when there is none.
    virtual bool SelectVoice(std::string_view description) = 0;
    // Speed on the scale -10 (slowest) to 10 (fastest), 0 normal; clamped.
    virtual void SetRate(int rate) = 0;
    // Loudness 0 to 100; clamped.
    virtual void SetVolume(int volume) = 0;
    // Samples per second of what Synthesize produces.
    virtual int SampleRate() const = 0;

    // Speaks `utf8` into `audio` (16-bit mono at SampleRate()), reporting each word to `words`
    // before its samples. Blocks until the text is spoken or `stop` becomes true. Returns false
    // when the engine failed or was stopped. Thread-safe: calls are serialized.
    virtual bool Synthesize(std::string_view utf8, const AudioSink& audio, const WordSink& words,
                            const std::atomic<bool>* stop = nullptr) = 0;
};

// Words per minute for a rate on the -10..10 scale: 175 at 0, three times faster at 10 and
// three times slower at -10 (each step a constant factor), clamped to what the engine takes.
int RateToWordsPerMinute(int rate);

}  // namespace qm
