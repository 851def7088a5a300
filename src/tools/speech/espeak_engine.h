// The speech engine on the eSpeak NG library. eSpeak NG keeps one global synthesizer per
// process, so this engine is a process-wide instance and serializes its syntheses. The voice
// list is read once when the engine starts, so that listing or choosing voices and setting
// rate or volume never wait for a synthesis running on another thread.
#pragma once

#include <memory>
#include <mutex>

#include "tools/speech/speech_engine.h"

namespace qm {

class EspeakEngine : public SpeechEngine {
public:
    // The program's engine, started on the first call (25-35 ms); nullptr when eSpeak NG
    // cannot start (no voice data installed).
    static EspeakEngine* Instance();
    // True once Instance() has started eSpeak NG in this process.
    static bool Started();

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
    struct Voice {
        std::string description;
        std::string name;  // what espeak_SetVoiceByName takes
        std::string language;
    };
    EspeakEngine(int sampleRate, std::vector<Voice> voices)
        : sampleRate_(sampleRate), voices_(std::move(voices)) {}
    // The installed voices, Mandarin first; read from eSpeak NG before any synthesis.
    static std::vector<Voice> ReadVoices();

    const int sampleRate_;
    const std::vector<Voice> voices_;
    std::mutex synthesisMutex_;  // held for a whole synthesis: eSpeak's global state
    std::mutex mutex_;           // the settings below, held only to read or write them
    std::string voiceName_;
    int wordsPerMinute_ = 175;
    int volume_ = 100;
};

}  // namespace qm
