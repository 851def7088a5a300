// The speech engine on the eSpeak NG library. eSpeak NG keeps one global synthesizer per
// process, so this engine is a process-wide instance and serializes its syntheses.
#pragma once

#include <memory>
#include <mutex>

#include "tools/speech/speech_engine.h"

namespace qm {

class EspeakEngine : public SpeechEngine {
public:
    // The program's engine; nullptr when eSpeak NG cannot start (no voice data installed).
    static EspeakEngine* Instance();

    // Descriptions are "<voice name> (<language>)"; the Mandarin voice comes first, the others
    // in eSpeak's order.
    std::vector<std::string> ListVoices() override;
    bool SelectVoice(std::string_view description) override;
    void SetRate(int rate) override;
    void SetVolume(int volume) override;
    int SampleRate() const override { return sampleRate_; }
    bool Synthesize(std::string_view utf8, const AudioSink& audio, const WordSink& words,
                    const std::atomic<bool>* stop = nullptr) override;

    // The description of the Mandarin voice; empty when it is not installed.
    std::string MandarinVoice();

private:
    explicit EspeakEngine(int sampleRate) : sampleRate_(sampleRate) {}
    struct Voice {
        std::string description;
        std::string name;  // what espeak_SetVoiceByName takes
        std::string language;
    };
    std::vector<Voice> voices();

    const int sampleRate_;
    std::mutex mutex_;
    std::string voiceName_;
    int wordsPerMinute_ = 175;
    int volume_ = 100;
};

}  // namespace qm
