#include "tools/speech/espeak_engine.h"

#include <espeak-ng/speak_lib.h>

#include <algorithm>
#include <atomic>
#include <cmath>

namespace qm {

namespace {

// What the synthesis callback needs; passed through eSpeak's user data.
struct Synthesis {
    const SpeechEngine::AudioSink* audio;
    const SpeechEngine::WordSink* words;
    const std::atomic<bool>* stop;
    int64_t samples = 0;
};

int OnSynth(short* wav, int count, espeak_EVENT* events) {
    auto* synthesis = static_cast<Synthesis*>(events->user_data);
    if (synthesis == nullptr) return 0;
    for (espeak_EVENT* e = events; e->type != espeakEVENT_LIST_TERMINATED; ++e) {
        if (e->type != espeakEVENT_WORD) continue;
        WordMark word;
        // eSpeak counts from 1; its sample numbers run from the start of the text.
        word.position = std::max(0, e->text_position - 1);
        word.length = std::max(0, e->length);
        word.sample = std::max<int64_t>(e->sample, synthesis->samples);
        (*synthesis->words)(word);
    }
    if (count > 0 && wav != nullptr) {
        (*synthesis->audio)(reinterpret_cast<const int16_t*>(wav), static_cast<size_t>(count));
        synthesis->samples += count;
    }
    const bool stop = synthesis->stop != nullptr && synthesis->stop->load();
    return stop ? 1 : 0;  // 1 asks eSpeak to abandon the text
}

// The first language of a voice: eSpeak lists them as a priority byte, the name, a 0 byte.
std::string FirstLanguage(const espeak_VOICE* voice) {
    if (voice->languages == nullptr || voice->languages[0] == 0) return {};
    return std::string(voice->languages + 1);
}

}  // namespace

int RateToWordsPerMinute(int rate) {
    rate = std::clamp(rate, -10, 10);
    const double wpm = 175.0 * std::pow(3.0, rate / 10.0);
    return std::clamp(static_cast<int>(std::lround(wpm)), 80, 450);
}

namespace {
std::atomic<bool> started{false};
}  // namespace

EspeakEngine* EspeakEngine::Instance() {
    static EspeakEngine* engine = []() -> EspeakEngine* {
        const int rate = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 200, nullptr, 0);
        started = true;
        if (rate <= 0) return nullptr;
        espeak_SetSynthCallback(OnSynth);
        return new EspeakEngine(rate, ReadVoices());  // lives as long as eSpeak's global state
    }();
    return engine;
}

bool EspeakEngine::Started() { return started.load(); }

std::vector<EspeakEngine::Voice> EspeakEngine::ReadVoices() {
    std::vector<Voice> all;
    const espeak_VOICE** list = espeak_ListVoices(nullptr);
    for (; list != nullptr && *list != nullptr; ++list) {
        const espeak_VOICE* v = *list;
        if (v->name == nullptr) continue;
        Voice voice;
        voice.name = v->name;
        voice.language = FirstLanguage(v);
        voice.description = voice.name + " (" + voice.language + ")";
        all.push_back(std::move(voice));
    }
    // The notes are Chinese: Mandarin leads, so a first start reads them in the right voice.
    std::stable_partition(all.begin(), all.end(),
                          [](const Voice& v) { return v.language == "cmn"; });
    return all;
}

std::vector<std::string> EspeakEngine::ListVoices() {
    std::vector<std::string> out;
    for (const Voice& v : voices_) out.push_back(v.description);
    return out;
}

std::string EspeakEngine::MandarinVoice() {
    for (const Voice& v : voices_) {
        if (v.language == "cmn") return v.description;
    }
    return {};
}

bool EspeakEngine::SelectVoice(std::string_view description) {
    for (const Voice& v : voices_) {
        if (v.description != description) continue;
        std::lock_guard<std::mutex> lock(mutex_);
        voiceName_ = v.name;  // taken by the next synthesis
        return true;
    }
    return false;
}

void EspeakEngine::SetRate(int rate) {
    std::lock_guard<std::mutex> lock(mutex_);
    wordsPerMinute_ = RateToWordsPerMinute(rate);
}

void EspeakEngine::SetVolume(int volume) {
    std::lock_guard<std::mutex> lock(mutex_);
    volume_ = std::clamp(volume, 0, 100);
}

bool EspeakEngine::Synthesize(std::string_view utf8, const AudioSink& audio, const WordSink& words,
                              const std::atomic<bool>* stop) {
    std::lock_guard<std::mutex> synthesisLock(synthesisMutex_);
    std::string voiceName;
    int wordsPerMinute;
    int volume;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        voiceName = voiceName_;
        wordsPerMinute = wordsPerMinute_;
        volume = volume_;
    }
    if (!voiceName.empty() && espeak_SetVoiceByName(voiceName.c_str()) != EE_OK) return false;
    espeak_SetParameter(espeakRATE, wordsPerMinute, 0);
    espeak_SetParameter(espeakVOLUME, volume, 0);
    Synthesis synthesis{&audio, &words, stop};
    // eSpeak reads up to a terminating zero; the view may not have one.
    const std::string text(utf8);
    const espeak_ERROR result = espeak_Synth(text.c_str(), text.size() + 1, 0, POS_CHARACTER, 0,
                                             espeakCHARS_UTF8, nullptr, &synthesis);
    if (result != EE_OK) return false;
    return !(stop != nullptr && stop->load());
}

}  // namespace qm
